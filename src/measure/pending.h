#pragma once

namespace vna::core {
struct Program;
}

// Commands of this folder that the main window offers but whose subsystem is not built yet.
// Until the issue that builds its subsystem replaces it, each one tells the user that the feature
// is not available yet (core::NotAvailableYet).
namespace vna::measure {

void PointDataAB(core::Program& p);

} // namespace vna::measure
