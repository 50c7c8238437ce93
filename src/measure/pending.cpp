#include "measure/pending.h"

#include "core/delay.h"

namespace vna::measure {

void DspFilterRescan(core::Program& p, int) {
    core::NotAvailableYet(p, "The DSP filter rescan");
}

void PhaseOffsetCommand(core::Program& p, int) {
    core::NotAvailableYet(p, "The Port B phase offset");
}

void PlotMagRef(core::Program& p) {
    core::NotAvailableYet(p, "The MagRef plot");
}

void MultiChannelCommand(core::Program& p, int) {
    core::NotAvailableYet(p, "Multichannel operation (vector scope, MUX control, channel scan)");
}

} // namespace vna::measure
