#pragma once

#include <string>
#include <string_view>

#include "sim/instrument_model.h"

// The simulator's control language, the same on the command line of vna-sim and through its
// control socket at run time ("vna-sim ctl dut short").
namespace vna::sim {

struct ControlResult {
    bool ok = true;
    std::string text; // "ok", the status, or what was wrong
};

// Carries out one control command on the unit:
//   dut SPEC                      the device under test (see DutHelp)
//   fault NAME[=N] ...            silence, truncate=N[:COUNT], badsum=N, refloss, deadadc, overload,
//                                 stuckbaud, extra=N, bandendless (a band scan without end
//                                 marker), bandbreak=N (a band scan that breaks off after N
//                                 levels); "fault clear" removes them all
//   set temp F | supply V | analog V | input N | ppm X | noise LSB
//   mux on | off | K db=X deg=Y ns=Z   the six-way MUX and its channel paths (loss, phase, delay)
//   power on | off
//   status
ControlResult ApplyControl(Instrument& unit, std::string_view line, double now);
std::string ControlHelp();

} // namespace vna::sim
