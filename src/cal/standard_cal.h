#pragma once

#include <string>
#include <vector>

namespace vna::core {
struct Program;
}

// The standard calibration of Port A: a short circuit, an open circuit and a standard resistor
// measured over the standard grid, with plausibility checks of each standard.
namespace vna::cal {

// The frequencies of the standard grid up to the instrument's range: 5 kHz steps to 0.1 MHz, then
// 0.2 MHz steps while the frequency stays below the rounded range + 0.2001 MHz.
std::vector<double> StandardCalGrid(double maximumFreq);

// The limits of the plausibility checks: the short's |MagRef / MagLoad| times the sensitivity code
// at 1 MHz, the open's at 0.2 MHz, and the resistor's relative error at 1 MHz.
inline constexpr double ShortRatioMin = 1.75;
inline constexpr double ShortRatioMax = 3.25;
inline constexpr double OpenRatioMin = 100;
inline constexpr double ResistorTolerance = 0.25;

// The apparent value of the standard resistor: 50 (MagLoad of the short / MagLoad - 1), the bridge
// seeing the short and the resistor through its 50 ohm arm.
double ApparentResistor(double shortMagLoad, double magLoad);

// The menu's "Standard Cal". True when a new cal file was written.
bool Cal_A(core::Program& p);

// The question at the end of a calibration; saves the cal file and the init file when the user
// wants it. True when the cal file was written. `portB` names Port B in the title.
bool SaveCalPrompt(core::Program& p, bool portB);

// The reference check at 0.1 MHz before a calibration measures: a reading whose reference channel
// is missing asks whether to cancel (LastError 12680), try again or continue. `expected` is the
// impedance (ohms, as text) the attached standard should show.
void CalReferenceCheck(core::Program& p, const std::string& expected);

} // namespace vna::cal
