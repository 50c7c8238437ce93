#pragma once

#include <string>
#include <vector>

namespace vna::core {
struct Program;
}

// "VNA Test": a check of the instrument's own health, part by part, each against stated limits:
// the reference amplitude and the converter levels of both ports, the Port B gain and sensitivity
// steps against their nominal dB values, the relays, the board temperature, the DC supply and the
// date code in flash. The Port B checks need a signal at Port B: a 30..50 dB attenuator from the
// RF output to Port B (40 dB is best).
namespace vna::instrument {

struct TestCheck {
    std::string name;
    std::string measured;
    std::string limits;
    bool pass = false;
};

struct TestReport {
    std::vector<std::string> head; // unit, time, set-up
    std::vector<TestCheck> checks;
    int failed() const;
    bool passed() const { return !checks.empty() && failed() == 0; }
    // The report as text: the head, one aligned line per check, and the verdict.
    std::vector<std::string> lines() const;
};

// The Port B gain steps' nominal gains (dB) by `PortB_Gain` 1..5, and the high sensitivity's.
inline constexpr double NominalGainStepDb[5] = {0, 14, 28, 42, 54};
inline constexpr double NominalHighSensitivityDb = 12;
// How far a step may lie from its nominal gain (dB).
inline constexpr double GainStepToleranceDb = 1.5;

// Runs every check on the instrument. The settings it changes for the test (averaging, amplitude,
// gains, relays, frequency) are put back afterwards. Needs the instrument (no check runs in demo
// mode; the report then says so).
TestReport RunVnaTest(core::Program& p);

// The menu command: says what to connect, runs the test, shows the report and its verdict and
// offers to save it as a text file.
void VnaTestDialog(core::Program& p);

} // namespace vna::instrument
