#include "platform/qt/qt_ui.h"

#include "platform/qt/chart_window.h"
#include "platform/qt/image_files.h"

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

void QtUi::showNotice(std::string_view text, std::string_view caption) {
    const QString title = DisplayText(caption);
    const QString body = DisplayText(text);
    std::erase_if(notices_, [](const QPointer<QMessageBox>& b) { return b.isNull(); });
    for (const auto& b : notices_) {
        if (b->windowTitle() == title && b->text() == body) {
            return;
        }
    }
    auto* box = new QMessageBox(QMessageBox::NoIcon, title, body, QMessageBox::Ok, window_.get());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    notices_.emplace_back(box);
}

Answer QtUi::message(std::string_view text, std::string_view caption, Buttons buttons, Icon icon) {
    if (unattended_ && !shuttingDown_) {
        showNotice(text, caption);
    }
    if (answerAtOnce()) {
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
    QPushButton* tryAgain = nullptr;
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
        case Buttons::CancelTryContinue:
            box.addButton(QMessageBox::Cancel);
            tryAgain = box.addButton("Try Again", QMessageBox::ActionRole);
            cont = box.addButton("Continue", QMessageBox::AcceptRole);
            break;
    }
    const int r = box.exec();
    if (tryAgain && box.clickedButton() == tryAgain) {
        return Answer::Retry;
    }
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
    if (answerAtOnce()) {
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
    if (answerAtOnce()) {
        return std::nullopt;
    }
    return RunFileDialog(window_.get(), dialog, false);
}

std::optional<std::string> QtUi::saveFile(const FileDialog& dialog) {
    if (answerAtOnce()) {
        return std::nullopt;
    }
    return RunFileDialog(window_.get(), dialog, true);
}

EditorAction QtUi::editText(std::string_view title, int width, int height, std::string& text) {
    if (answerAtOnce()) {
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

// ---- Main window furniture and the display's dialogs ----

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QUrl>
#include <QVBoxLayout>

namespace vna::platform::qt {

namespace {

void AddItems(QMenu* menu, const std::vector<MenuItem>& items, const std::function<void(int)>& fire) {
    for (const MenuItem& item : items) {
        if (item.separator) {
            menu->addSeparator();
            continue;
        }
        if (!item.children.empty()) {
            QMenu* sub = menu->addMenu(DisplayText(item.caption));
            sub->setEnabled(item.enabled);
            AddItems(sub, item.children, fire);
            continue;
        }
        // After a tab the menu shows the text in its shortcut column without binding the key: the
        // main window handles its keys itself, also while a sweep ignores them.
        QAction* a = menu->addAction(
            DisplayText(item.caption) +
            (item.shortcut.empty() ? QString() : "\t" + QString::fromStdString(item.shortcut)));
        a->setCheckable(item.checked);
        a->setChecked(item.checked);
        a->setEnabled(item.enabled);
        a->setData(item.id);
        const int id = item.id;
        QObject::connect(a, &QAction::triggered, a, [fire, id] { fire(id); });
    }
}

QString ColorStyle(std::uint32_t c) {
    return QString("background-color: rgb(%1, %2, %3);").arg(RedOf(c)).arg(GreenOf(c)).arg(BlueOf(c));
}

} // namespace

void QtUi::post(const Event& e) {
    if (!window_) {
        return;
    }
    QMetaObject::invokeMethod(
        window_.get(),
        [this, e] {
            if (handler_) {
                handler_(e);
            }
        },
        Qt::QueuedConnection);
}

void QtUi::setMenuBar(const MenuBar& bar) {
    if (!window_) {
        return;
    }
    // A new bar replaces the old one; the old one goes once the event loop runs again, so a menu
    // whose command rebuilds the bar is not deleted under its own feet.
    auto* qbar = new QMenuBar();
    for (const Menu& m : bar.menus) {
        QMenu* menu = qbar->addMenu(DisplayText(m.caption));
        menu->setEnabled(m.enabled);
        AddItems(menu, m.items, [this](int id) { post(Event{EventType::Menu, 0, 0, 0, id}); });
    }
    if (QMenuBar* old = window_->menuBar(); old && old != qbar) {
        old->setParent(nullptr);
        old->deleteLater();
    }
    window_->setMenuBar(qbar);
}

void QtUi::setButtons(const std::vector<PushButton>& buttons) {
    if (!window_) {
        return;
    }
    window_->setButtons(buttons, [this](int id) { post(Event{EventType::Button, 0, 0, 0, id}); });
}

int QtUi::form(Form& f) {
    if (answerAtOnce()) {
        return FormCancelled;
    }
    QDialog dlg(window_.get());
    dlg.setWindowTitle(DisplayText(f.title));
    auto* outer = new QVBoxLayout(&dlg);
    auto* layout = new QFormLayout();
    outer->addLayout(layout);
    std::vector<QWidget*> widgets;
    std::vector<std::uint32_t> colors;
    for (const FormField& field : f.fields) {
        QWidget* w = nullptr;
        switch (field.kind) {
            case FormField::Kind::Label: {
                auto* l = new QLabel(DisplayText(field.label));
                layout->addRow(l);
                w = l;
                break;
            }
            case FormField::Kind::Text: {
                auto* e = new QLineEdit(DisplayText(field.text));
                e->setReadOnly(field.readOnly);
                // A colour on a text field is its text's (a value the program warns about).
                if (field.color != 0) {
                    QPalette palette = e->palette();
                    palette.setColor(QPalette::Text, QColor(static_cast<int>(field.color & 0xff),
                                                            static_cast<int>((field.color >> 8) & 0xff),
                                                            static_cast<int>((field.color >> 16) & 0xff)));
                    e->setPalette(palette);
                }
                layout->addRow(DisplayText(field.label), e);
                w = e;
                break;
            }
            case FormField::Kind::Choice: {
                auto* c = new QComboBox();
                for (const std::string& choice : field.choices) {
                    c->addItem(DisplayText(choice));
                }
                c->setEditable(!field.fixed);
                if (field.fixed) {
                    c->setCurrentIndex(std::max(0, c->findText(DisplayText(field.text))));
                } else {
                    c->setCurrentText(DisplayText(field.text));
                }
                layout->addRow(DisplayText(field.label), c);
                w = c;
                break;
            }
            case FormField::Kind::Check: {
                auto* c = new QCheckBox(DisplayText(field.label));
                c->setChecked(field.checked);
                layout->addRow(c);
                w = c;
                break;
            }
            case FormField::Kind::Color: {
                auto* b = new QPushButton("        ");
                b->setStyleSheet(ColorStyle(field.color));
                const std::size_t index = colors.size();
                QObject::connect(b, &QPushButton::clicked, b, [&colors, index, b, &dlg] {
                    const QColor c = QColorDialog::getColor(ToQColor(colors[index]), &dlg);
                    if (c.isValid()) {
                        colors[index] = FromQColor(c);
                        b->setStyleSheet(ColorStyle(colors[index]));
                    }
                });
                layout->addRow(DisplayText(field.label), b);
                w = b;
                break;
            }
        }
        widgets.push_back(w);
        colors.push_back(field.color);
    }
    auto* box = new QDialogButtonBox();
    QPushButton* ok = box->addButton(DisplayText(f.okCaption), QDialogButtonBox::AcceptRole);
    (void)ok;
    if (!f.cancelCaption.empty()) {
        box->addButton(DisplayText(f.cancelCaption), QDialogButtonBox::RejectRole);
    }
    int extraPressed = -1;
    // A few extra buttons sit beside OK and Cancel; a window made of many (the constant-frequency
    // window) gets them in a grid above.
    constexpr std::size_t RowButtons = 4;
    constexpr int GridColumns = 6;
    QGridLayout* grid = nullptr;
    if (f.extraButtons.size() > RowButtons) {
        grid = new QGridLayout();
        outer->addLayout(grid);
    }
    for (std::size_t k = 0; k < f.extraButtons.size(); ++k) {
        QPushButton* b = nullptr;
        if (grid) {
            b = new QPushButton(DisplayText(f.extraButtons[k]));
            b->setAutoDefault(false);
            grid->addWidget(b, static_cast<int>(k) / GridColumns, static_cast<int>(k) % GridColumns);
        } else {
            b = box->addButton(DisplayText(f.extraButtons[k]), QDialogButtonBox::ActionRole);
        }
        QObject::connect(b, &QPushButton::clicked, &dlg, [&extraPressed, k, &dlg] {
            extraPressed = static_cast<int>(k);
            dlg.accept();
        });
    }
    QObject::connect(box, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    outer->addWidget(box);
    if (f.width > 0 && f.height > 0) {
        dlg.resize(f.width, f.height);
    }
    const int r = dlg.exec();
    for (std::size_t i = 0; i < f.fields.size(); ++i) {
        FormField& field = f.fields[i];
        switch (field.kind) {
            case FormField::Kind::Text:
                field.text = static_cast<QLineEdit*>(widgets[i])->text().toStdString();
                break;
            case FormField::Kind::Choice:
                field.text = static_cast<QComboBox*>(widgets[i])->currentText().toStdString();
                break;
            case FormField::Kind::Check:
                field.checked = static_cast<QCheckBox*>(widgets[i])->isChecked();
                break;
            case FormField::Kind::Color:
                field.color = colors[i];
                break;
            case FormField::Kind::Label:
                break;
        }
    }
    if (r != QDialog::Accepted) {
        return FormCancelled;
    }
    return extraPressed >= 0 ? FormExtraButton + extraPressed : FormOk;
}

void QtUi::textWindow(std::string_view title, const std::vector<std::string>& lines, int width, int height) {
    if (answerAtOnce()) {
        return;
    }
    QDialog dlg(window_.get());
    dlg.setWindowTitle(DisplayText(title));
    auto* layout = new QVBoxLayout(&dlg);
    auto* text = new QPlainTextEdit();
    text->setReadOnly(true);
    QStringList all;
    for (const std::string& l : lines) {
        all << DisplayText(l);
    }
    text->setPlainText(all.join('\n'));
    layout->addWidget(text);
    const QRect screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->availableGeometry()
                             : QRect(0, 0, width, height);
    dlg.resize(std::min(width, screen.width()), std::min(height, screen.height()));
    dlg.move(0, 0);
    dlg.exec();
}

void QtUi::resizeMainWindow(int width, int height) {
    if (window_) {
        window_->resize(std::max(1, width), std::max(1, height));
    }
}

bool QtUi::printMainWindow() {
    if (shuttingDown_ || !window_) {
        return false;
    }
    return PrintImage(window_->canvas().image(), window_.get());
}

bool PrintImage(const QImage& image, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    const QRect page = painter.viewport();
    QSize size = image.size();
    size.scale(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(page.x(), page.y(), size.width(), size.height());
    painter.setWindow(image.rect());
    painter.drawImage(0, 0, image);
    painter.end();
    return true;
}

std::unique_ptr<ChartWindow> QtUi::openChartWindow(const ChartWindowSpec& spec) {
    if (shuttingDown_) {
        return nullptr;
    }
    return std::make_unique<QtChartWindow>(spec);
}

void QtUi::runWindow(ChartWindow& window) {
    while (window.isOpen() && !shuttingDown_) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

bool QtUi::savePngImage(const Canvas& canvas, int width, int height, const std::string& path,
                        std::string& error) {
    return WritePngImage(canvas, width, height, QString::fromStdString(path), error);
}

bool QtUi::saveSvgImage(int width, int height, const std::function<void(Canvas&)>& draw,
                        const std::string& path, std::string& error) {
    return WriteSvgImage(width, height, draw, QString::fromStdString(path), error);
}

bool QtUi::openDocument(std::string_view pathOrUrl) {
    const QString s = QString::fromUtf8(pathOrUrl.data(), static_cast<qsizetype>(pathOrUrl.size()));
    if (s.contains("://")) {
        return QDesktopServices::openUrl(QUrl(s));
    }
    if (!QFileInfo::exists(s)) {
        return false;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(s));
}

} // namespace vna::platform::qt
