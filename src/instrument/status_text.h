#pragma once

#include <string_view>

#include "core/app_state.h"

namespace vna::core {
struct Program;
}

namespace vna::instrument {

// Prints a status line at a pixel position of the main window, opaque so that a shorter text
// overwrites a longer one (the trailing blanks of the link's messages rely on that). Nothing
// happens while there is no main window.
void StatusText(core::Program& p, int x, int y, std::string_view text, core::Rgb color);
// The two colours of the link's status lines.
core::Rgb WarningColor(const core::AppState& st);
inline constexpr core::Rgb NormalTextColor = 0;

} // namespace vna::instrument
