#pragma once

#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/display_state.h"

namespace vna::core {
struct Program;
}

// The cursor: the vertical line that follows the mouse over the graph, the read-out of the values
// under it in the status column, its point on the open charts, and the two frozen cursors with
// their "Cursor Data" window.
namespace vna::display {

// The values of the scan shown at frequency `fc` (MHz), interpolated between the two points around
// it (a phase that jumps by 170 degrees or more is the lower point's). False when the scan has no
// points or fc lies below its first point; `index` and `df` are the point below fc and the MHz
// past it.
bool CursorValuesAt(const core::Program& p, double fc, core::CursorValues& v, int& index, double& df);

// One line of the read-out: its text, colour, and the extra gap above it (a new group).
struct ReadoutLine {
    std::string text;
    core::Rgb color = 0;
    bool newGroup = false;
};
std::vector<ReadoutLine> CursorReadoutLines(const core::Program& p, const core::CursorValues& v);

// The frequency under mouse x: (x - X1) / pxPerMHz + plotStart, limited to plotStop (fullscan) or
// to end_freq.
double CursorFreqAtX(const core::Program& p, int x);

// Mouse at (x, y) over the graph: moves the cursor line and shows the read-out, when x lies in
// X1..X2, y in Y1..Y2 and the scan has points.
void CursorToMouse(core::Program& p, int x, int y);
// The cursor at scan point `index` (from the charts and the arrow keys).
void CursorToChartPoint(core::Program& p, int index);
// Left or right arrow with Ctrl or Shift: the cursor one point further.
void CursorStep(core::Program& p, int direction);
// Keys 1 / a and 2 / b: freezes the cursor as cursor 1 or 2 and opens or updates "Cursor Data".
void SelectCursor(core::Program& p, int cursor);
// The rows of "Cursor Data" as text (heading, Freq2, Freq1, Delta with the columns of values).
std::vector<std::string> CursorDataLines(const core::Program& p);

} // namespace vna::display
