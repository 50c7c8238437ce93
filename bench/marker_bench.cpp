// Re-measuring 20 markers ("Refresh" of the marker window) through vna-sim --pace, against 20
// single corrected readings at the same frequencies plus one redraw of the window's rows.
//
//   bench_marker [--runs N]
//
// Target: the re-measuring takes no longer than the readings and the redraw (ratio <= 1.05, the
// margin being the timing noise of the line).

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "cal/cal_file.h"
#include "canvas_only_ui.h"
#include "core/number_text.h"
#include "core/program.h"
#include "display/markers.h"
#include "instrument/commands.h"
#include "instrument/date_code.h"
#include "instrument/identification.h"
#include "instrument/raw_reading.h"
#include "instrument/serial_link.h"
#include "measure/interpolation.h"
#include "measure/marker_commands.h"
#include "measure/scan_replay.h"
#include "platform/console_ui.h"
#include "platform/file_registry.h"
#include "platform/null_devices.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/system_clock.h"

namespace {

using namespace vna;
using Clock = std::chrono::steady_clock;

struct Sim {
    pid_t pid = -1;
    std::string link;
};

Sim StartSim(const std::string& folder, const std::string& cal) {
    Sim s;
    s.link = folder + "/tty";
    int out[2];
    if (::pipe(out) != 0) {
        std::exit(1);
    }
    s.pid = ::fork();
    if (s.pid == 0) {
        ::dup2(out[1], 1);
        std::vector<std::string> args = {VNA_SIM_EXE,
                                         "--link",
                                         s.link,
                                         "--no-flash-file",
                                         "--pace",
                                         "--write-cal",
                                         cal,
                                         "--dut",
                                         "rlc-series:r=30,l=1.2u,c=80p"};
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    pollfd pfd{out[0], POLLIN, 0};
    char c = 0;
    while (::poll(&pfd, 1, 10000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') {
    }
    return s;
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QGuiApplication app(argc, argv);
    int runs = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--runs") {
            runs = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    const std::string folder =
        std::filesystem::temp_directory_path() / ("vna-marker-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string cal = folder + "/unit.acal";
    Sim sim = StartSim(folder, cal);

    platform::ConsoleUi ui;
    platform::SystemClock clock;
    platform::qt::QtSerialPort serial;
    platform::FileRegistry registry(folder + "/registry");
    platform::NoSound sound;
    auto p = std::make_unique<core::Program>(core::Platform{ui, clock, serial, registry, sound});
    core::AppState& st = p->st;
    core::ResetToDefaults(st, 2026, 1, 1);
    st.ProgramFolder = folder + "/";
    st.SerialDevice = sim.link;
    bool ok = false;
    instrument::ConnectInstrument(*p);
    if (st.LastError != 0) {
        std::fprintf(stderr, "bench: the simulator did not answer (%d)\n", st.LastError);
    } else {
        instrument::IdentifyInstrument(*p, 1);
        instrument::ReadDateCode(*p);
        if (cal::VNA_LoadCalFile(*p, cal.c_str()) != 0) {
            std::fprintf(stderr, "bench: the simulator's cal file was refused (%d)\n", st.LastError);
        } else {
            st.ConfigLoaded = 1;
            st.start_freq = 10;
            st.end_freq = 20;
            st.delta_freq = 0.05;
            instrument::SetAveraging(*p, 1);
            instrument::SetRelays(*p, 3);
            display::ClearMarkerTable(st);
            std::vector<double> freqs;
            for (int k = 0; k < core::MarkerSlots; ++k) {
                freqs.push_back(10.25 + 0.45 * k);
                display::InsertMarker(st, freqs.back());
            }
            display::SortMarkers(st);
            display::AfterMarkerCommand(st);
            p->charts.markerData = std::make_unique<bench::CanvasOnlyWindow>(
                core::Nint(900.0 * st.WinHeight / 768), 20 * core::MarkerSlots + 155);
            double best = 1e9;
            double bestSingles = 1e9;
            double bestRedraw = 1e9;
            for (int run = 0; run < runs; ++run) {
                auto t0 = Clock::now();
                for (const double f : freqs) {
                    st.freq = f;
                    st.Measuring = 1;
                    instrument::MeasurePortAPoint(*p);
                    st.Measuring = 0;
                    measure::InterpolateAtFreq(*p);
                    measure::computeReflection(*p);
                }
                bestSingles = std::min(bestSingles, Seconds(t0));
                t0 = Clock::now();
                measure::DrawMarkerWindow(*p);
                bestRedraw = std::min(bestRedraw, Seconds(t0));
                t0 = Clock::now();
                const bool measured = measure::RemeasureMarkers(*p);
                measure::DrawMarkerWindow(*p);
                best = std::min(best, Seconds(t0));
                if (!measured) {
                    std::fprintf(stderr, "bench: a marker reading failed (%d)\n", st.LastError);
                    best = 1e9;
                    break;
                }
            }
            const double limit = bestSingles + bestRedraw;
            std::printf(
                "20 markers re-measured and redrawn: %.1f ms; 20 single readings %.1f ms + redraw %.2f ms "
                "= %.1f ms; ratio %.3f (target <= 1.05)\n",
                best * 1e3, bestSingles * 1e3, bestRedraw * 1e3, limit * 1e3, best / limit);
            ok = best / limit <= 1.05;
        }
    }
    p->charts.markerData.reset();
    instrument::ClosePort(*p);
    ::kill(sim.pid, SIGTERM);
    ::waitpid(sim.pid, nullptr, 0);
    std::filesystem::remove_all(folder);
    std::printf("target -> %s\n", ok ? "met" : "NOT met");
    return ok ? 0 : 1;
}
