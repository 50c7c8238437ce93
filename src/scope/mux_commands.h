#pragma once

#include <string>

namespace vna::core {
struct Program;
}

// The MUX by hand: "MUX Control" selects a channel and the expansion port's analog input and
// shows what the port reads; "Clean MUX Contacts 5x" cycles every relay five times.
namespace vna::scope {

// The rounds of the contact cleaning, and how long each channel is held in a round (ms).
inline constexpr int CleaningRounds = 5;
inline constexpr int CleaningHoldMs = 20;

// Reads the channel of the MUX Control dialog: a whole number 0..6 (0: every channel open).
// False, with why in `error`, for anything else.
bool ParseMuxChannel(const std::string& text, int& channel, std::string& error);

// The menu's "MUX Control": a form with the channel (0..6) and the analog-input flag; OK switches
// the MUX and shows the port's reading. A channel out of range is refused and asked again; nothing
// is switched then.
void MuxControl(core::Program& p);

// The menu's "Clean MUX Contacts 5x". Ends with the MUX on channel 1. False when the expansion
// port stopped answering (its message shown).
bool CleanMuxContacts(core::Program& p);

} // namespace vna::scope
