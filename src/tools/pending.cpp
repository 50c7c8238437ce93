#include "tools/pending.h"

#include "core/delay.h"

namespace vna::tools {

void DistanceToFault(core::Program& p) {
    core::NotAvailableYet(p, "Distance to fault");
}

void QuarterWaveStub(core::Program& p) {
    core::NotAvailableYet(p, "The quarter-wave stub tool");
}

void TdrCommand(core::Program& p, int) {
    core::NotAvailableYet(p, "TDR");
}

void TdrScalesDialog(core::Program& p) {
    core::NotAvailableYet(p, "TDR");
}

void LoadTdrGraphCommand(core::Program& p) {
    core::NotAvailableYet(p, "TDR");
}

void SaveTdrGraphCommand(core::Program& p) {
    core::NotAvailableYet(p, "TDR");
}

} // namespace vna::tools
