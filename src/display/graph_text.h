#pragma once

#include <string>
#include <string_view>

namespace vna::platform {
class Canvas;
}
namespace vna::core {
struct AppState;
}

namespace vna::display {

// Weight of the graph font: 600 with the bold-graph-font option, else 200.
int GraphFontWeight(const core::AppState& st);
// Selects "arial" at the graph font size plus `deltaPoints`.
void SetGraphFont(platform::Canvas& c, const core::AppState& st, int deltaPoints, int weight);
// A number as the graph prints it: integral values without decimals, positive numbers with a
// leading blank, negative numbers with their sign.
std::string GraphNumber(double value, int decimals);
// Text with its top left corner at (x, y) in a colour.
void TextAt(platform::Canvas& c, int x, int y, std::string_view text, unsigned color);

} // namespace vna::display
