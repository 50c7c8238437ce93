#pragma once

namespace vna::core {

struct Program;

// Waits `ms` milliseconds on the clock's tick counter while the window messages keep being
// processed, so the window repaints and Halt or Quit can arrive during every pause.
void Delay(Program& p, int ms);

// The demo-mode check at the head of every command that needs the instrument: false (after the
// refusal message) when no instrument is present.
bool RequireHardware(Program& p);

} // namespace vna::core
