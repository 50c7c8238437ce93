// The Port A sweep as a whole.
//
// 1. Speed on the line: a 30 000-point sweep through vna-sim --pace at 115000 baud, against the
//    line-rate limit of its 82 bytes (10-byte command, 72-byte reply) of 10 bits per point.
//    Target: the sweep takes no more than 1.05 times the limit.
// 2. Host CPU per point of the whole pipeline (reading check, demodulation, correction with the
//    interpolated cal values, reflection, smoothing, plotting on the real drawing canvas), with a
//    serial port that answers every reading at once from a stored one, so only the program's own
//    work is timed. Reported beside the line time of a point.
//
//   bench_sweep [--points N] [--skip-paced] [--sim-arg ARG]...

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "cal/cal_file.h"
#include "canvas_only_ui.h"
#include "core/cal_table.h"
#include "core/program.h"
#include "display/graph_draw.h"
#include "display/graph_geometry.h"
#include "instrument/commands.h"
#include "instrument/date_code.h"
#include "instrument/identification.h"
#include "instrument/protocol.h"
#include "instrument/serial_link.h"
#include "measure/interpolation.h"
#include "measure/sweep.h"
#include "platform/console_ui.h"
#include "platform/file_registry.h"
#include "platform/null_devices.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/system_clock.h"
#include "sim/front_end.h"
#include "sim/instrument_model.h"
#include "sim/sim_cal.h"

namespace {

using namespace vna;

constexpr int BytesPerPoint = 10 + 72;
constexpr int HighBaud = 115000;

double CpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

std::vector<std::string> extraSimArgs;

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
        args.insert(args.end(), extraSimArgs.begin(), extraSimArgs.end());
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

// The settings of a sweep of `points` points from 1 MHz in 5 kHz steps, every Port A trace on.
void SweepSettings(core::AppState& st, int points) {
    st.ConfigLoaded = 1;
    st.maxScanPoints = 30010;
    st.zStepTolerance = 10;
    st.autoSaveGraph = 0;
    st.plot_at_zero = 0;
    st.average = 1;
    st.start_freq = 1;
    st.delta_freq = 0.005;
    st.end_freq = st.start_freq + st.delta_freq * (points - 1);
    st.plot_swr = st.plot_zmagA = st.plot_rsA = st.plot_rt = st.plot_ZphaseA = 1;
}

bool PacedSweep(int points) {
    const std::string folder =
        std::filesystem::temp_directory_path() / ("vna-sweep-bench-" + std::to_string(::getpid()));
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
    st.HighBaud = 1;
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
            SweepSettings(st, points);
            instrument::SetAveraging(*p, 1);
            const double cpu0 = CpuSeconds();
            const auto t0 = std::chrono::steady_clock::now();
            measure::sweepPortA(*p, points);
            const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            const double cpu = CpuSeconds() - cpu0;
            const int measured = st.last_scan_index + 1;
            const double limit = measured * BytesPerPoint * 10.0 / st.BaudRate;
            std::printf("paced sweep: %d points at %d baud in %.2f s; line-rate limit %.2f s; ratio %.4f "
                        "(target <= 1.05); program cpu %.1f us/point; error %d\n",
                        measured, st.BaudRate, wall, limit, wall / limit, cpu / std::max(measured, 1) * 1e6,
                        st.LastError);
            ok = st.LastError == 0 && measured == points && st.BaudRate == HighBaud && wall / limit <= 1.05;
        }
    }
    instrument::ClosePort(*p);
    ::kill(sim.pid, SIGTERM);
    ::waitpid(sim.pid, nullptr, 0);
    std::filesystem::remove_all(folder);
    return ok;
}

