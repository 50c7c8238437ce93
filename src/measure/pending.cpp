#include "measure/pending.h"

#include "core/delay.h"

namespace vna::measure {

void PointDataAB(core::Program& p) {
    core::NotAvailableYet(p, "Point data of Ports A and B");
}

} // namespace vna::measure
