#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "platform/canvas.h"
#include "platform/ui.h"

namespace vna::platform {

// The Ui of a program without windows: message boxes go to standard error as "[caption] text",
// questions take their safe answer (No, Cancel) unless told to say yes, and the status lines the
// program prints on its main window go to standard error when `verbose` is set.
//
// With an `input` stream the questions are put to the user on the terminal instead: a prompt
// window (and a Continue/Cancel or OK/Cancel box) goes on with Enter and is cancelled with "q"; a
// question takes "y" or "n" (and "c" where Cancel is offered, "t" for Try Again); an entry takes
// the typed text, or keeps the shown value on an empty line, "q" cancels it; a form asks its text
// fields one after the other and its check boxes as y/n. The end of the input cancels.
class ConsoleUi final : public Ui {
public:
    explicit ConsoleUi(std::FILE* out = stderr);
    ~ConsoleUi() override;

    bool answerYes = false;
    bool verbose = false;
    // Progress of long work as one line, rewritten in place (for a terminal; a file or a pipe would
    // fill up with the copies). Any other output first takes the line away.
    bool progressLine = false;
    std::FILE* input = nullptr;
    // What a save-file dialog returns (a command-line tool's --out); cancelled when empty.
    std::string saveFileAnswer;
    // The last message box, for the exit message of a command-line tool.
    std::string lastMessage;
    std::string lastCaption;

    Answer message(std::string_view text, std::string_view caption, Buttons buttons, Icon icon) override;
    bool prompt(std::string_view text, std::string_view caption) override;
    std::optional<std::string> enterText(std::string_view prompt, std::string_view caption,
                                         std::string_view initial) override;
    std::optional<std::string> openFile(const FileDialog&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const FileDialog& dialog) override;
    int form(Form& form) override;
    void progress(const Progress& p) override;
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
    // One line of the input without its line end; nothing at the end of the input.
    std::optional<std::string> readLine();
    // Asks until one of the keys (lower case; "" stands for an empty line) is typed; the index of
    // the key, or -1 at the end of the input.
    int choose(std::string_view question, const std::vector<std::string>& keys);

    // Takes the progress line away before other output.
    void endProgressLine();

    std::FILE* out_;
    bool lineOpen_ = false;
    std::function<void(const Event&)> handler_;
    std::string title_;
    std::unique_ptr<Canvas> canvas_;
};

} // namespace vna::platform
