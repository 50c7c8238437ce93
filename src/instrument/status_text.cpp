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
    // Opaque, so a status line blanks the one it replaces; transparent again afterwards, or every
    // text drawn later (the graph's captions and numbers) would blank what lies under its box.
    canvas->setTextBackground(true, core::Color(255, 255, 255));
    canvas->text(x, y, text);
    canvas->setTextBackground(false, core::Color(255, 255, 255));
    canvas->flush();
}

} // namespace vna::instrument
