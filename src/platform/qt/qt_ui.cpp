#include "platform/qt/qt_ui.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace vna::platform::qt {

QString DisplayText(std::string_view text) {
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    s.replace("\r\n", "\n");
    s.replace('\r', '\n');
    return s;
}

QString QtFilter(const std::string& filter) {
    // The program's filters are pairs "description|pattern|", ended by an empty pair.
    QStringList parts = QString::fromStdString(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) {
            break;
        }
        QString desc = parts[i];
        const QString pattern = parts[i + 1];
        if (!desc.contains('(')) {
            desc += " (" + pattern + ")";
        } else if (!desc.contains(pattern)) {
            desc = desc.left(desc.indexOf('(')) + "(" + pattern + ")";
        }
        out << desc;
    }
    if (out.isEmpty()) {
        out << "All files (*)";
    }
    return out.join(";;");
}

QtUi::QtUi() = default;
QtUi::~QtUi() = default;

Answer QtUi::message(std::string_view text, std::string_view caption, Buttons buttons, Icon icon) {
    if (shuttingDown_) {
        switch (buttons) {
            case Buttons::Ok:
                return Answer::Ok;
            case Buttons::YesNo:
            case Buttons::YesNoCancel:
                return Answer::No;
            default:
                return Answer::Cancel;
        }
    }
    QMessageBox box(window_.get());
    box.setWindowTitle(DisplayText(caption));
    box.setText(DisplayText(text));
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    switch (icon) {
        case Icon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Icon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case Icon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case Icon::Question:
            box.setIcon(QMessageBox::Question);
            break;
    }
    QPushButton* cont = nullptr;
    switch (buttons) {
        case Buttons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Buttons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case Buttons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case Buttons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        case Buttons::RetryCancel:
            box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
            break;
        case Buttons::ContinueCancel:
            cont = box.addButton("Continue", QMessageBox::AcceptRole);
            box.addButton(QMessageBox::Cancel);
            break;
    }
    const int r = box.exec();
    if (cont) {
        return box.clickedButton() == cont ? Answer::Continue : Answer::Cancel;
    }
    switch (r) {
        case QMessageBox::Ok:
            return Answer::Ok;
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        case QMessageBox::Retry:
            return Answer::Retry;
        default:
            // Closing an Ok-only box is its Ok.
            return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    }
}

bool QtUi::prompt(std::string_view text, std::string_view caption) {
    return message(text, caption, Buttons::ContinueCancel, Icon::None) == Answer::Continue;
}

std::optional<std::string> QtUi::enterText(std::string_view prompt, std::string_view caption,
                                           std::string_view initial) {
    if (shuttingDown_) {
        return std::nullopt;
    }
    bool ok = false;
    const QString s = QInputDialog::getText(window_.get(), DisplayText(caption), DisplayText(prompt),
                                            QLineEdit::Normal, DisplayText(initial), &ok);
    if (!ok) {
        return std::nullopt;
    }
    return s.toStdString();
}

namespace {

std::optional<std::string> RunFileDialog(QWidget* parent, const FileDialog& d, bool save) {
    QFileDialog dlg(parent, DisplayText(d.title), QString::fromStdString(d.initialFolder),
                    QtFilter(d.filter));
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!d.defaultExtension.empty()) {
        dlg.setDefaultSuffix(QString::fromStdString(d.defaultExtension));
    }
    if (!d.initialName.empty()) {
        dlg.selectFile(QString::fromStdString(d.initialName));
    }
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dlg.selectedFiles().front().toStdString();
}

} // namespace

std::optional<std::string> QtUi::openFile(const FileDialog& dialog) {
    if (shuttingDown_) {
        return std::nullopt;
    }
    return RunFileDialog(window_.get(), dialog, false);
}

std::optional<std::string> QtUi::saveFile(const FileDialog& dialog) {
    if (shuttingDown_) {
        return std::nullopt;
    }
    return RunFileDialog(window_.get(), dialog, true);
}

EditorAction QtUi::editText(std::string_view title, int width, int height, std::string& text) {
    if (shuttingDown_) {
        editor_.reset();
        return EditorAction::Quit;
    }
    if (!editor_) {
        editor_ = std::make_unique<TextEditorWindow>(window_.get());
    }
    const EditorAction action = editor_->run(title, width, height, text);
    if (action == EditorAction::Quit || shuttingDown_) {
        editor_->hide();
        editor_.reset();
        return EditorAction::Quit;
    }
    return action;
}

void QtUi::processEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtUi::waitForEvents() {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

Size QtUi::screenSize() const {
    const QScreen* s = QGuiApplication::primaryScreen();
    if (!s) {
        return {1024, 768};
    }
    const QRect r = s->geometry();
    return {r.width(), r.height()};
}

void QtUi::createMainWindow(int x, int y, int width, int height) {
    window_ = std::make_unique<MainWindow>(width, height, handler_);
    window_->move(x, y);
    window_->show();
}

void QtUi::setWindowTitle(std::string_view title) {
    if (window_) {
        window_->setWindowTitle(DisplayText(title));
    }
}

void QtUi::focusMainWindow() {
    if (window_) {
        window_->activateWindow();
        window_->client()->setFocus();
    }
}

void QtUi::closeSecondaryWindows() {
    // Modal dialogs first, innermost first: each one's exec() returns as it closes.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (modal == window_.get()) {
            break;
        }
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            // done() ends exec() even for a message box that ignores the close box.
            dialog->done(QDialog::Rejected);
        } else {
            modal->close();
        }
        QCoreApplication::processEvents();
        if (QApplication::activeModalWidget() == modal) {
            break; // it refused to close; do not spin
        }
    }
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != window_.get() && w->isVisible()) {
            w->close();
        }
    }
}

void QtUi::closeMainWindow() {
    if (window_) {
        window_->closeForGood();
    }
}

Canvas* QtUi::mainCanvas() {
    return window_ ? &window_->canvas() : nullptr;
}

void QtUi::beginShutdown() {
    shuttingDown_ = true;
    closeSecondaryWindows();
}

} // namespace vna::platform::qt
