#pragma once

namespace vna::core {
struct Program;
}

// Commands of this folder that the main window offers but whose subsystem is not built yet.
// Until the issue that builds its subsystem replaces it, each one tells the user that the feature
// is not available yet (core::NotAvailableYet).
namespace vna::measure {

void DspFilterRescan(core::Program& p, int filter);
void PhaseOffsetCommand(core::Program& p, int command);
void PlotMagRef(core::Program& p);
void MultiChannelCommand(core::Program& p, int command);

} // namespace vna::measure
