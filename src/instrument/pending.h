#pragma once

namespace vna::core {
struct Program;
}

// Commands of this folder that the main window offers but whose subsystem is not built yet.
// Each one does nothing until the issue that builds its subsystem replaces it.
namespace vna::instrument {

void VnaTestDialog(core::Program& p);

} // namespace vna::instrument
