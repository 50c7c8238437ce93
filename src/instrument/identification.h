#pragma once

namespace vna::core {
struct Program;
}

namespace vna::instrument {

// Asks the instrument for its version text; `show` 1 shows the identity.
void VersionQuery(core::Program& p, int show);
// Programs the identity (date code) of an instrument with flash.
void ProgramIdentityData(core::Program& p);
// Checks that the attached instrument is a model this program drives.
void CheckModel(core::Program& p);
// Checks the instrument's firmware version.
void CheckFirmware(core::Program& p);
// Reads the supply voltage and warns when it is out of range.
void CheckSupplyVoltage(core::Program& p);

} // namespace vna::instrument
