#include "display/render.h"

#include <memory>

#include "core/program.h"
#include "display/graph_draw.h"
#include "display/graph_geometry.h"
#include "display/scan_plot.h"
#include "platform/canvas.h"

namespace vna::display {

namespace {

// The Ui of the copy: no window and no dialog, only the canvas to draw on.
class CanvasUi final : public platform::Ui {
public:
    explicit CanvasUi(platform::Canvas& canvas) : canvas_(canvas) {}
    platform::Answer message(std::string_view, std::string_view, platform::Buttons, platform::Icon) override {
        return platform::Answer::Cancel;
    }
    bool prompt(std::string_view, std::string_view) override { return false; }
    std::optional<std::string> enterText(std::string_view, std::string_view, std::string_view) override {
        return std::nullopt;
    }
    std::optional<std::string> openFile(const platform::FileDialog&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const platform::FileDialog&) override { return std::nullopt; }
    void processEvents() override {}
    void waitForEvents() override {}
    void setEventHandler(std::function<void(const platform::Event&)>) override {}
    platform::Size screenSize() const override { return {canvas_.width(), canvas_.height()}; }
    void createMainWindow(int, int, int, int) override {}
    void setWindowTitle(std::string_view) override {}
    void focusMainWindow() override {}
    void closeSecondaryWindows() override {}
    void closeMainWindow() override {}
    platform::Canvas* mainCanvas() override { return &canvas_; }

private:
    platform::Canvas& canvas_;
};

} // namespace

void RenderGraph(const core::Program& source, platform::Canvas& canvas, bool fit) {
    CanvasUi ui(canvas);
    auto copy = std::make_unique<core::Program>(
        core::Platform{ui, source.clock, source.serial, source.registry, source.sound});
    copy->st = source.st;
    copy->scan = source.scan;
    copy->point = source.point;
    copy->display = source.display;
    copy->cal = source.cal;
    // The copy draws every status button and no ruler is on its picture yet.
    copy->display.status = {};
    copy->display.plot = {};
    if (fit) {
        // The picture is the whole window: its size is the window size, and the screen is as
        // large as the picture (the window rules would otherwise fit it to the screen).
        copy->st.WinWidth = canvas.width();
        copy->st.WinHeight = canvas.height();
        copy->st.ScreenWidth = canvas.width();
        copy->st.ScreenHeight = canvas.height() + 35;
        ComputeGraphGeometry(*copy);
    }
    ClearWindow(*copy);
    RedrawScan(*copy);
    DrawScanNotes(*copy);
}

} // namespace vna::display
