#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/events.h"

namespace vna::platform {

class Canvas;

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, ContinueCancel };
enum class Answer { Ok, Cancel, Yes, No, Retry, Continue };
enum class Icon { None, Information, Warning, Error, Question };
// The menu item the user picked in the text editor window.
enum class EditorAction { LoadFile, SaveAs, Quit };

// One file dialog. The filter uses the "Text(*.ext)|*.ext||" form of the program's dialogs; the
// adapters translate it for their toolkit.
struct FileDialog {
    std::string title;
    std::string filter;
    std::string defaultExtension;
    std::string initialFolder;
    std::string initialName;
};

struct Size {
    int width = 0;
    int height = 0;
};

// The user-interface port: everything the program logic needs from the windowing system.
// Every call is made on the one program thread. Texts and captions are passed exactly as the
// program wants them shown (leading blanks and CR LF line breaks included).
class Ui {
public:
    virtual ~Ui() = default;

    // Modal message box; returns the button the user pressed.
    virtual Answer message(std::string_view text, std::string_view caption, Buttons buttons = Buttons::Ok,
                           Icon icon = Icon::None) = 0;
    // Modal prompt window with "Continue" and "Cancel"; true for Continue.
    virtual bool prompt(std::string_view text, std::string_view caption) = 0;
    // Modal one-line text entry; nothing when the user cancelled.
    virtual std::optional<std::string> enterText(std::string_view prompt, std::string_view caption,
                                                 std::string_view initial) = 0;
    // Modal file dialogs; nothing when cancelled, else the full path chosen.
    virtual std::optional<std::string> openFile(const FileDialog& dialog) = 0;
    virtual std::optional<std::string> saveFile(const FileDialog& dialog) = 0;
    // The plain text editor window: a "File" menu with "Load File", "Save as" and "Quit" over one
    // multi-line edit field. Shows `text` (CR LF line breaks) under `title` at the given size and
    // returns as soon as the user picks a menu item, with `text` holding the edited text (CR LF).
    // The window stays open until Quit is returned, so the caller can run its dialogs and call
    // again; closing the window counts as Quit. A Ui without windows has no editor.
    virtual EditorAction editText(std::string_view title, int width, int height, std::string& text) {
        (void)title, (void)width, (void)height, (void)text;
        return EditorAction::Quit;
    }

    // Runs the window messages that are waiting, without blocking.
    virtual void processEvents() = 0;
    // Blocks until at least one window message has been handled (the main loop's wait).
    virtual void waitForEvents() = 0;
    // Receiver of the main window's events (keys, mouse, close request, commands).
    virtual void setEventHandler(std::function<void(const Event&)> handler) = 0;

    virtual Size screenSize() const = 0;
    virtual void createMainWindow(int x, int y, int width, int height) = 0;
    virtual void setWindowTitle(std::string_view title) = 0;
    virtual void focusMainWindow() = 0;
    // Closes every window but the main window: dialogs, message boxes, charts, status window.
    virtual void closeSecondaryWindows() = 0;
    virtual void closeMainWindow() = 0;
    // The drawing surface of the main window's client area; nullptr while there is none
    // (before the window exists, or in a program without windows).
    virtual Canvas* mainCanvas() = 0;
};

} // namespace vna::platform
