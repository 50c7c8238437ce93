#pragma once

#include <functional>
#include <vector>

#include "core/chart_state.h"
#include "display/chart_mapping.h"

namespace vna::core {
struct Program;
}
namespace vna::platform {
class Canvas;
}

// Drawing of the Smith charts on any canvas: the window's, an offscreen image, an SVG picture.
namespace vna::display {

struct SmithOptions {
    core::ChartKind kind = core::ChartSmith; // ChartSmith or ChartSmith2 (rotated)
    bool withTrace = true;      // false: the chart alone, for the live point of the point-data monitor
    bool windowControls = true; // the "SCALE" caption of the window's zoom buttons
};

// Draws the chart of the Port A scan in the geometry g: background disc, circles and their labels,
// the SWR reference circle, the trace with the start dot or the markers, the texts, and the mask
// that erases everything outside the disc. "Smith Chart" first sets the Smith reference to the
// system reference. Every point's pixel and Gamma are stored in p.chartPoints for the cursor.
void DrawSmithChart(core::Program& p, platform::Canvas& c, const SmithGeometry& g, const SmithOptions& o);

// A live reading on a chart drawn without its trace: a small yellow mark with a black outline.
void DrawSmithLivePoint(platform::Canvas& c, const SmithGeometry& g, const Gamma& gamma);

// The buttons of "Smith Chart" (zoom row, "Marker Data", "Print", "Close") or of "Smith Chart 2"
// (zoom row, "Print" and "Smith Z", which sets the reference of this chart). The bottom row's
// buttons are as wide as "Marker Data" plus 30 in the button font of the canvas.
std::vector<platform::PushButton> SmithButtons(platform::Canvas& c, const SmithGeometry& g,
                                               core::ChartKind kind, int zoom);

// Where one scan point lands on a chart, from its reflection against the chart's reference and its
// |Z| (the polar plot's radius may be either).
using ChartPixelRule = std::function<ChartPixel(const Gamma& gamma, double zmag)>;

// Draws the last Port A scan as a chart's red trace and stores every point's pixel and reflection
// for the markers and the cursor; a point that is not a number breaks the trace (shared by the
// Smith charts and the polar plot).
void DrawChartTrace(core::Program& p, platform::Canvas& c, core::ChartKind kind,
                    const ChartPixelRule& pixelOf);

// Draws one chart's marker circles and numbers, or its start dot, from the points stored for it
// (shared by the Smith charts and the polar plot).
void DrawChartMarkers(core::Program& p, platform::Canvas& c, core::ChartKind kind);

// The caption "SCALE" centred under a row of buttons.
void DrawScaleCaption(platform::Canvas& c, const std::vector<platform::PushButton>& row);

} // namespace vna::display
