#include "instrument/status_text.h"

#include "core/program.h"
#include "platform/canvas.h"

namespace vna::instrument {

core::Rgb WarningColor(const core::AppState& st) {
    return st.RedColor;
}

void StatusText(core::Program& p, int x, int y, std::string_view text, core::Rgb color) {
    platform::Canvas* canvas = p.ui.mainCanvas();
    if (!canvas) {
        return;
    }
    canvas->setTextColor(color);
    canvas->setTextBackground(true, core::Color(255, 255, 255));
    canvas->text(x, y, text);
    canvas->flush();
}

} // namespace vna::instrument
