#include "files/init_file.h"

#include "core/program.h"

namespace vna::files {

void ReadInitFile(core::Program& p) {
    (void)p;
}

bool WriteInitFile(core::Program& p) {
    (void)p;
    return false;
}

} // namespace vna::files
