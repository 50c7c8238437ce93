#pragma once

#include <QMessageBox>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "platform/qt/main_window.h"
#include "platform/qt/text_editor.h"
#include "platform/ui.h"

namespace vna::platform::qt {

// The Ui port on Qt Widgets: modal message boxes and dialogs, the main window and the event loop.
class QtUi final : public Ui {
public:
    QtUi();
    ~QtUi() override;

    Answer message(std::string_view text, std::string_view caption, Buttons buttons, Icon icon) override;
    bool prompt(std::string_view text, std::string_view caption) override;
    std::optional<std::string> enterText(std::string_view prompt, std::string_view caption,
                                         std::string_view initial) override;
    std::optional<std::string> openFile(const FileDialog& dialog) override;
    std::optional<std::string> saveFile(const FileDialog& dialog) override;
    EditorAction editText(std::string_view title, int width, int height, std::string& text) override;
    void processEvents() override;
    void waitForEvents() override;
    void setEventHandler(std::function<void(const Event&)> handler) override {
        handler_ = std::move(handler);
    }
    Size screenSize() const override;
    void createMainWindow(int x, int y, int width, int height) override;
    void setWindowTitle(std::string_view title) override;
    void focusMainWindow() override;
    void closeSecondaryWindows() override;
    void closeMainWindow() override;
    Canvas* mainCanvas() override;
    void setMenuBar(const MenuBar& bar) override;
    void setButtons(const std::vector<PushButton>& buttons) override;
    int form(Form& form) override;
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

    MainWindow* mainWindow() { return window_.get(); }
    // The program's event handler, for tests that feed events directly.
    const std::function<void(const Event&)>& handlerForTests() const { return handler_; }

    // The program has been told to end (a signal, the session closing): every open dialog is
    // closed, and every dialog asked for from now on is answered at once with its negative
    // answer, so the shutdown sequence can run without anybody at the screen.
    void beginShutdown();
    bool shuttingDown() const { return shuttingDown_; }
    void setUnattended(bool on) override { unattended_ = on; }

private:
    // Menu and button commands reach the program through the event queue, not from inside the
    // signal of the widget that was clicked: the command may rebuild the menus and buttons.
    void post(const Event& e);
    // No dialog may wait for the user: the program is ending, or another program waits.
    bool answerAtOnce() const { return shuttingDown_ || unattended_; }
    // A message shown while unattended: a window of its own that waits for nobody; the same
    // message is not opened twice while the first is still on the screen.
    void showNotice(std::string_view text, std::string_view caption);

    std::function<void(const Event&)> handler_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<TextEditorWindow> editor_;
    bool shuttingDown_ = false;
    bool unattended_ = false;
    std::vector<QPointer<QMessageBox>> notices_;
};

// "Text(*.ext)|*.ext||" as a Qt name filter: "Text(*.ext)".
QString QtFilter(const std::string& filter);
// The program's texts use CR LF and lone CR as line breaks.
QString DisplayText(std::string_view text);
// Print dialog, then the image scaled to fill the page with its proportions kept; false when
// cancelled or when there is no printer.
bool PrintImage(const QImage& image, QWidget* parent);

} // namespace vna::platform::qt
