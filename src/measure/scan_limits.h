#pragma once

namespace vna::core {
struct Program;
}

namespace vna::measure {

// Defines the scan-limits dialog.
void SetupScanLimitsDialog(core::Program& p);
// Checks the scan limits against the instrument and the calibration.
void CheckScanLimits(core::Program& p);

} // namespace vna::measure
