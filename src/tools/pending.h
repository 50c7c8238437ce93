#pragma once

namespace vna::core {
struct Program;
}

// Commands of this folder that the main window offers but whose subsystem is not built yet.
// Until the issue that builds its subsystem replaces it, each one tells the user that the feature
// is not available yet (core::NotAvailableYet).
namespace vna::tools {

void DistanceToFault(core::Program& p);
void QuarterWaveStub(core::Program& p);
void TdrCommand(core::Program& p, int command);
void TdrScalesDialog(core::Program& p);
void LoadTdrGraphCommand(core::Program& p);
void SaveTdrGraphCommand(core::Program& p);

} // namespace vna::tools
