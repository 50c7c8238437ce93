#pragma once

#include <functional>

namespace vna::core {
struct Program;
}

// The Port A (reflection) and Port B (transmission) sweeps: one reading per point of the scan
// grid, corrected, drawn as it arrives and stored in the scan arrays; or, with `live_scan` 0, a
// replay of the stored arrays without the instrument.
namespace vna::measure {

// The largest step of a sweep (MHz).
inline constexpr double MaxSweepStep = 10;

// The setting guard run before every sweep: reference impedance 1..10000 ohm (else 50 + j0),
// `trend` 0..20, `average` 0..256, `DDSdelay` 0..31, a usable span (else 1 to 21 MHz in
// 0.25 MHz steps) and a step of at most 10 MHz.
void checkSweepSettings(core::Program& p);

// One Port A sweep over the present grid, live or replayed (`live_scan`). `pointLimit` > 0 ends
// it after that many points (a headless sweep stops at its own stop frequency rather than at the
// right edge of the graph). The sweep ends at the last point, when the user clears `SweepRunning`
// (a key or a click), at an instrument error (left in `LastError`; the points measured before it
// are kept) or when the reference signal is missing. A replay draws the stored scan at once,
// without looking at window messages, and leaves its number of points as it was. Returns the
// number of points a live sweep measured and stored (0 for a replay).
int sweepPortA(core::Program& p, int pointLimit = 0);

// One Port B sweep over the present grid, live or replayed, with autoranging of the receiver,
// automatic averaging, group delay and, when its traces are on, S11 and the insertion loss.
// `average` and `trend` are the user's again afterwards. Returns the number of points a live sweep
// measured and stored (0 for a replay).
// `adjust`, when given, changes each live point's S21 (dB) and phase (radians) after the smoothing
// and before the point is drawn and stored: the array scan makes them relative to MUX channel 1
// there. The group delay is still that of the channel's own phase.
using PointAdjust = std::function<void(int i, double& s21db, double& phase)>;
int sweepPortB(core::Program& p, int pointLimit = 0, const PointAdjust& adjust = {});

// One Port B point at `freq`, as a sweep measures it, for a host program: the receiver starts at
// its lowest range and is brought into its good range (autoranging is on outside diagnostic
// mode). Gives S21 in dB and its phase in radians, corrected with the through-cable data when
// `corrected` (else the plain ratio less the receiver's gain, and the raw phase difference).
// False when a reading failed or the signal overloads even the lowest range (`LastError`).
bool MeasureS21Point(core::Program& p, bool corrected, double& s21db, double& phase);

// The sweep of the active port.
int SweepActivePort(core::Program& p, int pointLimit = 0);

// The first of the `points` stored points of port 'a' or 'b' whose results are not all numbers
// (an infinity or a NaN from a setting no reading can be corrected with); -1 when every one is.
int FirstPointNotANumber(const core::Program& p, char port, int points);

} // namespace vna::measure
