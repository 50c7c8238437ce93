#pragma once

namespace vna::core {
struct Program;
}

namespace vna::instrument {

// Opens the port, identifies the instrument and negotiates the line speed; leaves
// `LastError` nonzero when no instrument answered.
void ConnectInstrument(core::Program& p);
// Closes the serial port.
void ClosePort(core::Program& p);

} // namespace vna::instrument
