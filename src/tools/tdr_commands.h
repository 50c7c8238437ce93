#pragma once

#include <string_view>

namespace vna::core {
struct Program;
}

// The TDR commands of the menus and buttons: the mode switch, the options of the "TDR" menu, the
// "TDR Scales" dialog and the TDR files of the "File" menu.
namespace vna::tools {

// The items of the "TDR" menu, in their order.
enum TdrMenuItem {
    TdrMenuMode = 0, // "TDR Mode on/off"
    TdrMenuLinearZ,
    TdrMenuShowRho,
    TdrMenuLinesDots,
    TdrMenuVelocityFactor,
    TdrMenuMetersFeet,
    TdrMenuHighResolution,
};

// Runs item `item` of the "TDR" menu (the caller rebuilds the menus).
void TdrCommand(core::Program& p, int item);

// "TDR Mode on/off" on: the averaging and the smoothing are set aside and switched off, the view
// shows "last_TDR_file.tdr" (when there is one). Off: both come back and the normal graph is drawn.
void TdrModeOn(core::Program& p);
void TdrModeOff(core::Program& p);

// The "TDR Scales" dialog.
void TdrScalesDialog(core::Program& p);
// The entries of the dialog snapped to its lists: a distance (feet) to the next list value up
// (below 5 -> 5, above 2000 -> 2000), an impedance likewise (up to 70 -> 70, above 1000 -> 1000).
double SnapTdrDistance(double feet);
double SnapTdrImpedance(double ohms);
// The distance factor: 0.5..2, else 1. The velocity factor: limited to 0.5..1.
double CheckTdrDistanceFactor(double f);
double LimitVelocityFactor(double vf);

// The TDR files of the "File" menu.
void LoadTdrGraphCommand(core::Program& p);
void SaveTdrGraphCommand(core::Program& p);

// The "Scan TDR" and "Rescan TDR" buttons.
void TdrScanButton(core::Program& p, bool clear);

} // namespace vna::tools
