#pragma once

namespace vna::core {
struct Program;
}

namespace vna::commands {

// A click on status button `which` (1..6): opens the entry of what the button shows (averaging,
// settling time, trend, line extension, Zo) and shows the new value on the button.
void StatusButtonClicked(core::Program& p, int which);

} // namespace vna::commands
