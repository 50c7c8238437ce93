#pragma once

namespace vna::core {
struct Program;
}

namespace vna::commands {

// Rebuilds the menu bar, its check marks and enabling and the button row from the state.
void BuildMenus(core::Program& p);

// Attaches the tool tips of the main window's buttons.
void AttachToolTips(core::Program& p);

} // namespace vna::commands
