#pragma once

#include <array>
#include <optional>
#include <string>

#include "instrument/protocol.h"

namespace vna::core {
struct AppState;
struct Program;
} // namespace vna::core

// The sweep generator: the instrument as a swept signal source with four frequency markers and a
// sync pulse per sweep, sweeping by itself until the user stops it. Nothing is measured.
namespace vna::measure {

// The values of the " Sweep Parameters" dialog as numbers: MHz (a STEP above 20 is a number of
// points) and the settling value.
struct SweepParameters {
    double start = 0;
    double stop = 0;
    double step = 0;
    double settling = 0;
    std::array<double, 4> markers{};
};

// Takes the values as the scan limits, `sweepSettling` and `sweepMarkers`: absolute values, a start
// below `minimum_freq` raised to it, a stop above `maximumfreq` lowered to it, limits given the
// wrong way round swapped, a STEP above 20 taken as a number of points, the settling rounded.
// Returns what makes the values unusable (a step of 0, a start above the instrument's range),
// with nothing changed, or nothing when they were taken.
std::optional<std::string> ApplySweepParameters(core::Program& p, SweepParameters v);

// The words the instrument gets for the present settings. A marker below the start frequency is
// sent as 195 MHz, outside every sweep.
instrument::SweepGeneratorWords SweepGeneratorWordsOf(const core::AppState& st);

// Sets `sweepOn`, sets the instrument up (Port A relay, the words, the settling byte) with a text
// line on the graph after each of the limits and markers, and starts the sweep.
void StartGenerator(core::Program& p);
// Stops the sweep and says so on the graph; `sweepOn` is cleared.
void StopGenerator(core::Program& p);

// The command: the dialog, the sweep, and its stop at a key, a click, Halt or the program's end.
void SweepGeneratorCommand(core::Program& p);

} // namespace vna::measure
