#include "instrument/external_control.h"

#include "core/program.h"

namespace vna::instrument {

void RunRegistryExternalControl(core::Program& p) {
    (void)p;
}

} // namespace vna::instrument
