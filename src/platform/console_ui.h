#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "platform/canvas.h"
#include "platform/ui.h"

namespace vna::platform {

// The Ui of a program without windows: message boxes go to standard error as "caption: text",
// questions take their safe answer (No, Cancel) unless told to say yes, and the status lines the
// program prints on its main window go to standard error when `verbose` is set.
class ConsoleUi final : public Ui {
public:
    explicit ConsoleUi(std::FILE* out = stderr);
    ~ConsoleUi() override;

    bool answerYes = false;
    bool verbose = false;
    // The last message box, for the exit message of a command-line tool.
    std::string lastMessage;
    std::string lastCaption;

    Answer message(std::string_view text, std::string_view caption, Buttons buttons, Icon icon) override;
    bool prompt(std::string_view text, std::string_view caption) override;
    std::optional<std::string> enterText(std::string_view prompt, std::string_view caption,
                                         std::string_view initial) override;
    std::optional<std::string> openFile(const FileDialog&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const FileDialog&) override { return std::nullopt; }
    void processEvents() override {}
    void waitForEvents() override;
    void setEventHandler(std::function<void(const Event&)> handler) override {
        handler_ = std::move(handler);
    }
    Size screenSize() const override { return {1024, 768}; }
    void createMainWindow(int, int, int, int) override {}
    void setWindowTitle(std::string_view title) override { title_ = std::string(title); }
    void focusMainWindow() override {}
    void closeSecondaryWindows() override {}
    void closeMainWindow() override {}
    Canvas* mainCanvas() override;

    const std::string& title() const { return title_; }
    // A text with the program's CR line breaks made printable.
    static std::string Printable(std::string_view text);

private:
    std::FILE* out_;
    std::function<void(const Event&)> handler_;
    std::string title_;
    std::unique_ptr<Canvas> canvas_;
};

} // namespace vna::platform
