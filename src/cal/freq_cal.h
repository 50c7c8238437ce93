#pragma once

#include <string>
#include <vector>

namespace vna::core {
struct Program;
}

// The frequency calibration of the DDS clock and the constant-frequency window it is made in: the
// instrument puts out a steady carrier, the user tunes it onto a frequency standard and enters the
// standard's frequency; the ratio becomes the tuning-word factor `freq_comp`.
namespace vna::cal {

// A standard further than this from the window's frequency (MHz) is not the one tuned to.
inline constexpr double FreqCalTolerance = 0.002;

// What a button of the window does to the frequency or the source.
struct FrequencyButton {
    enum class Kind { Step, Preset, Amplitude, FreqCal };
    std::string caption;
    Kind kind = Kind::Step;
    double value = 0; // MHz for steps and presets, percent for amplitudes
};
// The buttons in the order the window shows them.
const std::vector<FrequencyButton>& ConstantFrequencyButtons();

// Applies a button (other than Freq Cal) to the window's frequency and source.
void PressFrequencyButton(core::Program& p, const FrequencyButton& b);

// The "Freq Cal" button.
void FrequencyCalibration(core::Program& p);

// The constant-frequency window: shows `freq` and outputs it until Exit.
void ConstantFrequencyWindow(core::Program& p);

} // namespace vna::cal
