// Redraw of a 30 000-point Port A scan with every Port A trace on, on the real drawing canvas
// (a QImage, offscreen), held against its limit of 50 ms; and the cost of plotting one point as a
// sweep does, to set beside the time the instrument needs per point.

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>

#include "canvas_only_ui.h"
#include "core/program.h"
#include "display/graph_geometry.h"
#include "display/scan_plot.h"
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
        st.maxScanPoints = 30000;
        st.start_freq = 1;
        st.end_freq = 31;
        st.delta_freq = 30.0 / (Points - 1);
        // Every Port A trace: SWR, Zmag, Rs and Xs, return loss and Z phase.
        st.plot_swr = st.plot_zmagA = st.plot_rsA = st.plot_rt = st.plot_ZphaseA = 1;
        // A resonance: a series RLC across the span.
        for (int i = 0; i < Points; ++i) {
            const double f = st.start_freq + st.delta_freq * i;
            const double x = 2 * M_PI * f * 1e6 * 2e-6 - 1 / (2 * M_PI * f * 1e6 * 120e-12);
            const double r = 30;
            const auto k = static_cast<std::size_t>(i);
            p->scan.scan_zmag[k] = std::hypot(r, x);
            p->scan.scan_phase[k] = std::atan2(x, r);
            const double g = std::hypot(r - 50, x) / std::hypot(r + 50, x);
            p->scan.scan_swr[k] = (1 + g) / (1 - g);
        }
        st.last_scan_index = Points - 1;
        display::ComputeGraphGeometry(*p);
    }
};

void BM_RedrawScan30000AllPortATraces(benchmark::State& state) {
    Bench b;
    for (auto _ : state) {
        display::RedrawScan(*b.p);
    }
    state.counters["limit_ms"] = 50;
    state.SetItemsProcessed(state.iterations() * Points);
}
BENCHMARK(BM_RedrawScan30000AllPortATraces)->Unit(benchmark::kMillisecond);

void BM_PlotOnePointDuringASweep(benchmark::State& state) {
    Bench b;
    b.p->st.SweepRunning = 1;
    display::BeginSweepPlot(*b.p);
    int n = 0;
    for (auto _ : state) {
        display::PointFromScanA(*b.p, n % Points);
        display::PlotPointA(*b.p, n % Points);
        ++n;
    }
    // At 57600 baud one point's exchange (a few command bytes and the 72-byte reading) takes
    // about 15 ms on the wire; the plot's share is set beside it.
    state.counters["line_time_us_per_point"] = 15000;
}
BENCHMARK(BM_PlotOnePointDuringASweep)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
