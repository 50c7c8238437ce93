#pragma once

namespace vna::core {
struct Program;
}

// Changing the source amplitude spoils the calibration made at another amplitude; these two
// commands say so before they change it.
namespace vna::cal {

// A change of more than this (percent of the present amplitude) asks for a recalibration.
inline constexpr double AmplitudeChangeThreshold = 5;
// The lowest amplitude the source gives cleanly (percent).
inline constexpr double MinimumAmplitude = 5;

// Sets the amplitude to `percent`; a change of more than the threshold first asks whether the
// calibration of the port in use is to be marked as needing a new one.
void AmplitudeCheck(core::Program& p, double percent);

// The amplitude entry: a warning, then the value dialog (values below 5 percent become 5).
void EnterAmplitude(core::Program& p);

} // namespace vna::cal
