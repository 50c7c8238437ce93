#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/clock.h"

namespace vna::core {
struct Program;
}

// The unit's date code: four flash words written once, when the unit is first identified, and
// read at every start as the instrument's ID.
namespace vna::instrument {

using DateCode = std::array<std::uint16_t, 4>;

// Word 3: the low 16 bits of words 0..2, 4660 (0x1234) instead of 0.
std::uint16_t DateCodeChecksum(const DateCode& words);
bool DateCodeValid(const DateCode& words);
bool DateCodeErased(const DateCode& words);
// The date code of a moment: (yy, MM), (dd, hh), (mm, ss), each plus 1, and the checksum.
DateCode DateCodeOf(const platform::LocalTime& t);
// The ID a date code stands for: yyMMddhhmmss.
std::string DateCodeId(const DateCode& words);

// Reads the date code ("ZR"); a valid one becomes `instrument_id`. A missing one is programmed
// ("ZW") from the present date and time, after asking when the flash holds something else. On a
// communication failure (27 read, 29 write) shows "Comm Error Reading Date Code = " + code.
void ReadDateCode(core::Program& p);

} // namespace vna::instrument
