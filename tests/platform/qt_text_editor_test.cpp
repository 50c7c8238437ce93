// The text editor window of the Qt Ui, offscreen: the program's side of the conversation.

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

#include "platform/qt/qt_ui.h"

using vna::platform::EditorAction;
using vna::platform::qt::QtUi;
using vna::platform::qt::TextEditorWindow;

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "qt_text_editor_test";
    static char* argv[] = {name, nullptr};
    // No display is needed: the windows are real, drawn offscreen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

TextEditorWindow* OpenEditor() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* e = dynamic_cast<TextEditorWindow*>(w); e && e->isVisible()) {
            return e;
        }
    }
    return nullptr;
}

// Once the editor shows, does what the user would: `act` gets the window.
void WhenShown(std::function<void(TextEditorWindow&)> act) {
    QTimer::singleShot(20, [act] {
        if (TextEditorWindow* e = OpenEditor()) {
            act(*e);
        } else {
            WhenShown(act);
        }
    });
}

void Pick(TextEditorWindow& e, const QString& item) {
    for (QAction* a : e.findChild<QMenuBar*>()->actions().front()->menu()->actions()) {
        if (a->text() == item) {
            a->trigger();
            return;
        }
    }
    ADD_FAILURE() << "no menu item " << item.toStdString();
}

} // namespace

TEST(QtTextEditor, ShowsTheTextReturnsTheEditAndStaysOpenUntilQuit) {
    App();
    QtUi ui;
    std::string text = "line one\r\nline two\r\n";
    QString shown;
    QString title;
    WhenShown([&](TextEditorWindow& e) {
        title = e.windowTitle();
        auto* edit = e.findChild<QPlainTextEdit*>();
        shown = edit->toPlainText();
        edit->setPlainText("edited\nby hand");
        Pick(e, "Save as");
    });
    EXPECT_EQ(ui.editText("Edit: /x/a.cfg", 500, 400, text), EditorAction::SaveAs);
    EXPECT_EQ(shown, "line one\nline two\n");
    EXPECT_EQ(title, "Edit: /x/a.cfg");
    EXPECT_EQ(text, "edited\r\nby hand");
    ASSERT_NE(OpenEditor(), nullptr) << "the window closed after Save as";

    WhenShown([&](TextEditorWindow& e) { Pick(e, "Load File"); });
    EXPECT_EQ(ui.editText("Edit: /x/b.cfg", 500, 400, text), EditorAction::LoadFile);

    // The close box, and closing every secondary window, are Quit.
    WhenShown([&](TextEditorWindow& e) { e.close(); });
    EXPECT_EQ(ui.editText("Edit: /x/b.cfg", 500, 400, text), EditorAction::Quit);
    EXPECT_EQ(OpenEditor(), nullptr);
    WhenShown([&](TextEditorWindow&) { ui.closeSecondaryWindows(); });
    EXPECT_EQ(ui.editText("Edit: /x/b.cfg", 500, 400, text), EditorAction::Quit);
    WhenShown([&](TextEditorWindow& e) { Pick(e, "Quit"); });
    EXPECT_EQ(ui.editText("Edit: /x/b.cfg", 500, 400, text), EditorAction::Quit);

    // Once the program is shutting down the editor does not open at all.
    ui.beginShutdown();
    EXPECT_EQ(ui.editText("Edit", 500, 400, text), EditorAction::Quit);
}
