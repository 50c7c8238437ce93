#pragma once

#include <vector>

#include "display/chart_mapping.h"

namespace vna::core {
struct Program;
}
namespace vna::platform {
class Canvas;
}

// Drawing of the polar plot on any canvas.
namespace vna::display {

// Draws the polar plot of the Port A scan in the geometry g for `polarMode` at `polarScale`: disc,
// rings and spokes, ring values, texts, the trace with the start dot or the markers. Every point's
// pixel and Gamma are stored in p.chartPoints for the cursor. `windowControls`: the "SCALE" caption
// of the window's scale buttons.
void DrawPolarPlot(core::Program& p, platform::Canvas& c, const PolarGeometry& g, bool windowControls = true);

// The window's title, "Polar Plot" and the mode's suffix.
std::string PolarTitle(int mode);

// The scale buttons of the mode and "Print".
std::vector<platform::PushButton> PolarButtons(const PolarGeometry& g, int mode, int scale);

// Draws the polar plot again in its window when it is open (after a sweep or a redraw of the scan).
void RedrawPolarIfOpen(core::Program& p);

} // namespace vna::display
