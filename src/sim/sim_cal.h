#pragma once

#include <string>

#include "platform/clock.h"

namespace vna::core {
struct CalTable;
}

namespace vna::cal {}

// The cal file the simulated unit's own standards produce: what a calibration of the unit would
// measure on a short, an open and a 50 ohm resistor at every point of the standard grid (and on a
// through cable at Port B), without the noise of a reading.
namespace vna::sim {

class Instrument;

// The ID the program reads from the unit: the date code in its flash (programmed from `now` when
// the flash holds none, as the program's identification would), or " " + serial number for a
// unit without flash.
std::string UnitInstrumentId(Instrument& unit, const platform::LocalTime& now);

// Fills `t` with the unit's standards on the standard grid up to `maximumFreq` and its Port B
// through-cable table.
void FillUnitCalTable(core::CalTable& t, const Instrument& unit, const std::string& instrumentId,
                      double maximumFreq);

// Writes the unit's cal file through the program's own cal file writer. False (with a reason in
// `error`) when the file could not be written.
bool WriteUnitCalFile(Instrument& unit, const std::string& path, const platform::LocalTime& now,
                      std::string* error = nullptr);

} // namespace vna::sim
