#include "measure/interpolation.h"

#include "core/program.h"

namespace vna::measure {

void InterpolateCal(core::Program& p) {
    (void)p;
}

} // namespace vna::measure
