#include "measure/pending.h"

#include "core/delay.h"

namespace vna::measure {

void PointDataAB(core::Program& p) {
    core::NotAvailableYet(p, "Point data of Ports A and B");
}

void DspFilterRescan(core::Program& p, int) {
    core::NotAvailableYet(p, "The DSP filter rescan");
}

} // namespace vna::measure
