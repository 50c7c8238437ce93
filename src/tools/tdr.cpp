#include "tools/tdr.h"

#include "core/program.h"

namespace vna::tools {

void SaveLastTdrFile(core::Program& p) {
    (void)p;
}

} // namespace vna::tools
