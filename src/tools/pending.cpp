#include "tools/pending.h"

namespace vna::tools {

void DistanceToFault(core::Program&) {}

void MeasureCrystal(core::Program&) {}

void QuarterWaveStub(core::Program&) {}

void QMeasurement(core::Program&) {}

void TdrCommand(core::Program&, int) {}

void TdrScalesDialog(core::Program&) {}

void LoadTdrGraphCommand(core::Program&) {}

void SaveTdrGraphCommand(core::Program&) {}

} // namespace vna::tools
