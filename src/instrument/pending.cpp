#include "instrument/pending.h"

#include "core/delay.h"

namespace vna::instrument {

void VnaTestDialog(core::Program& p) {
    core::NotAvailableYet(p, "The instrument test (VNA Test)");
}

} // namespace vna::instrument
