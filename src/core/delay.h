#pragma once

#include <string_view>

namespace vna::core {

struct Program;

// Waits `ms` milliseconds on the clock's tick counter while the window messages keep being
// processed, so the window repaints and Halt or Quit can arrive during every pause.
void Delay(Program& p, int ms);

// The demo-mode check at the head of every command that needs the instrument: false (after the
// refusal message) when no instrument is present.
bool RequireHardware(Program& p);

// What a command of a feature this version does not have yet shows instead of doing nothing:
// "<feature> is not available yet in this version of the program." The command stays in the
// menus, so the user learns that it exists and is not broken.
void NotAvailableYet(Program& p, std::string_view feature);

} // namespace vna::core
