#include "instrument/pending.h"

#include "core/delay.h"

namespace vna::instrument {

void WriteControlDataFile(core::Program& p) {
    core::NotAvailableYet(p, "The data file of external control");
}

void VnaTestDialog(core::Program& p) {
    core::NotAvailableYet(p, "The instrument test (VNA Test)");
}

} // namespace vna::instrument
