#pragma once

namespace vna::core {
struct Program;
}
namespace vna::platform {
class Canvas;
}

// Pictures of the graph on a canvas other than the main window's: an SVG file of the window, an
// image of `vna-cli plot`.
namespace vna::display {

// Draws the graph of the active port with its scan, as the main window shows it, onto `canvas`,
// from a copy of `source` (nothing of `source` changes). With `fit` the graph is laid out for the
// canvas's size, else in the geometry of the main window.
void RenderGraph(const core::Program& source, platform::Canvas& canvas, bool fit);

} // namespace vna::display
