#pragma once

namespace vna::core {
struct Program;
}

namespace vna::display {

// Full redraw of the empty graph: frequency axis and scale factors, clearing, band highlight,
// grid, scale numbers, captions, rulers, caption line, status panel and markers.
void DrawGraph(core::Program& p);

// Erases the SWR ruler on screen (drawing it again in XOR), sets `swr_ruler` to `value` and draws
// the new ruler when the value is at least 1.
void DrawSwrRuler(core::Program& p, double value);

// The date-and-time stamp and the caption line under the box.
void DrawCaptionLine(core::Program& p);

// The legend row under the caption line (when `LegendOn`).
void DrawLegend(core::Program& p);

// Black frame of the box: the centre line and the left and right edges.
void DrawFrame(core::Program& p);

// Blanks the whole client area: a graph drawn at a new size must not show what the old one, or
// the size note, left outside its own area.
void ClearWindow(core::Program& p);

} // namespace vna::display
