// What the diagnostic monitor costs a sweep.
//
// A Port A sweep of N points against the simulated unit in-process (replies at once, so only the
// program's own work is timed), without and with the monitor window open and drawing on the real
// canvas, best of five runs each. The program's clock runs on by the line time of every point, as
// if the replies came at 115000 baud (10-byte command and 72-byte reply of 10 bits per byte), so
// the monitor draws its batches as often as in a real sweep. The extra host time per point is held
// against that line time, the least a point takes: the monitor's share of a real sweep is at most
// that ratio. Target: below 2 %.
//
//   bench_monitor [--points N]

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "canvas_only_ui.h"
#include "core/program.h"
#include "instrument/commands.h"
#include "instrument/link_log.h"
#include "measure/sweep.h"
#include "platform/file_registry.h"
#include "platform/null_devices.h"
#include "platform/system_clock.h"
#include "sim/sim_cal.h"
#include "sim/sim_serial_port.h"

namespace {

using namespace vna;

constexpr double LineUsPerPoint = (10 + 72) * 10.0 / 115000 * 1e6;

// The system's clock, running on by the line time of every reading the unit has answered.
class LineRateClock final : public platform::Clock {
public:
    explicit LineRateClock(const sim::SimSerialPort& serial) : serial_(serial) {}
    std::uint32_t tickMs() override {
        return real_.tickMs() +
               static_cast<std::uint32_t>(static_cast<double>(serial_.unit.state().measurements) *
                                          LineUsPerPoint / 1000);
    }
    platform::LocalTime now() override { return real_.now(); }
    void sleepMs(int ms) override { real_.sleepMs(ms); }

private:
    const sim::SimSerialPort& serial_;
    platform::SystemClock real_;
};

// Seconds of one sweep of `points` points, with or without the monitor.
double Sweep(int points, bool monitor, std::uint64_t& events) {
    bench::CanvasOnlyUi ui(1200, 700);
    sim::SimSerialPort serial;
    LineRateClock clock(serial);
    platform::NoSound sound;
    const std::string folder =
        std::filesystem::temp_directory_path() / ("vna-monitor-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    platform::FileRegistry registry(folder + "/registry");
    auto p = std::make_unique<core::Program>(core::Platform{ui, clock, serial, registry, sound});
    core::AppState& st = p->st;
    core::ResetToDefaults(st, 2026, 1, 1);
    st.ProgramFolder = folder + "/";
    st.InstrumentPresent = 1;
    st.ConfigLoaded = 1;
    st.maxScanPoints = 30010;
    st.autoSaveGraph = 0;
    serial.open("sim", st.BaudRate);
    sim::FillUnitCalTable(p->cal, serial.unit, "bench", st.maximumfreq);
    st.porta_cal_ok = 1;
    st.average = 1;
    st.start_freq = 1;
    st.delta_freq = 0.005;
    st.end_freq = st.start_freq + st.delta_freq * (points - 1);
    instrument::SetAveraging(*p, 1);
    if (monitor) {
        instrument::OpenLinkMonitor(*p);
    }
    const auto t0 = std::chrono::steady_clock::now();
    measure::sweepPortA(*p, points);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    auto* log = dynamic_cast<instrument::LinkLog*>(p->linkMonitor.get());
    events = log ? log->seen() : 0;
    std::filesystem::remove_all(folder);
    return s / std::max(st.last_scan_index + 1, 1);
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QGuiApplication app(argc, argv);
    int points = 3000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--points") {
            points = std::clamp(std::atoi(argv[++i]), 10, 30000);
        }
    }
    double without = 1e9;
    double with = 1e9;
    std::uint64_t events = 0;
    for (int run = 0; run < 5; ++run) {
        std::uint64_t none = 0;
        without = std::min(without, Sweep(points, false, none));
        with = std::min(with, Sweep(points, true, events));
    }
    const double extraUs = (with - without) * 1e6;
    const double share = 100 * std::max(extraUs, 0.0) / LineUsPerPoint;
    std::printf("sweep of %d points in-process: %.1f us/point without the monitor, %.1f us/point with it "
                "(%llu events logged)\n",
                points, without * 1e6, with * 1e6, static_cast<unsigned long long>(events));
    std::printf("monitor: %.1f us/point = %.3f %% of the %.0f us line time of a point at 115000 baud "
                "(target < 2 %%) -> %s\n",
                extraUs, share, LineUsPerPoint, share < 2 ? "met" : "NOT met");
    return share < 2 ? 0 : 1;
}
