#include "display/status_panel.h"

#include "core/program.h"

namespace vna::display {

void RefreshStatusPanel(core::Program& p) {
    (void)p;
}

} // namespace vna::display
