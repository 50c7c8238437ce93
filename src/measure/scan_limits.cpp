#include "measure/scan_limits.h"

#include "core/program.h"

namespace vna::measure {

void SetupScanLimitsDialog(core::Program& p) {
    (void)p;
}

void CheckScanLimits(core::Program& p) {
    (void)p;
}

} // namespace vna::measure
