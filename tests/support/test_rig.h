#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "core/program.h"
#include "platform/fake/event_log.h"
#include "platform/fake/fake_clock.h"
#include "platform/fake/memory_registry.h"
#include "platform/fake/recording_sound.h"
#include "platform/fake/scripted_ui.h"
#include "platform/fake/silent_serial_port.h"

namespace vna::test {

// A fresh temporary folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // The folder with a trailing separator, as the program keeps folders.
    std::string folder() const { return path_ + "/"; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The program on fakes: scripted Ui, fake clock, a serial port with nothing attached, an
// in-memory registry and a recording sound output, all logging into one ordered event log. The
// program folder is a fresh temporary folder.
struct TestRig {
    TestRig();

    platform::fake::EventLog log;
    platform::fake::ScriptedUi ui{&log};
    platform::fake::FakeClock clock;
    platform::fake::SilentSerialPort serial{&log};
    platform::fake::MemoryRegistry registry;
    platform::fake::RecordingSound sound;
    TempDir dir;
    std::unique_ptr<core::Program> program;

    core::Program& p() { return *program; }
    core::AppState& st() { return program->st; }
};

// Leaves the settings file of an earlier run (the defaults) in the program folder, so that a
// start-up shows no first-run message. The program's state itself is not changed.
void LeaveSettingsOfAnEarlierRun(core::Program& p);

// Writes a file with the given bytes (for test fixtures).
void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);

} // namespace vna::test
