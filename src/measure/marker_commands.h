#pragma once

#include <string>

namespace vna::core {
struct Program;
}

// The marker commands of the menus, the right mouse button and the charts, and the marker window
// with its re-measuring against the instrument. The menu check marks are the caller's: it rebuilds
// the menus after each of these.
namespace vna::measure {

// The marker window buttons.
enum MarkerButton { MarkerRefresh = 1, MarkerRecycle, MarkerSave, MarkerRecall, MarkerPrint, MarkerExit };

// "Display Marker Data": checks, opens (or brings up) the marker window of the active port and
// re-measures every marker in it.
void ShowMarkerData(core::Program& p);
// Re-measures the markers within the limits: with the instrument (a live scan), or from the stored
// scan (a scan loaded from a file, or no instrument). False after a reading failed (message shown).
bool RemeasureMarkers(core::Program& p);
// Draws the rows of the open marker window.
void DrawMarkerWindow(core::Program& p);
// "Toggle Markers", "Clear All Markers", "Phase Rotation", "Save Markers", "Recall Markers".
void ToggleMarkers(core::Program& p);
void ClearAllMarkers(core::Program& p);
void MarkerRotationCommand(core::Program& p);
void SaveMarkersCommand(core::Program& p);
void RecallMarkersCommand(core::Program& p);
// Writes the marker file at `path` and, with `withExport`, the text export beside it; false after
// a message.
bool WriteMarkerFiles(core::Program& p, const std::string& path, bool withExport);
// Reads the marker file at `path` into the table (the table stays as it was when the file is
// refused); false after a message.
bool LoadMarkerFile(core::Program& p, const std::string& path);
// The "Marker" dialog at the frequency under the mouse (right button on the graph) or of scan point
// `index` (right button on a chart).
void MarkerAtMouse(core::Program& p, int x, int y);
void MarkerAtChartPoint(core::Program& p, int index);
// The dialog itself, pre-filled with `mhz`.
void MarkerDialog(core::Program& p, double mhz);

} // namespace vna::measure
