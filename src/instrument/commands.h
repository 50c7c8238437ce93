#pragma once

#include <cstdint>
#include <string>

namespace vna::core {
struct AppState;
struct Program;
} // namespace vna::core

// The instrument's set-up commands: frequency, averaging, amplitude, relays, gains, auto power-off,
// expansion port, sweep start and sync pulse. Without an instrument every one of them only keeps
// its setting and sends nothing.
namespace vna::instrument {

// The frequency offset that keeps a measured point off the DDS spurs near 50, 80 and 100 MHz
// (below 120 MHz) and 125, 150, 160 and 200 MHz (above): within 10 kHz of such a centre the point
// moves 10 kHz away from it, down when at or below the centre, up when above. Only while
// `Measuring`; 0 otherwise.
double SpurNudge(const core::AppState& st, double f);
// The 32-bit DDS tuning word for f + nudge MHz: the integer nearest to x + 0.5 (ties to even) for
// x = 2^32 * (f + nudge) * freq_comp / osc_freq; in practice the smallest integer not below x.
std::uint32_t TuningWord(const core::AppState& st, double f, double nudge);
// The tuning word of f with the spur nudge that applies at this moment.
std::uint32_t TuningWord(const core::AppState& st, double f);
// The tuning word of f MHz already compensated (the frequency correction is not applied again).
std::uint32_t TuningWordCompensated(const core::AppState& st, double f);

// "G": sets the source to f MHz (nudge 0) without a reading.
void SetFrequency(core::Program& p, double f);
// "J": n readings per point. `average` keeps n (1 for n <= 0); `LastError` becomes 0. (The
// status panel shows the change when measure::ApplyAveraging makes it.)
void SetAveraging(core::Program& p, int n);
// "J" for a temporary change within one point (low-frequency averaging): no status refresh, and
// `LastError` is left alone so that the point's own error survives the restore.
void SendAveragingCode(core::Program& p, int n);
// "M": the source amplitude in percent; sent only when it differs from the last one sent.
void SetAmplitude(core::Program& p, double percent);
// "K": mode 0 both relay bits off, 3 both on, 1 or 2 set that bit (set bits stay set); then the
// second relay bank, with the source parked at `parkFreq` in low-current mode.
void SetRelays(core::Program& p, int mode);
// "K" of the second relay bank with n (0..3), as the constant-frequency window uses it.
void SetRelayBank2(core::Program& p, int n);
// "A": gains and sensitivities of both ports.
void SendGains(core::Program& p);
// "D1"/"D0" from `autopoweroff`; a positive `LastError` is cleared first.
void SetAutoPowerOff(core::Program& p);
// The menu toggle: flips `autopoweroff`, makes low-current mode its opposite, sends it.
void ToggleAutoPowerOff(core::Program& p);
// "L": writes the expansion-port registers (register 1 = MUX channel, bit 0x80 for the analog
// input) and reads the 2-byte reply into `ExpansionValue`. False (with the " Expansion Port Data
// Error" message, `LastError` 10) when the instrument did not answer.
bool ReadExpansionPort(core::Program& p);
// Selects a MUX channel (0 = none) and sends the expansion-port command.
bool SetExpansionPort(core::Program& p, int channel);
// The expansion-port value as the MUX dialog shows it: volts with the analog input, else hex.
std::string ExpansionValueText(const core::AppState& st);
// "Y" + the sweep start code, before every Port A and Port B sweep.
void SendSweepStart(core::Program& p);
// "Z2" sync pulse, only when the instrument supports it.
void SendSyncPulse(core::Program& p);

// Low-current mode is kept as its inverse in the settings.
bool LowPwrMode(const core::AppState& st);

} // namespace vna::instrument
