#include "measure/pending.h"

namespace vna::measure {

void PointDataAB(core::Program&) {}

void DspFilterRescan(core::Program&, int) {}

void PhaseOffsetCommand(core::Program&, int) {}

void PlotMagRef(core::Program&) {}

void MultiChannelCommand(core::Program&, int) {}

} // namespace vna::measure
