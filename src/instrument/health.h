#pragma once

namespace vna::core {
struct Program;
}

// The instrument's health: board temperature, DC supply voltage with its limits, and the user's
// power-off command.
namespace vna::instrument {

// The smoothed board temperature in degF ("ZT"): a jump of 2 degF or more is taken at once,
// smaller changes move the value by a tenth. 88.88 without a sensor or an instrument.
double ReadTemperature(core::Program& p);
// Reads the DC supply ("B") into `SupplyVolts`. Above 16 V the instrument is switched off (and no
// longer present); a
// lowest reading below 9.8 V stops measuring (with `LowVoltGuard`, except on the battery model
// "5000"). `LastError` 0 when the supply is fine, 17 after a limit, 10 without an answer.
void CheckSupply(core::Program& p);
// The user's "DC Power Off" command: asks, then switches the instrument off; it is no longer
// present until the port is entered again.
void PowerOff(core::Program& p);
// The low-battery indicator of the status area.
void BatteryIndicator(core::Program& p);

} // namespace vna::instrument