// A serial port whose instrument answers every reading at once with stored samples (the echoed
// tuning word and the checksum made for each), and ignores every other command.
class InstantPort final : public platform::SerialPort {
public:
    InstantPort() {
        std::mt19937_64 rng(7);
        sim::PointSignal s;
        s.reference = 1000;
        s.load = 800;
        s.phaseDiff = 0.3;
        adc_ = sim::SynthesizeAdc(s, 1, 0.6, {}, rng);
    }
    bool open(const std::string&, int) override { return open_ = true; }
    bool isOpen() const override { return open_; }
    void close() override { open_ = false; }
    bool setRts(bool) override { return true; }
    int write(std::span<const std::uint8_t> bytes) override {
        pending_.insert(pending_.end(), bytes.begin(), bytes.end());
        for (;;) {
            const int length = instrument::CommandLength({pending_.data(), pending_.size()});
            if (length <= 0 || static_cast<std::size_t>(length) > pending_.size()) {
                if (length < 0) {
                    pending_.clear();
                }
                break;
            }
            if ((pending_[0] == 'U' || pending_[0] == 'T') && length == 10) {
                std::uint32_t word = 0;
                instrument::ParseHex({pending_.data() + 2, 8}, word);
                const auto frame = instrument::EncodeRawReading(word, adc_);
                out_.insert(out_.end(), frame.begin(), frame.end());
            } else if (pending_[0] == 'B') {
                const std::uint16_t w = instrument::SupplyWordOfVolts(12);
                out_.push_back(static_cast<std::uint8_t>(w >> 8));
                out_.push_back(static_cast<std::uint8_t>(w));
            }
            pending_.erase(pending_.begin(), pending_.begin() + length);
        }
        return static_cast<int>(bytes.size());
    }
    int readByte(std::uint8_t& byte) override {
        if (out_.empty()) {
            return 0;
        }
        byte = out_.front();
        out_.pop_front();
        return 1;
    }
    std::string errorText() const override { return {}; }
    void discardInput() override { out_.clear(); }

private:
    bool open_ = false;
    std::vector<std::uint8_t> pending_;
    std::deque<std::uint8_t> out_;
    std::array<std::uint16_t, instrument::RawAdcWords> adc_{};
};

void HostPipeline(int points) {
    bench::CanvasOnlyUi ui(1728, 756);
    platform::SystemClock clock;
    InstantPort serial;
    serial.open("instant", 115000);
    platform::NoSound sound;
    const std::string folder =
        std::filesystem::temp_directory_path() / ("vna-sweep-cpu-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    platform::FileRegistry registry(folder + "/registry");
    auto p = std::make_unique<core::Program>(core::Platform{ui, clock, serial, registry, sound});
    core::AppState& st = p->st;
    st.ScreenWidth = 1920;
    st.ScreenHeight = 1080;
    core::ResetToDefaults(st, 2026, 1, 1);
    st.ProgramFolder = folder + "/";
    st.InstrumentPresent = 1;
    st.WinWidth = 1728;
    st.WinHeight = 756;
    display::ComputeGraphGeometry(*p);
    sim::Instrument unit;
    sim::FillUnitCalTable(p->cal, unit, "bench", st.maximumfreq);
    st.porta_cal_ok = 1;
    SweepSettings(st, points);
    display::DrawGraph(*p);
    const double cpu0 = CpuSeconds();
    measure::sweepPortA(*p, points);
    const double cpu = CpuSeconds() - cpu0;
    const int measured = st.last_scan_index + 1;
    const double lineUs = BytesPerPoint * 10.0 / HighBaud * 1e6;
    std::printf("host pipeline: %d points, cpu %.2f us/point (%.2f %% of the %.0f us line time of a point "
                "at %d baud); error %d\n",
                measured, cpu / std::max(measured, 1) * 1e6, 100 * cpu / std::max(measured, 1) * 1e6 / lineUs,
                lineUs, HighBaud, st.LastError);
    std::filesystem::remove_all(folder);
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QGuiApplication app(argc, argv);
    int points = 30000;
    bool paced = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--points" && i + 1 < argc) {
            points = std::clamp(std::atoi(argv[++i]), 10, 30000);
        } else if (a == "--skip-paced") {
            paced = false;
        } else if (a == "--sim-arg" && i + 1 < argc) {
            extraSimArgs.emplace_back(argv[++i]);
        }
    }
    HostPipeline(points);
    bool ok = true;
    if (paced) {
        ok = PacedSweep(points);
        std::printf("target: paced sweep within 1.05 x the line-rate limit -> %s\n", ok ? "met" : "NOT met");
    }
    return ok ? 0 : 1;
}
