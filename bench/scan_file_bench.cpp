// Saving and loading a 30 000-point scan file, each held against its limit of 100 ms: the save as
// the program does it at exit (text, temporary file, rename, reopening check) and the load from the
// file to the replayed arrays. The CSV and Touchstone exports of the save command are measured
// beside them.

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "commands/scan_commands.h"
#include "core/program.h"
#include "files/csv_export.h"
#include "files/scan_file.h"
#include "files/touchstone.h"
#include "measure/scan_replay.h"
#include "platform/fake/fake_clock.h"
#include "platform/fake/memory_registry.h"
#include "platform/fake/recording_sound.h"
#include "platform/fake/scripted_ui.h"
#include "platform/fake/silent_serial_port.h"

namespace {

using namespace vna;

constexpr int Points = 30000;

struct Bench {
    Bench() {
        folder = (std::filesystem::temp_directory_path() / "vna-scan-file-bench").string() + "/";
        std::filesystem::create_directories(folder);
        p = std::make_unique<core::Program>(core::Platform{ui, clock, serial, registry, sound});
        core::AppState& st = p->st;
        core::ResetToDefaults(st, 2026, 12, 7);
        st.ProgramFolder = folder;
        st.start_freq = 1;
        st.delta_freq = 0.005;
        st.end_freq = 1 + 0.005 * (Points - 1);
        st.scan_points = Points;
        st.trend = 2;
        // A resonant antenna: every value has a full set of digits.
        for (std::size_t k = 0; k < Points; ++k) {
            const double f = 1 + 0.005 * static_cast<double>(k);
            const double r = 30 + 0.3 * f;
            const double x = 8 * (f - 75) + 1000 / f;
            p->scan.raw_zmag[k] = std::hypot(r, x);
            p->scan.raw_phase[k] = std::atan2(x, r);
            p->scan.s21_db[k] = -0.5 - 1e-3 * (f - 75) * (f - 75);
            p->scan.s21_phase[k] = std::remainder(-0.02 * f, 2 * M_PI);
            p->scan.s11_db[k] = -20 + 0.1 * f;
            p->scan.s11_phase[k] = 0.01 * f;
        }
        st.last_scan_index = Points - 1;
        measure::ReplayScanA(*p);
        measure::ReplayScanB(*p);
        files::RecordLiveScanA(*p, 0);
        files::RecordLiveScanB(*p, 0);
    }
    ~Bench() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    std::string folder;
    platform::fake::ScriptedUi ui;
    platform::fake::FakeClock clock;
    platform::fake::SilentSerialPort serial;
    platform::fake::MemoryRegistry registry;
    platform::fake::RecordingSound sound;
    std::unique_ptr<core::Program> p;
};

void BM_SaveScanFile30000(benchmark::State& state) {
    Bench b;
    for (auto _ : state) {
        b.p->st.ScanFileMode = 1;
        if (!commands::SaveScanA(*b.p)) {
            state.SkipWithError("the scan file was not saved");
        }
    }
    state.counters["limit_ms"] = 100;
    state.counters["bytes"] =
        static_cast<double>(std::filesystem::file_size(files::LastGraphPathA(b.p->st, "")));
}
BENCHMARK(BM_SaveScanFile30000)->Unit(benchmark::kMillisecond);

void BM_LoadScanFile30000(benchmark::State& state) {
    Bench b;
    b.p->st.ScanFileMode = 1;
    commands::SaveScanA(*b.p);
    const std::string path = files::LastGraphPathA(b.p->st, "");
    for (auto _ : state) {
        if (!commands::LoadScanFileA(*b.p, path) || b.p->st.last_scan_index != Points - 1) {
            state.SkipWithError("the scan file was not loaded");
        }
    }
    state.counters["limit_ms"] = 100;
}
BENCHMARK(BM_LoadScanFile30000)->Unit(benchmark::kMillisecond);

void BM_SavePortBScanFile30000(benchmark::State& state) {
    Bench b;
    for (auto _ : state) {
        b.p->st.ScanFileMode = 1;
        if (!commands::SaveScanB(*b.p)) {
            state.SkipWithError("the scan file was not saved");
        }
    }
    state.counters["limit_ms"] = 100;
    state.counters["bytes"] =
        static_cast<double>(std::filesystem::file_size(files::LastGraphPathB(b.p->st, "")));
}
BENCHMARK(BM_SavePortBScanFile30000)->Unit(benchmark::kMillisecond);

void BM_LoadPortBScanFile30000(benchmark::State& state) {
    Bench b;
    b.p->st.ScanFileMode = 1;
    commands::SaveScanB(*b.p);
    const std::string path = files::LastGraphPathB(b.p->st, "");
    for (auto _ : state) {
        if (!commands::LoadScanFileB(*b.p, path)) {
            state.SkipWithError("the scan file was not loaded");
        }
    }
    state.counters["limit_ms"] = 100;
}
BENCHMARK(BM_LoadPortBScanFile30000)->Unit(benchmark::kMillisecond);

void BM_CsvExport30000(benchmark::State& state) {
    Bench b;
    for (auto _ : state) {
        benchmark::DoNotOptimize(files::CsvTextA(*b.p, b.clock.now()));
    }
}
BENCHMARK(BM_CsvExport30000)->Unit(benchmark::kMillisecond);

void BM_TouchstoneExport30000(benchmark::State& state) {
    Bench b;
    for (auto _ : state) {
        benchmark::DoNotOptimize(files::TouchstoneTextA(*b.p, files::TouchstoneFormat::RI));
    }
}
BENCHMARK(BM_TouchstoneExport30000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
