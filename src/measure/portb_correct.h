#pragma once

namespace vna::core {
struct CalTable;
struct Program;
struct AppState;
} // namespace vna::core

// The correction of a Port B reading with the through-cable data of the Port B calibration.
namespace vna::measure {

// What the correction made of one reading.
struct PortBCorrection {
    double ratio = 0;        // Port B channel / reference, divided by the through-cable ratio
    double phase = 0;        // radians, the through-cable phase and the receiver offsets removed
    bool calibrated = false; // the through-cable data was used (false: raw values passed through)
};

// The grid segment a Port B cal frequency belongs to: 1 for the 5 kHz steps up to 0.1 MHz, 2 for
// the 0.2 MHz steps up to 0.8 MHz, 3 for the 1 MHz steps above.
int PortBSegment(double freq);

// Corrects the last Port B reading (`PhaseDiff`, and `ratio` = `MagLoad` / `MagRef`) at `freq`:
// interpolates the through-cable ratio and phase of the present sensitivity between the two cal
// points around `freq` (never across a change of the grid step), removes the electrical delay
// `PortB_Delay`, the user's `PortB_PhaseOffset` and the receiver's phase offset (the offset of
// the gain step, or with `autorange` the offset the range changes of the sweep collected), and
// keeps the phase from flipping between
// +pi and -pi. Leaves the phase in p.point.zphase. With `RawMode`, or when `freq` lies outside the
// table (reported on the status line), the raw values pass through.
PortBCorrection PortBCorrect(core::Program& p, double ratio);

// The phase offset of a gain step (radians): the settings Rng1..Rng5.
double GainStepPhase(const core::AppState& st, int gain);
void SetGainStepPhase(core::AppState& st, int gain, double radians);

} // namespace vna::measure
