// Cost of the calibration's share of the host pipeline and of the largest cal files.
//
// Limits: a point arrives from the instrument at most every 6.3 ms (72 bytes plus the command at
// 115000 baud), so the correction and the interpolation of a point must stay far below that; we
// hold them to 10 us per point (0.2 % of the line time). Building the interpolation for a
// 30 000-point grid happens before every sweep: under 50 ms. Loading or writing the largest cal
// file (30 012 points, a 30 000-step custom calibration) happens on a user's command: under 300 ms.

#include <benchmark/benchmark.h>
#include <filesystem>
#include <memory>
#include <string>

#include "cal/cal_file.h"
#include "core/cal_table.h"
#include "core/program.h"
#include "measure/correction.h"
#include "measure/interpolation.h"
#include "platform/fake/fake_clock.h"
#include "platform/fake/memory_registry.h"
#include "platform/fake/recording_sound.h"
#include "platform/fake/scripted_ui.h"
#include "platform/fake/silent_serial_port.h"

namespace {

struct Bench {
    Bench() {
        folder = (std::filesystem::temp_directory_path() / "vna-calibration-bench").string() + "/";
        std::filesystem::create_directories(folder);
        program =
            std::make_unique<vna::core::Program>(vna::core::Platform{ui, clock, serial, registry, sound});
        vna::core::AppState& st = program->st;
        st.ProgramFolder = folder;
        vna::core::ResetToDefaults(st, 2026, 12, 7);
        st.InstrumentPresent = 1;
        st.porta_cal_ok = 1;
    }
    ~Bench() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    // A custom calibration of `n` points over 0.1 .. 180 MHz, with readings shaped like a bridge's.
    void customCal(int n) {
        vna::core::CalTable& c = program->cal;
        c.custom_cal = 1;
        c.custom_start_freq = 0.1;
        c.custom_delta_freq = (180 - 0.1) / (n - 5);
        c.custom_end_freq = 180;
        c.cal_points = n;
        c.cal_max_freq = 180;
        c.MUF = 180;
        for (int k = 0; k < n; ++k) {
            const auto u = static_cast<std::size_t>(k);
            const double f = vna::core::CustomGridFreq(c, k);
            c.short_re[u] = 62.5 + 0.01 * f;
            c.short_im[u] = 0.047 * f;
            c.open_re[u] = 3000 + 300000 / (1 + f);
            c.open_im[u] = -2000 / (1 + f);
            c.std_re[u] = 125 + 0.02 * f;
            c.std_im[u] = 0.06 * f;
        }
        vna::core::SetGridInUse(c, 0.005, 180);
    }
    void grid(int points) {
        vna::core::AppState& st = program->st;
        st.start_freq = 0.2;
        st.delta_freq = (179.5 - 0.2) / (points - 1);
        st.end_freq = 179.5;
        st.scan_points = points;
        program->display.g.axis.plotStart = 0.2;
        program->display.g.axis.plotStop = 179.5;
    }
    std::string folder;
    vna::platform::fake::ScriptedUi ui;
    vna::platform::fake::FakeClock clock;
    vna::platform::fake::SilentSerialPort serial;
    vna::platform::fake::MemoryRegistry registry;
    vna::platform::fake::RecordingSound sound;
    std::unique_ptr<vna::core::Program> program;
};

} // namespace

static void BuildInterpolation30000(benchmark::State& state) {
    Bench b;
    b.customCal(30012);
    b.grid(30000);
    for (auto _ : state) {
        vna::measure::BuildInterpolation(*b.program);
    }
    if (!b.ui.messages().empty() || !b.program->st.porta_cal_ok) {
        state.SkipWithError("the build complained");
    }
    state.counters["ns_per_point"] = benchmark::Counter(
        30000.0 * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::OneK::kIs1000);
}
BENCHMARK(BuildInterpolation30000)->Unit(benchmark::kMillisecond);

static void CorrectOnePoint(benchmark::State& state) {
    Bench b;
    b.customCal(30012);
    b.grid(30000);
    vna::measure::BuildInterpolation(*b.program);
    vna::core::AppState& st = b.program->st;
    st.ExtensionFlag = 1;
    st.ExtensionAngle = 0.01;
    st.RefToAntenna = 1;
    int i = 0;
    for (auto _ : state) {
        st.CalIndex = i;
        st.freq = st.start_freq + st.delta_freq * i;
        st.RsRaw = 70 + (i & 63);
        st.XsRaw = 10;
        vna::measure::ApplyCorr(*b.program);
        benchmark::DoNotOptimize(b.program->point.zmag);
        i = (i + 1) % 30000;
    }
}
BENCHMARK(CorrectOnePoint)->Unit(benchmark::kNanosecond);

static void InterpolateAndCorrectOneFrequency(benchmark::State& state) {
    Bench b;
    b.customCal(30012);
    vna::core::AppState& st = b.program->st;
    st.RsRaw = 75;
    st.XsRaw = 12;
    double f = 0.3;
    for (auto _ : state) {
        st.freq = f;
        vna::measure::InterpolateAtFreq(*b.program);
        benchmark::DoNotOptimize(b.program->point.rs);
        f = f > 179 ? 0.3 : f + 0.7311;
    }
}
BENCHMARK(InterpolateAndCorrectOneFrequency)->Unit(benchmark::kNanosecond);

static void WriteLargestCalFile(benchmark::State& state) {
    Bench b;
    b.customCal(30012);
    const std::string path = b.folder + "big.acal";
    for (auto _ : state) {
        if (!vna::cal::WriteCalFile(*b.program, path)) {
            state.SkipWithError("not written");
        }
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(WriteLargestCalFile)->Unit(benchmark::kMillisecond);

static void LoadLargestCalFile(benchmark::State& state) {
    Bench b;
    b.customCal(30012);
    const std::string path = b.folder + "big.acal";
    vna::cal::WriteCalFile(*b.program, path);
    b.grid(30000);
    vna::core::AppState& st = b.program->st;
    for (auto _ : state) {
        st.cal_file = path;
        vna::cal::LoadCalFile(*b.program, 0);
        if (st.LastError != 0) {
            state.SkipWithError("not loaded");
        }
    }
}
BENCHMARK(LoadLargestCalFile)->Unit(benchmark::kMillisecond);
