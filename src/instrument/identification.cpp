#include "instrument/identification.h"

#include "core/program.h"

namespace vna::instrument {

void VersionQuery(core::Program& p, int show) {
    (void)p;
    (void)show;
}

void ProgramIdentityData(core::Program& p) {
    (void)p;
}

void CheckModel(core::Program& p) {
    (void)p;
}

void CheckFirmware(core::Program& p) {
    (void)p;
}

void CheckSupplyVoltage(core::Program& p) {
    (void)p;
}

} // namespace vna::instrument
