#include "tools/pending.h"

#include "core/delay.h"

namespace vna::tools {

void MeasureCrystal(core::Program& p) {
    core::NotAvailableYet(p, "The crystal measurement");
}

void QMeasurement(core::Program& p) {
    core::NotAvailableYet(p, "The Q measurement");
}

} // namespace vna::tools
