// A 30 000-point Port A scan file loaded into the real main window (offscreen) until it is fully
// drawn on the screen: the file read, the replay and the paint of the window, held against its
// limit of 200 ms. The window's own event loop runs as in the program, so a replay that waited
// for window messages while it draws would show here.

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "commands/scan_commands.h"
#include "core/program.h"
#include "display/graph_geometry.h"
#include "files/scan_file.h"
#include "measure/scan_replay.h"
#include "platform/fake/fake_clock.h"
#include "platform/fake/memory_registry.h"
#include "platform/fake/recording_sound.h"
#include "platform/fake/silent_serial_port.h"
#include "platform/qt/qt_ui.h"

namespace {

using namespace vna;

constexpr int Points = 30000;

struct Bench {
    platform::qt::QtUi ui;
    platform::fake::FakeClock clock;
    platform::fake::SilentSerialPort serial;
    platform::fake::MemoryRegistry registry;
    platform::fake::RecordingSound sound;
    std::unique_ptr<core::Program> p;
    std::string folder;
    std::string path;

    Bench() {
        folder = (std::filesystem::temp_directory_path() / "vna-scan-load-bench").string() + "/";
        std::filesystem::create_directories(folder);
        p = std::make_unique<core::Program>(core::Platform{ui, clock, serial, registry, sound});
        core::AppState& st = p->st;
        st.ScreenWidth = 1920;
        st.ScreenHeight = 1080;
        core::ResetToDefaults(st, 2026, 1, 2);
        st.ProgramFolder = folder;
        // A configuration is loaded, so the scan is shown by the replay sweep.
        st.ConfigLoaded = 1;
        st.maxScanPoints = core::MaxSweepPoints;
        st.start_freq = 1;
        st.delta_freq = 0.005;
        st.end_freq = 1 + 0.005 * (Points - 1);
        st.plot_swr = st.plot_zmagA = st.plot_rsA = st.plot_rt = st.plot_ZphaseA = 1;
        // A resonant antenna.
        for (std::size_t k = 0; k < Points; ++k) {
            const double f = 1 + 0.005 * static_cast<double>(k);
            const double r = 30 + 0.3 * f;
            const double x = 8 * (f - 75) + 1000 / f;
            p->scan.raw_zmag[k] = std::hypot(r, x);
            p->scan.raw_phase[k] = std::atan2(x, r);
        }
        st.last_scan_index = Points - 1;
        measure::ReplayScanA(*p);
        files::RecordLiveScanA(*p, 0);
        st.ScanFileMode = 1;
        commands::SaveScanA(*p);
        path = files::LastGraphPathA(st, "");
        ui.createMainWindow(0, 0, st.WinWidth, st.WinHeight);
        display::ComputeGraphGeometry(*p);
        QApplication::processEvents();
    }
    ~Bench() {
        ui.closeMainWindow();
        QApplication::processEvents();
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

void BM_LoadAndShowScanFile30000(benchmark::State& state) {
    Bench b;
    for (auto _ : state) {
        if (!commands::LoadScanFileA(*b.p, b.path) || b.p->st.last_scan_index != Points - 1) {
            state.SkipWithError("the scan file was not loaded whole");
            break;
        }
        // The window shows what was drawn.
        QApplication::processEvents();
    }
    state.counters["limit_ms"] = 200;
}
BENCHMARK(BM_LoadAndShowScanFile30000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
