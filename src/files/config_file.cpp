#include "files/config_file.h"

#include "core/program.h"

namespace vna::files {

void ReadConfigFile(core::Program& p) {
    (void)p;
}

} // namespace vna::files
