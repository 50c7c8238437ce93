#include "files/scan_file.h"

#include "core/program.h"

namespace vna::files {

void LoadScanA(core::Program& p) {
    (void)p;
}

void LoadScanB(core::Program& p) {
    (void)p;
}

void SaveScanA(core::Program& p) {
    (void)p;
}

void SaveScanB(core::Program& p) {
    (void)p;
}

} // namespace vna::files
