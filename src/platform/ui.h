#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/events.h"
#include "platform/form.h"
#include "platform/menu_model.h"
#include "platform/progress.h"

namespace vna::platform {

class Canvas;

// CancelTryContinue: "Cancel", "Try Again" (answered as Retry) and "Continue".
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, ContinueCancel, CancelTryContinue };
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

struct Point {
    int x = 0;
    int y = 0;
};

// A secondary window of the program with a drawing surface of its own: the charts, the tables and
// the scope windows. Its client area is the canvas; its push buttons lie over the canvas at
// client-area pixels. Clicks come to the handler as Button events with the button's id, the mouse
// (LeftDown, LeftUp, MouseMove, RightDown) in client-area pixels, keys as KeyDown, and the close
// box as CloseRequest, after which the window is closed. Every call is made on the program thread.
class ChartWindow {
public:
    // Closes the window when it is still open.
    virtual ~ChartWindow() = default;

    virtual Canvas& canvas() = 0;
    virtual void setTitle(std::string_view title) = 0;
    // Replaces the push buttons.
    virtual void setButtons(const std::vector<PushButton>& buttons) = 0;
    virtual void setEventHandler(std::function<void(const Event&)> handler) = 0;
    // False once the user, the program or closeSecondaryWindows() closed it.
    virtual bool isOpen() const = 0;
    virtual void close() = 0;
    // Sets the size of the client area (the canvas keeps what fits of its picture).
    virtual void resize(int width, int height) = 0;
    // Top-left corner of the window on the screen, where the user left it.
    virtual Point position() const = 0;
    // Brings the window to the front.
    virtual void raise() = 0;
    // Print dialog, then the window's picture scaled to the page; false when cancelled or when there
    // is no printer.
    virtual bool print() = 0;
};

struct ChartWindowSpec {
    std::string title;
    int x = 50; // top-left corner on the screen
    int y = 50;
    int width = 0; // client area, the canvas
    int height = 0;
    // The main window takes no input while a modal window is open.
    bool modal = false;
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
    // While on, nobody is taken to be at the screen (another program waits for an answer): messages
    // are shown without waiting for a click, and every question, entry and file dialog is answered
    // at once with its negative answer.
    virtual void setUnattended(bool on) { (void)on; }
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

    // ---- Main window furniture and the dialogs of the display ----
    // A Ui without windows (a headless program) keeps these defaults: no menus, no buttons, every
    // form cancelled, nothing printed.
    // Replaces the menu bar and the button row of the main window.
    virtual void setMenuBar(const MenuBar& bar) { (void)bar; }
    virtual void setButtons(const std::vector<PushButton>& buttons) { (void)buttons; }
    // Modal form dialog: FormOk, FormCancelled, or FormExtraButton + k for extra button k. The
    // fields carry the values the user left in them (also when cancelled).
    virtual int form(Form& form) {
        (void)form;
        return FormCancelled;
    }
    // Modal window that shows lines of text until it is closed (the status window).
    virtual void textWindow(std::string_view title, const std::vector<std::string>& lines, int width,
                            int height) {
        (void)title;
        (void)lines;
        (void)width;
        (void)height;
    }
    // Sets the size of the main window's client area.
    virtual void resizeMainWindow(int width, int height) {
        (void)width;
        (void)height;
    }
    // Print dialog, then the main window's client area scaled to the page; false when cancelled
    // or when there is no printer.
    virtual bool printMainWindow() { return false; }
    // How far a long piece of work has got (a few times a second, and once finished). A window shows
    // its own drawing of the work and ignores it; a terminal program can show a progress line.
    virtual void progress(const Progress& p) { (void)p; }
    // Opens a document or a web page with the program the system associates with it.
    virtual bool openDocument(std::string_view pathOrUrl) {
        (void)pathOrUrl;
        return false;
    }

    // ---- Secondary windows and image files ----
    // Opens a chart window; nothing in a program without windows.
    virtual std::unique_ptr<ChartWindow> openChartWindow(const ChartWindowSpec& spec) {
        (void)spec;
        return nullptr;
    }
    // Handles window messages until `window` is closed, by the user, by the program's handler or
    // by closeSecondaryWindows(): the loop of a modal window.
    virtual void runWindow(ChartWindow& window) { (void)window; }
    // Writes the top `height` rows of the canvas, `width` pixels wide, as a PNG file; false with
    // `error` when this Ui has no image writer or the file cannot be written.
    virtual bool savePngImage(const Canvas& canvas, int width, int height, const std::string& path,
                              std::string& error) {
        (void)canvas, (void)width, (void)height, (void)path;
        error = "no image writer";
        return false;
    }
    // Runs `draw` on a vector drawing surface of the given size and writes what it drew as an SVG
    // file; false with `error` when this Ui has no SVG writer or the file cannot be written.
    virtual bool saveSvgImage(int width, int height, const std::function<void(Canvas&)>& draw,
                              const std::string& path, std::string& error) {
        (void)width, (void)height, (void)draw, (void)path;
        error = "no SVG writer";
        return false;
    }
};

} // namespace vna::platform
