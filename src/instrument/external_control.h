#pragma once

namespace vna::core {
struct Program;
}

namespace vna::instrument {

// Runs the registry-driven external control loop while it is configured.
void RunRegistryExternalControl(core::Program& p);

} // namespace vna::instrument
