#pragma once

#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <vector>

#include "platform/qt/main_window.h"
#include "platform/ui.h"

namespace vna::platform::qt {

// The top-level widget of a chart window: the canvas fills it, the push buttons lie over the
// canvas. It owns the canvas and the handler, so a paint or a click that arrives after the program
// dropped its handle still finds them.
class ChartWidget final : public QWidget {
public:
    explicit ChartWidget(const ChartWindowSpec& spec);

    QtCanvas& canvas() { return canvas_; }
    CanvasWidget* client() { return client_; }
    std::function<void(const Event&)> handler;
    bool closed() const { return closed_; }
    // Closes without telling the handler (the program closes it itself).
    void closeQuietly();
    void setButtons(const std::vector<PushButton>& buttons);
    const std::vector<QPushButton*>& buttons() const { return buttons_; }

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QtCanvas canvas_;
    CanvasWidget* client_;
    bool closed_ = false;
    bool quiet_ = false;
    std::vector<QPushButton*> buttons_;
    std::vector<int> buttonIds_;
};

// The ChartWindow port over a ChartWidget.
class QtChartWindow final : public ChartWindow {
public:
    explicit QtChartWindow(const ChartWindowSpec& spec);
    ~QtChartWindow() override;

    Canvas& canvas() override { return widget_->canvas(); }
    void setTitle(std::string_view title) override;
    void setButtons(const std::vector<PushButton>& buttons) override;
    void setEventHandler(std::function<void(const Event&)> handler) override;
    bool isOpen() const override;
    void close() override;
    void resize(int width, int height) override;
    Point position() const override;
    void raise() override;
    bool print() override;

    ChartWidget* widget() { return widget_; }

private:
    // Kept until the handle goes: the widget is deleted later, never under its own event.
    ChartWidget* widget_;
};

} // namespace vna::platform::qt
