#include "display/graph_text.h"

#include <cmath>

#include "core/app_state.h"
#include "core/number_text.h"
#include "platform/canvas.h"

namespace vna::display {

int GraphFontWeight(const core::AppState& st) {
    return st.boldGraphFont ? 600 : 200;
}

void SetGraphFont(platform::Canvas& c, const core::AppState& st, int deltaPoints, int weight) {
    c.setFont("arial", st.graphFontSize + deltaPoints, weight);
}

std::string GraphNumber(double value, int decimals) {
    if (!std::isfinite(value)) {
        value = 0;
    }
    std::string s = core::NumText(value, decimals);
    if (!s.empty() && s[0] == ' ' && s.size() > 1 && s[1] == '-') {
        s.erase(0, 1);
    }
    return s;
}

void TextAt(platform::Canvas& c, int x, int y, std::string_view text, unsigned color) {
    c.setTextColor(color);
    c.text(x, y, text);
}

} // namespace vna::display
