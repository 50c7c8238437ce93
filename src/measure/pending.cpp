#include "measure/pending.h"

namespace vna::measure {

void PointDataCommand(core::Program&) {}

void PointDataAB(core::Program&) {}

void BandScanCommand(core::Program&, int) {}

void DspFilterRescan(core::Program&, int) {}

void PhaseOffsetCommand(core::Program&, int) {}

void DelayOffsetDialog(core::Program&) {}

void DelaySmoothingDialog(core::Program&) {}

void PlotMagRef(core::Program&) {}

void TemperatureCompDialog(core::Program&) {}

void MultiChannelCommand(core::Program&, int) {}

void SelectBand(core::Program&, int) {}

} // namespace vna::measure
