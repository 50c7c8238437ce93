#pragma once

// The program with the real clock and the Qt serial adapter, for the tests of the link over a real
// pseudo-terminal.

#include <QCoreApplication>
#include <memory>

#include "core/program.h"
#include "platform/fake/memory_registry.h"
#include "platform/fake/recording_sound.h"
#include "platform/fake/scripted_ui.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/system_clock.h"
#include "support/test_rig.h"

namespace vna::test {

inline void EnsureQtApplication() {
    static int argc = 1;
    static char name[] = "link_e2e_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

// The program with the real clock and the Qt serial adapter.
struct LinkRig {
    LinkRig() {
        EnsureQtApplication();
        program = std::make_unique<core::Program>(core::Platform{ui, clock, serial, registry, sound});
        program->st.ProgramFolder = dir.folder();
        core::ResetToDefaults(program->st, 2026, 12, 7);
    }
    platform::fake::ScriptedUi ui;
    platform::SystemClock clock;
    platform::qt::QtSerialPort serial;
    platform::fake::MemoryRegistry registry;
    platform::fake::RecordingSound sound;
    test::TempDir dir;
    std::unique_ptr<core::Program> program;
    core::Program& p() { return *program; }
    core::AppState& st() { return program->st; }
};

} // namespace vna::test
