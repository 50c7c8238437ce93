// Cost of the settings files that every start reads (init file, config file) and every exit
// writes (init file). Target: well under a millisecond each, so that they never show in the
// start-up time.

#include <benchmark/benchmark.h>
#include <filesystem>
#include <memory>
#include <string>

#include "core/atomic_file.h"
#include "core/program.h"
#include "files/config_file.h"
#include "files/default_config.h"
#include "files/init_file.h"
#include "platform/fake/fake_clock.h"
#include "platform/fake/memory_registry.h"
#include "platform/fake/recording_sound.h"
#include "platform/fake/scripted_ui.h"
#include "platform/fake/silent_serial_port.h"

namespace {

struct Bench {
    Bench() {
        folder = (std::filesystem::temp_directory_path() / "vna-settings-bench").string() + "/";
        std::filesystem::create_directories(folder);
        program =
            std::make_unique<vna::core::Program>(vna::core::Platform{ui, clock, serial, registry, sound});
        program->st.ProgramFolder = folder;
        vna::core::ResetToDefaults(program->st, 2026, 12, 7);
    }
    ~Bench() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
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

static void InitFileText(benchmark::State& state) {
    Bench b;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vna::files::InitFileText(*b.program, 0));
    }
}
BENCHMARK(InitFileText)->Unit(benchmark::kMicrosecond);

static void ReadInitFile(benchmark::State& state) {
    Bench b;
    vna::files::WriteInitFile(*b.program);
    for (auto _ : state) {
        vna::files::ReadInitFile(*b.program);
    }
}
BENCHMARK(ReadInitFile)->Unit(benchmark::kMicrosecond);

static void ReadDefaultConfigFile(benchmark::State& state) {
    Bench b;
    vna::files::InstallDefaultConfig(*b.program);
    for (auto _ : state) {
        b.program->st.config_file = vna::files::DefaultConfigName;
        vna::files::ReadConfigFile(*b.program, 0);
    }
    if (!b.program->st.ConfigLoaded) {
        state.SkipWithError("the default config was not read");
    }
}
BENCHMARK(ReadDefaultConfigFile)->Unit(benchmark::kMicrosecond);
