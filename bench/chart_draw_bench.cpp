// The Smith chart and the polar plot of a 30 000-point Port A scan drawn on the real drawing canvas
// (a QImage, offscreen), each held against its limit of 50 ms.

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>

#include "canvas_only_ui.h"
#include "core/program.h"
#include "display/chart_mapping.h"
#include "display/polar_plot.h"
#include "display/smith_chart.h"
#include "platform/fake/fake_clock.h"
#include "platform/fake/memory_registry.h"
#include "platform/fake/recording_sound.h"
#include "platform/fake/silent_serial_port.h"
#include "platform/qt/qt_canvas.h"

namespace {

using namespace vna;

constexpr int Points = 30000;

struct Bench {
    bench::CanvasOnlyUi ui{1728, 756};
    platform::fake::FakeClock clock;
    platform::fake::SilentSerialPort serial;
    platform::fake::MemoryRegistry registry;
    platform::fake::RecordingSound sound;
    std::unique_ptr<core::Program> p;

    Bench() {
        p = std::make_unique<core::Program>(core::Platform{ui, clock, serial, registry, sound});
        core::AppState& st = p->st;
        st.ScreenWidth = 1920;
        st.ScreenHeight = 1080;
        core::ResetToDefaults(st, 2026, 1, 2);
        st.maxScanPoints = Points;
        // A series RLC swept through its resonance: the trace circles the chart.
        st.scanSettingsA.recorded = 1;
        st.scanSettingsA.start = 1;
        st.scanSettingsA.step = 30.0 / (Points - 1);
        st.scanSettingsA.last = Points - 1;
        st.last_scan_index = Points - 1;
        for (int i = 0; i < Points; ++i) {
            const double f = (1 + st.scanSettingsA.step * i) * 1e6;
            const double x = 2 * M_PI * f * 2e-6 - 1 / (2 * M_PI * f * 120e-12);
            const auto k = static_cast<std::size_t>(i);
            p->scan.scan_zmag[k] = std::hypot(30.0, x);
            p->scan.scan_phase[k] = std::atan2(x, 30.0);
        }
    }
};

void BM_SmithChart30000Points(benchmark::State& state) {
    Bench b;
    const display::SmithGeometry g = display::SmithChartGeometry(b.p->st.smithSize, 1);
    platform::qt::QtCanvas canvas(g.width, g.width);
    for (auto _ : state) {
        display::DrawSmithChart(*b.p, canvas, g, {core::ChartSmith, true, false});
    }
    state.counters["limit_ms"] = 50;
    state.SetItemsProcessed(state.iterations() * Points);
}
BENCHMARK(BM_SmithChart30000Points)->Unit(benchmark::kMillisecond);

void BM_PolarPlot30000Points(benchmark::State& state) {
    Bench b;
    const display::PolarGeometry g = display::PolarPlotGeometry(b.p->st.WinHeight, b.p->st.smithSize);
    platform::qt::QtCanvas canvas(g.width, g.height);
    b.p->st.polarMode = display::PolarS11;
    b.p->st.polarScale = 1;
    for (auto _ : state) {
        display::DrawPolarPlot(*b.p, canvas, g, false);
    }
    state.counters["limit_ms"] = 50;
    state.SetItemsProcessed(state.iterations() * Points);
}
BENCHMARK(BM_PolarPlot30000Points)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
