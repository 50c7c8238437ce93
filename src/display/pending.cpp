#include "display/pending.h"

#include "core/delay.h"

namespace vna::display {

// Called by every redraw and sweep, not by the user: no message here.
void DrawMarkers(core::Program&) {}

void MarkerCommand(core::Program& p, int) {
    core::NotAvailableYet(p, "Marker handling");
}

void MarkerAtMouse(core::Program& p, int, int) {
    core::NotAvailableYet(p, "Marker handling");
}

// Every mouse movement comes here while the cursor is on: a message would stop the mouse.
void CursorToMouse(core::Program&, int, int) {}

void SelectCursor(core::Program& p, int) {
    core::NotAvailableYet(p, "The two-cursor read-out");
}

void CursorStep(core::Program& p, int) {
    core::NotAvailableYet(p, "Moving the cursor with the arrow keys");
}

// Every mouse movement over a chart comes here: a message would stop the mouse.
void CursorToChartPoint(core::Program&, int) {}

void MarkerAtChartPoint(core::Program& p, int) {
    core::NotAvailableYet(p, "Marker handling");
}

void AntennaBandwidth(core::Program& p) {
    core::NotAvailableYet(p, "The antenna bandwidth read-out");
}

void RulersDialog(core::Program& p) {
    core::NotAvailableYet(p, "The Port B rulers");
}

void FilterBandwidth(core::Program& p) {
    core::NotAvailableYet(p, "The filter bandwidth read-out");
}

} // namespace vna::display
