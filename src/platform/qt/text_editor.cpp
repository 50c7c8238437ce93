#include "platform/qt/text_editor.h"

#include <QMenuBar>
#include <QPalette>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "platform/qt/qt_ui.h"

namespace vna::platform::qt {

TextEditorWindow::TextEditorWindow(QWidget* parent) : QDialog(parent) {
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QMenuBar(this);
    QMenu* file = bar->addMenu("File");
    connect(file->addAction("Load File"), &QAction::triggered, this,
            [this] { finish(EditorAction::LoadFile); });
    connect(file->addAction("Save as"), &QAction::triggered, this, [this] { finish(EditorAction::SaveAs); });
    connect(file->addAction("Quit"), &QAction::triggered, this, [this] { finish(EditorAction::Quit); });
    layout->setMenuBar(bar);
    edit_ = new QPlainTextEdit(this);
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    QPalette pal = edit_->palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    edit_->setPalette(pal);
    layout->addWidget(edit_);
    // Closing the window (close box, Escape, the program closing its secondary windows) is Quit.
    connect(this, &QDialog::finished, this, [this] { finish(EditorAction::Quit); });
}

void TextEditorWindow::finish(EditorAction action) {
    result_ = action;
    if (loop_) {
        loop_->quit();
    }
}

EditorAction TextEditorWindow::run(std::string_view title, int width, int height, std::string& text) {
    setWindowTitle(DisplayText(title));
    resize(width > 100 ? width : 100, height > 100 ? height : 100);
    const QString shown = DisplayText(text);
    if (edit_->toPlainText() != shown) {
        edit_->setPlainText(shown);
    }
    show();
    raise();
    activateWindow();
    result_ = EditorAction::Quit;
    QEventLoop loop;
    loop_ = &loop;
    loop.exec();
    loop_ = nullptr;
    QString edited = edit_->toPlainText();
    edited.replace("\n", "\r\n");
    text = edited.toStdString();
    return result_;
}

} // namespace vna::platform::qt
