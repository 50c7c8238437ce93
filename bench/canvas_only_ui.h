#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/qt/qt_canvas.h"
#include "platform/ui.h"

namespace vna::bench {

// A secondary window as its canvas alone, offscreen: what is drawn in it is timed, nothing shown.
class CanvasOnlyWindow final : public platform::ChartWindow {
public:
    CanvasOnlyWindow(int w, int h) : canvas_(w, h) {}
    platform::Canvas& canvas() override { return canvas_; }
    void setTitle(std::string_view) override {}
    void setButtons(const std::vector<platform::PushButton>&) override {}
    void setEventHandler(std::function<void(const platform::Event&)>) override {}
    bool isOpen() const override { return true; }
    void close() override {}
    void resize(int, int) override {}
    platform::Point position() const override { return {}; }
    void raise() override {}
    bool print() override { return false; }

private:
    platform::qt::QtCanvas canvas_;
};

// A Ui with nothing but a main canvas: the real drawing canvas, offscreen, and every dialog
// answered at once, so a benchmark times the drawing and nothing else.
class CanvasOnlyUi final : public platform::Ui {
public:
    CanvasOnlyUi(int w, int h) : canvas_(w, h) {}
    platform::Answer message(std::string_view, std::string_view, platform::Buttons, platform::Icon) override {
        return platform::Answer::Ok;
    }
    bool prompt(std::string_view, std::string_view) override { return true; }
    std::optional<std::string> enterText(std::string_view, std::string_view, std::string_view) override {
        return std::nullopt;
    }
    std::optional<std::string> openFile(const platform::FileDialog&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const platform::FileDialog&) override { return std::nullopt; }
    void processEvents() override {}
    void waitForEvents() override {}
    void setEventHandler(std::function<void(const platform::Event&)>) override {}
    platform::Size screenSize() const override { return {1920, 1080}; }
    void createMainWindow(int, int, int, int) override {}
    void setWindowTitle(std::string_view) override {}
    void focusMainWindow() override {}
    void closeSecondaryWindows() override {}
    void closeMainWindow() override {}
    platform::Canvas* mainCanvas() override { return &canvas_; }
    // A secondary window is its canvas alone, offscreen.
    std::unique_ptr<platform::ChartWindow> openChartWindow(const platform::ChartWindowSpec& spec) override {
        return std::make_unique<CanvasOnlyWindow>(spec.width, spec.height);
    }

private:
    platform::qt::QtCanvas canvas_;
};

} // namespace vna::bench
