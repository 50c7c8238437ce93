#include "core/menus.h"

#include "core/program.h"

namespace vna::core {

void BuildMenus(Program& p) {
    // With an instrument attached but Port B not calibrated, the menus are those of Port A.
    if (p.st.InstrumentPresent && !p.st.portb_cal_ok) {
        p.st.PortB_on = 0;
    }
}

void AttachToolTips(Program& p) {
    (void)p;
}

} // namespace vna::core
