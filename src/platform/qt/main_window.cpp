#include "platform/qt/main_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace vna::platform::qt {

int VirtualKey(int qtKey, bool keypad) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
        return keypad ? key::Numpad0 + (qtKey - Qt::Key_0) : qtKey;
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        return qtKey; // Qt's letter codes are the upper-case characters
    }
    switch (qtKey) {
        case Qt::Key_Shift:
            return key::Shift;
        case Qt::Key_Control:
            return key::Control;
        case Qt::Key_Left:
            return key::Left;
        case Qt::Key_Up:
            return key::Up;
        case Qt::Key_Right:
            return key::Right;
        case Qt::Key_Down:
            return key::Down;
        case Qt::Key_Space:
            return ' ';
        default:
            return 0;
    }
}

CanvasWidget::CanvasWidget(QtCanvas& canvas, std::function<void(const Event&)>& handler, QWidget* parent)
    : QWidget(parent), canvas_(canvas), handler_(handler) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CanvasWidget::send(const Event& e) {
    if (handler_) {
        handler_(e);
    }
}

void CanvasWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, canvas_.image());
}

void CanvasWidget::resizeEvent(QResizeEvent*) {
    canvas_.resize(width(), height());
    // The program keeps the size of the whole window (menu bar included) as the window size it
    // asked for, so a resize reports that size.
    send(Event{EventType::Resized, 0, window()->width(), window()->height(), 0});
}

void CanvasWidget::keyPressEvent(QKeyEvent* e) {
    const int vk = VirtualKey(e->key(), e->modifiers() & Qt::KeypadModifier);
    if (vk == 0) {
        QWidget::keyPressEvent(e);
        return;
    }
    send(Event{EventType::KeyDown, vk, 0, 0, 0});
}

void CanvasWidget::keyReleaseEvent(QKeyEvent* e) {
    const int vk = VirtualKey(e->key(), e->modifiers() & Qt::KeypadModifier);
    send(Event{EventType::KeyUp, vk, 0, 0, 0});
}

void CanvasWidget::mousePressEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    if (e->button() == Qt::LeftButton) {
        send(Event{EventType::LeftDown, 0, p.x(), p.y(), 0});
    } else if (e->button() == Qt::RightButton) {
        send(Event{EventType::RightDown, 0, p.x(), p.y(), 0});
    }
}

void CanvasWidget::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    if (e->button() == Qt::LeftButton) {
        send(Event{EventType::LeftUp, 0, p.x(), p.y(), 0});
    }
}

void CanvasWidget::mouseMoveEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    send(Event{EventType::MouseMove, 0, p.x(), p.y(), 0});
}

void StyleButton(QPushButton* b, const PushButton& spec) {
    b->setText(QString::fromStdString(spec.caption));
    b->setGeometry(spec.x, spec.y, std::max(1, spec.width), std::max(1, spec.height));
    QFont font(QString::fromStdString(spec.fontFace).compare("arial", Qt::CaseInsensitive) == 0
                   ? QString("Arial")
                   : QString::fromStdString(spec.fontFace));
    font.setPointSize(std::max(1, spec.pointSize));
    font.setWeight(static_cast<QFont::Weight>(std::clamp(spec.weight, 1, 1000)));
    b->setFont(font);
    b->setStyleSheet(QString("QPushButton { background-color: rgb(%1, %2, %3); border: 1px solid gray; }"
                             "QPushButton:disabled { color: gray; }")
                         .arg(RedOf(spec.color))
                         .arg(GreenOf(spec.color))
                         .arg(BlueOf(spec.color)));
    b->setEnabled(spec.enabled);
    b->setToolTip(QString::fromStdString(spec.toolTip));
    b->setObjectName(QString("button%1").arg(spec.id));
    b->show();
}

MainWindow::MainWindow(int width, int height, std::function<void(const Event&)>& handler)
    : canvas_(width, height), handler_(handler) {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buttonRow_ = new QWidget(central);
    buttonRow_->setFixedHeight(0);
    client_ = new CanvasWidget(canvas_, handler_, central);
    layout->addWidget(buttonRow_);
    layout->addWidget(client_, 1);
    setCentralWidget(central);
    client_->setFocus();
    canvas_.onFlush = [this] { client_->update(); };
    resize(width, height);
}

void MainWindow::setButtons(const std::vector<PushButton>& buttons, const std::function<void(int)>& clicked) {
    clicked_ = clicked;
    // The buttons are kept and updated in place: one may be the sender of the click that asked
    // for the new row.
    while (buttons_.size() > buttons.size()) {
        buttons_.back()->hide();
        buttons_.back()->deleteLater();
        buttons_.pop_back();
    }
    buttonIds_.resize(buttons.size());
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const PushButton& spec = buttons[i];
        if (i == buttons_.size()) {
            auto* b = new QPushButton(buttonRow_);
            b->setFocusPolicy(Qt::NoFocus);
            connect(b, &QPushButton::clicked, this, [this, i] {
                if (clicked_ && i < buttonIds_.size()) {
                    clicked_(buttonIds_[i]);
                }
            });
            buttons_.push_back(b);
        }
        QPushButton* b = buttons_[i];
        buttonIds_[i] = spec.id;
        StyleButton(b, spec);
    }
    // The strip is as high as the row with the row's top margin below it too.
    int top = 0;
    int bottom = 0;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        top = i == 0 ? buttons[i].y : std::min(top, buttons[i].y);
        bottom = std::max(bottom, buttons[i].y + std::max(1, buttons[i].height));
    }
    buttonRow_->setFixedHeight(buttons.empty() ? 0 : bottom + std::max(0, top));
}

void MainWindow::closeForGood() {
    closing_ = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* e) {
    if (closing_) {
        e->accept();
        return;
    }
    // The close box asks the program to quit; the program closes the window itself at the end of
    // its shutdown sequence.
    e->ignore();
    if (handler_) {
        handler_(Event{EventType::CloseRequest});
    }
}

} // namespace vna::platform::qt
