#pragma once

#include <QDialog>
#include <QEventLoop>
#include <string>
#include <string_view>

#include "platform/ui.h"

class QPlainTextEdit;

namespace vna::platform::qt {

// The plain text editor window: a "File" menu with "Load File", "Save as" and "Quit" over one
// multi-line edit field with a white background. It is not modal: run() spins a local event loop
// until the user picks a menu item or closes the window, so the main window keeps painting.
class TextEditorWindow final : public QDialog {
public:
    explicit TextEditorWindow(QWidget* parent);

    // Shows the window with `text` (CR LF line breaks) and waits for a menu item; `text` then
    // holds the edited text with CR LF line breaks.
    EditorAction run(std::string_view title, int width, int height, std::string& text);

private:
    void finish(EditorAction action);

    QPlainTextEdit* edit_;
    QEventLoop* loop_ = nullptr;
    EditorAction result_ = EditorAction::Quit;
};

} // namespace vna::platform::qt
