#pragma once

namespace vna::core {
struct AppState;
struct Program;
} // namespace vna::core

// One measured frequency point: the measure command, the 72-byte raw reading with its checks and
// resends, and the demodulation of the ADC samples into magnitudes and a phase difference.
namespace vna::instrument {

// The readings per point the instrument takes at `freq`: `average`, raised below 0.2 MHz (to 16
// from 0.1 MHz, to 64 below), where the IF period is long against the instrument's sampling.
int ReadingAveraging(const core::AppState& st);
// Measures at `freq` on the port `PortBMode` selects ("T" for Port B, "U" for Port A), with the
// low-frequency averaging raise, then reads, analyses and computes the raw impedance. With
// `frequencyOnly` it only sets the frequency ("G"). Results in `MagLoad`, `MagRef`, `PhaseDiff`,
// `RsRaw`, `XsRaw`, `ReadingValid` and `LastError`.
void MeasurePoint(core::Program& p, bool frequencyOnly = false);
// Reads and checks one raw reading (checksum with up to four "R" resends, overload, echoed
// frequency, reference level). With `resend` it asks for the last reading again first.
void Get_Raw_Data(core::Program& p, bool resend = false);
// Demodulates the 16 samples of each channel (a one-bin DFT at the IF) into `MagLoad`,
// `PhaseLoad`, `MagRef`, `PhaseRef` and `PhaseDiff`. Does nothing for a reading that is not valid.
void AnalyseRaw(core::Program& p);
// A Port A point as the sweep and the calibration take it: not measured at or below 4 kHz (both
// magnitudes 10000 then); `RefRatio` = MagRef * 50 / (MagLoad + 1).
void MeasurePortAPoint(core::Program& p);
// A Port B point: `PortB_on` set, measured, and the same `RefRatio`.
void MeasurePortBPoint(core::Program& p);

} // namespace vna::instrument
