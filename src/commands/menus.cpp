#include "commands/menus.h"

#include "commands/menu_model.h"
#include "core/program.h"
#include "platform/canvas.h"

namespace vna::commands {

using core::Program;

namespace {

ButtonMetrics Metrics(Program& p) {
    ButtonMetrics m;
    m.left = p.display.g.box.left;
    // The row has a strip of its own between the menu bar and the graph (a row over the graph
    // hid the trace captions above the box); a small margin keeps it off the menu bar.
    m.top = ButtonRowMargin;
    m.textHeight = 2 * (p.st.graphFontSize + 1);
    if (platform::Canvas* c = p.ui.mainCanvas()) {
        c->setFont("arial", p.st.graphFontSize + 1, 600);
        m.textHeight = c->textExtent("ScanKey").height;
    }
    return m;
}

} // namespace

void BuildMenus(Program& p) {
    // With an instrument attached but Port B not calibrated, the menus are those of Port A.
    if (p.st.InstrumentPresent && !p.st.portb_cal_ok) {
        p.st.PortB_on = 0;
    }
    p.ui.setMenuBar(BuildMenuModel(p.st));
    p.ui.setButtons(BuildButtonRow(p.st, Metrics(p)));
}

void AttachToolTips(Program& p) {
    // The button row carries its tool tips; laying it out again attaches them to the buttons as
    // they are now.
    p.ui.setButtons(BuildButtonRow(p.st, Metrics(p)));
}

} // namespace vna::commands
