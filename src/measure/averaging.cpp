#include "measure/averaging.h"

#include "display/status_panel.h"
#include "instrument/commands.h"

namespace vna::measure {

void ApplyAveraging(core::Program& p, int n) {
    instrument::SetAveraging(p, n);
    display::RefreshStatusPanel(p);
}

} // namespace vna::measure
