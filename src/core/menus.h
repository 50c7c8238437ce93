#pragma once

namespace vna::core {

struct Program;

// Rebuilds the menu bar, its check marks and enabling and the button row from the state.
void BuildMenus(Program& p);

// Attaches the tool tips of the main window's buttons.
void AttachToolTips(Program& p);

} // namespace vna::core
