#pragma once

#include <array>
#include <string>
#include <vector>

namespace vna::core {
struct Program;
struct AppState;
} // namespace vna::core

// The Port B calibration: the through cable from Port A to Port B measured in both sensitivity
// ranges over the Port B grid, and the phase each receiver gain step adds.
namespace vna::cal {

// One frequency of the Port B grid and the segment of the grid it lies in (1: 5 kHz steps up to
// 0.1 MHz, 2: 0.2 MHz steps up to 0.8 MHz, 3: 1 MHz steps), so the correction never interpolates
// across a change of step.
struct PortBGridPoint {
    double freq = 0;
    int tag = 0;
};
// The grid up to the instrument's range + 2 MHz.
std::vector<PortBGridPoint> PortBCalGrid(double maximumFreq);

// The receiver level of each gain step (dB, index 1..5) that the calibration puts in force.
inline constexpr std::array<double, 6> CalGainStepDb = {0, 0, 13.7, 27.3, 41.2, 53.8};
// The phases of gain steps 4 and 5 cannot be measured against the through cable (the signal is
// too strong for them even at the lowest amplitude the source gives cleanly), so they are taken
// as the amplifiers' known steps above step 3 (degrees).
inline constexpr double Step4AboveStep3Deg = 3.8;
inline constexpr double Step5AboveStep4Deg = 0.5;
// Source amplitudes (percent) of the two gain-step phase readings: gains 1 and 2 at 20 %, gains
// 2 and 3 at 4 %, so that the higher gain stays inside the converter's range.
inline constexpr double GainPhaseAmplitude12 = 20;
inline constexpr double GainPhaseAmplitude23 = 4;
// The high-sensitivity pass runs at a quarter of the amplitude of the first: the range adds
// 12.1 dB, a factor of four, which keeps the through cable's level where it was.
inline constexpr double HighRangeAmplitudeFactor = 0.25;
// At the tenth point a through cable shows a ratio near 1; below this it is not connected.
inline constexpr double ThroughRatioMin = 0.05;
inline constexpr int ThroughCheckPoint = 10;

// The phase of the through cable kept continuous over the grid: each wrap from about -pi to about
// +pi between successive points adds -2 pi to the running offset. A change of sign near zero is
// no wrap (noise at the lowest frequencies would otherwise shift the whole table by a turn).
class PhaseUnwrapper {
public:
    double next(double phase);

private:
    bool first_ = true;
    double previous_ = 0;
    double offset_ = 0;
};

// How a Port B calibration is run.
struct PortBCalOptions {
    // Started from the menu: needs a valid Port A cal and writes the cal file at the end.
    bool alone = false;
    // MUX channel being calibrated by the multichannel cal (0: none).
    int channel = 0;
    // Whether the procedure asks for the cable itself (the multichannel cal asks for channels 2
    // to 6 before it starts the procedure).
    bool prompt = true;
};

// The menu's "Port B Cal" (`alone` 1), or the Port B part of another calibration (`alone` 0).
// True when Port B was calibrated; the new table replaces the Port B data in force only then.
bool PortBCal(core::Program& p, int alone);
bool RunPortBCal(core::Program& p, const PortBCalOptions& options);

} // namespace vna::cal
