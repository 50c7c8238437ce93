#pragma once

#include <string>
#include <vector>

#include "scope/array_scan.h"
#include "scope/channels.h"

namespace vna::platform {
class Canvas;
}
namespace vna::core {
struct Program;
}

// The vector scope: at one frequency, MUX channels 2..6 against channel 1 as vectors on a polar
// display and as numbers, read again and again until its window is closed (or Halt, or a key in
// the main window). The S key (in either window) or its "Array Scan" button runs the array scan
// between two rounds; its delays then stay in the table.
namespace vna::scope {

inline constexpr int ScopeWidth = 660;
inline constexpr int ScopeHeight = 430;
// The window's buttons.
inline constexpr int ScopeScanButton = 1;
inline constexpr int ScopeCloseButton = 2;

// The numbers of a round as the window's table shows them, one line per channel (and the open
// MUX's level), with the delays of the last array scan when there was one.
std::vector<std::string> ScopeLines(const ScopeRound& round, const ArrayScanResult* scan);

// Draws a round: the polar display with channel 1 along 0 degrees and the other channels' vectors,
// and the table.
void DrawScope(platform::Canvas& c, const ScopeRound& round, const ArrayScanResult* scan);

// The menu's "Vector Scope".
void VectorScope(core::Program& p);

} // namespace vna::scope
