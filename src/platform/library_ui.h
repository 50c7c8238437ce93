#pragma once

#include <string>

#include "platform/ui.h"

namespace vna::platform {

// The Ui of the program's code inside another program (the library libvnactl): no window and no
// dialog. A message box becomes the last message text, a question takes its safe answer (No,
// Cancel), and entries and file dialogs are cancelled.
class LibraryUi final : public Ui {
public:
    // The last message box: its caption (when it has one other than blanks), ": " and its text,
    // with the program's CR line breaks as newlines.
    std::string lastMessage;

    Answer message(std::string_view text, std::string_view caption, Buttons buttons, Icon icon) override;
    bool prompt(std::string_view text, std::string_view caption) override;
    std::optional<std::string> enterText(std::string_view, std::string_view, std::string_view) override {
        return std::nullopt;
    }
    std::optional<std::string> openFile(const FileDialog&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const FileDialog&) override { return std::nullopt; }
    void processEvents() override {}
    void waitForEvents() override {}
    void setEventHandler(std::function<void(const Event&)>) override {}
    Size screenSize() const override { return {1024, 768}; }
    void createMainWindow(int, int, int, int) override {}
    void setWindowTitle(std::string_view) override {}
    void focusMainWindow() override {}
    void closeSecondaryWindows() override {}
    void closeMainWindow() override {}
    Canvas* mainCanvas() override { return nullptr; }
};

} // namespace vna::platform
