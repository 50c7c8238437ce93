#pragma once

namespace vna::core {
struct Program;
}

namespace vna::instrument {

// Switches the RF ports: 0 off, otherwise the port selector of the instrument.
void SwitchPorts(core::Program& p, int selector);
// Sets the expansion port (MUX channel).
void SetExpansionPort(core::Program& p, int channel);
// Sends `autopoweroff` to the instrument.
void SendAutoPowerOff(core::Program& p);
// Sends the averaging count `average` to the instrument.
void SendAverage(core::Program& p);
// Sends the DDS output amplitude in percent.
void SendAmplitude(core::Program& p, double percent);
// Sends the gain and sensitivity settings of both ports.
void SendGains(core::Program& p);
// Takes one reading at `freq`.
void TakeReading(core::Program& p);

} // namespace vna::instrument
