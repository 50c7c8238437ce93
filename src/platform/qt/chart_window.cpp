#include "platform/qt/chart_window.h"

#include <QCloseEvent>
#include <QCoreApplication>

#include "platform/qt/qt_ui.h"

namespace vna::platform::qt {

ChartWidget::ChartWidget(const ChartWindowSpec& spec)
    : canvas_(spec.width, spec.height), client_(new CanvasWidget(canvas_, handler, this)) {
    setWindowTitle(DisplayText(spec.title));
    setAttribute(Qt::WA_DeleteOnClose, false);
    if (spec.modal) {
        setWindowModality(Qt::ApplicationModal);
    }
    canvas_.onFlush = [this] { client_->update(); };
    client_->setGeometry(0, 0, std::max(1, spec.width), std::max(1, spec.height));
    resize(std::max(1, spec.width), std::max(1, spec.height));
    move(spec.x, spec.y);
}

void ChartWidget::closeQuietly() {
    quiet_ = true;
    close();
    quiet_ = false;
}

void ChartWidget::closeEvent(QCloseEvent* e) {
    e->accept();
    if (closed_) {
        return;
    }
    closed_ = true;
    if (!quiet_ && handler) {
        handler(Event{EventType::CloseRequest});
    }
}

void ChartWidget::resizeEvent(QResizeEvent*) {
    client_->setGeometry(0, 0, width(), height());
}

void ChartWidget::setButtons(const std::vector<PushButton>& specs) {
    while (buttons_.size() > specs.size()) {
        buttons_.back()->hide();
        buttons_.back()->deleteLater();
        buttons_.pop_back();
    }
    buttonIds_.resize(specs.size());
    for (std::size_t i = 0; i < specs.size(); ++i) {
        if (i == buttons_.size()) {
            auto* b = new QPushButton(client_);
            b->setFocusPolicy(Qt::NoFocus);
            // The click reaches the program through the event queue: its command may replace the
            // buttons, this one among them.
            connect(b, &QPushButton::clicked, this, [this, i] {
                if (i >= buttonIds_.size()) {
                    return;
                }
                const int id = buttonIds_[i];
                QMetaObject::invokeMethod(
                    this,
                    [this, id] {
                        if (handler && !closed_) {
                            handler(Event{EventType::Button, 0, 0, 0, id});
                        }
                    },
                    Qt::QueuedConnection);
            });
            buttons_.push_back(b);
        }
        buttonIds_[i] = specs[i].id;
        StyleButton(buttons_[i], specs[i]);
    }
}

QtChartWindow::QtChartWindow(const ChartWindowSpec& spec) : widget_(new ChartWidget(spec)) {
    widget_->show();
}

QtChartWindow::~QtChartWindow() {
    widget_->handler = nullptr;
    widget_->closeQuietly();
    widget_->deleteLater();
}

void QtChartWindow::setTitle(std::string_view title) {
    widget_->setWindowTitle(DisplayText(title));
}

void QtChartWindow::setButtons(const std::vector<PushButton>& buttons) {
    widget_->setButtons(buttons);
}

void QtChartWindow::setEventHandler(std::function<void(const Event&)> handler) {
    widget_->handler = std::move(handler);
}

bool QtChartWindow::isOpen() const {
    return !widget_->closed();
}

void QtChartWindow::close() {
    widget_->closeQuietly();
}

void QtChartWindow::resize(int width, int height) {
    widget_->resize(std::max(1, width), std::max(1, height));
}

Point QtChartWindow::position() const {
    return {widget_->x(), widget_->y()};
}

void QtChartWindow::raise() {
    widget_->raise();
    widget_->activateWindow();
}

bool QtChartWindow::print() {
    return PrintImage(widget_->canvas().image(), widget_);
}

} // namespace vna::platform::qt
