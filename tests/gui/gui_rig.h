#pragma once

#include <QApplication>
#include <QImage>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "commands/startup.h"
#include "core/program.h"
#include "files/init_file.h"
#include "platform/fake/fake_clock.h"
#include "platform/fake/memory_registry.h"
#include "platform/fake/recording_sound.h"
#include "platform/fake/silent_serial_port.h"
#include "platform/qt/qt_ui.h"
#include "support/test_rig.h"

namespace vna::test {

// The program on the real Qt main window (offscreen), with the fakes behind the other ports and
// `Serial` behind the serial port.
template <class Serial> struct GuiRigOn {
    template <class... SerialArgs>
    explicit GuiRigOn(SerialArgs&&... args) : serial(std::forward<SerialArgs>(args)...) {
        program = std::make_unique<core::Program>(core::Platform{ui, clock, serial, registry, sound});
        program->st.ProgramFolder = dir.folder();
    }
    ~GuiRigOn() {
        ui.closeMainWindow();
        QApplication::processEvents();
    }

    // Start-up without an instrument, to the main loop. The settings file of an earlier run is
    // left in the data folder first, so no first-run message box stops the start-up.
    void StartDemo() {
        core::ResetToDefaults(program->st, 2024, 1, 1);
        files::WriteInitFile(*program);
        commands::Startup(*program, core::ParseStartOptions({"vna", "--demo", "--data-dir", dir.path()}));
        Pump();
    }
    // Start-up with the instrument on the serial port and `cal` loaded, to the main loop.
    void StartWithInstrument(const std::string& cal, const std::vector<std::string>& more = {}) {
        core::ResetToDefaults(program->st, 2024, 1, 1);
        files::WriteInitFile(*program);
        std::vector<std::string> args = {"vna", "--data-dir", dir.path(), "--serial", "unit", "--cal", cal};
        args.insert(args.end(), more.begin(), more.end());
        commands::Startup(*program, core::ParseStartOptions(args));
        Pump();
    }
    void Pump() {
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
        }
    }

    core::Program& p() { return *program; }
    core::AppState& st() { return program->st; }
    platform::qt::MainWindow& window() { return *ui.mainWindow(); }
    const QImage& image() { return window().canvas().image(); }

    platform::qt::QtUi ui;
    platform::fake::FakeClock clock;
    Serial serial;
    platform::fake::MemoryRegistry registry;
    platform::fake::RecordingSound sound;
    TempDir dir;
    std::unique_ptr<core::Program> program;
};

using GuiRig = GuiRigOn<platform::fake::SilentSerialPort>;

} // namespace vna::test
