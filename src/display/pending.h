#pragma once

namespace vna::core {
struct Program;
}

// Commands of this folder that the main window offers but whose subsystem is not built yet.
// Until the issue that builds its subsystem replaces it, each one tells the user that the feature
// is not available yet (core::NotAvailableYet).
namespace vna::display {

void DrawMarkers(core::Program& p);
void MarkerCommand(core::Program& p, int command);
void MarkerAtMouse(core::Program& p, int x, int y);
void CursorToMouse(core::Program& p, int x, int y);
void SelectCursor(core::Program& p, int cursor);
void CursorStep(core::Program& p, int direction);
// The point `index` of the scan under the mouse on a chart: the cursor read-out and the marker
// dialog of that point.
void CursorToChartPoint(core::Program& p, int index);
void MarkerAtChartPoint(core::Program& p, int index);
void AntennaBandwidth(core::Program& p);
void RulersDialog(core::Program& p);
void FilterBandwidth(core::Program& p);

} // namespace vna::display
