#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vna::core {
struct Program;
struct AppState;
} // namespace vna::core

namespace vna::display {

// Refreshes the status buttons: which = 0 lays out and fills all six, 1..6 refreshes one (1
// averaging, 2 settling time, 3 trend, 4 line extension, 5 Zo, 6 interpolation). A button is
// only drawn again when its text or colour changed.
void UpdateStatus(core::Program& p, int which);
// Refreshes all six buttons (only those that changed are drawn).
void RefreshStatusPanel(core::Program& p);

// Text and background colour of status button `which` (1..6), padded or cut to its width.
std::string StatusText(const core::AppState& st, int which);
std::uint32_t StatusColor(const core::AppState& st, int which);

// The status button under the mouse position, 0 when none.
int StatusButtonAt(const core::Program& p, int x, int y);

// The lines of the " Status" window, and the window itself.
std::vector<std::string> StatusWindowLines(const core::Program& p);
void ShowStatusWindow(core::Program& p);

} // namespace vna::display
