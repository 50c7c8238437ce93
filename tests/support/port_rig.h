#pragma once

#include <memory>

#include "core/program.h"
#include "platform/fake/event_log.h"
#include "platform/fake/fake_clock.h"
#include "platform/fake/memory_registry.h"
#include "platform/fake/recording_sound.h"
#include "platform/fake/scripted_ui.h"
#include "support/test_rig.h"

namespace vna::test {

// The program on fakes, like TestRig, but with a serial port of the test's choice behind it and
// the settings at their defaults (so the sample tables of the reading analysis exist). The main
// window exists, so status lines land on the recording canvas.
template <class Port> struct PortRig {
    template <class... Args> explicit PortRig(Args&&... args) : serial(std::forward<Args>(args)...) {
        program = std::make_unique<core::Program>(core::Platform{ui, clock, serial, registry, sound});
        program->st.ProgramFolder = dir.folder();
        core::ResetToDefaults(program->st, 2026, 12, 7);
        ui.createMainWindow(0, 0, 1000, 700);
    }

    platform::fake::EventLog log;
    platform::fake::ScriptedUi ui{&log};
    platform::fake::FakeClock clock;
    Port serial;
    platform::fake::MemoryRegistry registry;
    platform::fake::RecordingSound sound;
    TempDir dir;
    std::unique_ptr<core::Program> program;

    core::Program& p() { return *program; }
    core::AppState& st() { return program->st; }
    // Every text printed on the main window, in order.
    std::vector<std::string> texts() { return ui.canvas()->texts(); }
    bool printed(const std::string& prefix) {
        for (const auto& t : texts()) {
            if (t.rfind(prefix, 0) == 0) {
                return true;
            }
        }
        return false;
    }
};

} // namespace vna::test
