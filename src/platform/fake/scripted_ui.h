#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/fake/event_log.h"
#include "platform/fake/recording_canvas.h"
#include "platform/ui.h"

namespace vna::platform::fake {

// One chart window the program opened, as it drew and used it; kept after the window closed so a
// test can look at it.
struct ScriptedWindow {
    ChartWindowSpec spec;
    std::string title;
    RecordingCanvas canvas{1, 1};
    std::vector<PushButton> buttons;
    std::function<void(const Event&)> handler;
    // Events runWindow delivers, oldest first; with none left the user closes the window.
    std::deque<Event> events;
    bool open = true;
    Point position;
    int prints = 0;
    int setButtonCalls = 0;

    // Delivers one event to the program's handler of the window now.
    void deliver(const Event& e) {
        if (handler) {
            handler(e);
        }
    }
    // The user clicks the button with this caption (nothing when there is none).
    void click(const std::string& caption);
    // The user closes the window with its close box.
    void userClose();
    const PushButton* findButton(const std::string& caption) const;
};

// One call the program made on the Ui port.
struct UiCall {
    std::string kind; // "message", "prompt", "enterText", "openFile", "saveFile", "editText",
                      // "createMainWindow", "title", "focus", "closeSecondary", "closeMain", "form",
                      // "textWindow", "resize", "print"
    std::string text;
    std::string caption;
    Buttons buttons = Buttons::Ok;
};

// The Ui double of the tests: answers every dialog from a script, records every call, and feeds
// window events from a queue. With the script empty, message boxes answer with their first button
// (Ok, Yes, Retry, Continue), prompts continue, and entries and file dialogs are cancelled.
class ScriptedUi final : public Ui {
public:
    explicit ScriptedUi(EventLog* log = nullptr) : log_(log) {}

    // --- the script ---
    std::deque<Answer> messageAnswers;
    std::deque<bool> promptAnswers;
    std::deque<std::optional<std::string>> textAnswers;
    std::deque<std::optional<std::string>> fileAnswers;
    // Text editor window: each step is the menu item picked and, when set, the text the user typed
    // in place of the shown one. With the script empty the editor is closed (Quit).
    struct EditorStep {
        EditorAction action = EditorAction::Quit;
        std::optional<std::string> newText;
    };
    std::deque<EditorStep> editorSteps;
    // Called for every dialog before it is answered (for example to change the simulator's device
    // when a calibration prompt asks for another standard).
    std::function<void(const UiCall&)> onDialog;
    // Events delivered by processEvents and waitForEvents, one per call, oldest first.
    std::deque<Event> events;
    // Called on every processEvents, with the number of calls so far (to inject an event during a
    // sweep, for example).
    std::function<void(int)> onPump;
    // What waitForEvents does with an empty queue. By default it asks the program to close, so a
    // main loop under test always ends.
    std::function<void()> onIdle;
    Size screen{1280, 1024};
    // Form dialogs: each entry fills the form it is given and returns how it was closed
    // (FormOk, FormCancelled or an extra button). With none left, forms are cancelled.
    std::deque<std::function<int(Form&)>> formAnswers;
    // Whether the print dialog is accepted.
    bool printAccepted = true;
    // Whether opening a document succeeds.
    bool documentsOpen = true;
    // Called when the program opens a chart window, before it draws (to script its events).
    std::function<void(ScriptedWindow&)> onWindowOpen;
    // Whether chart windows can be opened (false: a Ui without windows).
    bool windowsOpen = true;
    // Whether image files are written (false: the Ui has no image writer).
    bool imagesWritten = true;

    // --- the records ---
    std::vector<UiCall> calls;
    std::vector<UiCall> messages() const;
    int pumps() const { return pumps_; }
    std::string title() const { return title_; }
    bool mainWindowOpen() const { return canvas_ != nullptr && !closed_; }
    RecordingCanvas* canvas() { return canvas_.get(); }
    // The menu bar and the button row as last set.
    const MenuBar& menuBar() const { return menuBar_; }
    const std::vector<PushButton>& buttons() const { return buttons_; }
    int menuBuilds() const { return menuBuilds_; }
    // The forms shown, as they were when the program opened them.
    std::vector<Form> forms;
    // The text windows shown: title and lines.
    std::vector<std::pair<std::string, std::vector<std::string>>> textWindows;
    int prints() const { return prints_; }
    // Every chart window opened, in order.
    std::vector<std::shared_ptr<ScriptedWindow>> windows;
    // The last window opened with this title; nullptr when there is none.
    ScriptedWindow* findWindow(const std::string& title) const;
    // The image files written: path and the canvas drawn for an SVG file.
    std::vector<std::string> imagesSaved;
    std::vector<std::shared_ptr<RecordingCanvas>> svgCanvases;
    // The progress reports, in order.
    std::vector<Progress> progressReports;
    // Finds a menu item by its caption path, for example {"Setup", "Power Control", "Low current
    // mode"}; nullptr when there is none.
    const MenuItem* findMenuItem(const std::vector<std::string>& path) const;
    const PushButton* findButton(const std::string& caption) const;

    // --- the port ---
    Answer message(std::string_view text, std::string_view caption, Buttons buttons, Icon icon) override;
    bool prompt(std::string_view text, std::string_view caption) override;
    std::optional<std::string> enterText(std::string_view prompt, std::string_view caption,
                                         std::string_view initial) override;
    std::optional<std::string> openFile(const FileDialog& dialog) override;
    std::optional<std::string> saveFile(const FileDialog& dialog) override;
    // Recorded with the shown text as `text` and "title|widthxheight" as `caption`.
    EditorAction editText(std::string_view title, int width, int height, std::string& text) override;
    void processEvents() override;
    void waitForEvents() override;
    void setEventHandler(std::function<void(const Event&)> handler) override {
        handler_ = std::move(handler);
    }
    Size screenSize() const override { return screen; }
    void createMainWindow(int x, int y, int width, int height) override;
    void setWindowTitle(std::string_view title) override;
    void focusMainWindow() override;
    void closeSecondaryWindows() override;
    void closeMainWindow() override;
    Canvas* mainCanvas() override { return closed_ ? nullptr : canvas_.get(); }
    void setMenuBar(const MenuBar& bar) override;
    void setButtons(const std::vector<PushButton>& buttons) override;
    int form(Form& form) override;
    void progress(const Progress& p) override { progressReports.push_back(p); }
    void textWindow(std::string_view title, const std::vector<std::string>& lines, int width,
                    int height) override;
    void resizeMainWindow(int width, int height) override;
    bool printMainWindow() override;
    bool openDocument(std::string_view pathOrUrl) override;
    std::unique_ptr<ChartWindow> openChartWindow(const ChartWindowSpec& spec) override;
    void runWindow(ChartWindow& window) override;
    bool savePngImage(const Canvas& canvas, int width, int height, const std::string& path,
                      std::string& error) override;
    bool saveSvgImage(int width, int height, const std::function<void(Canvas&)>& draw,
                      const std::string& path, std::string& error) override;

    // Delivers one event to the program's handler now.
    void deliver(const Event& e);

private:
    void record(UiCall call);

    EventLog* log_;
    std::function<void(const Event&)> handler_;
    std::unique_ptr<RecordingCanvas> canvas_;
    std::string title_;
    bool closed_ = false;
    int pumps_ = 0;
    MenuBar menuBar_;
    std::vector<PushButton> buttons_;
    int menuBuilds_ = 0;
    int prints_ = 0;
};

} // namespace vna::platform::fake
