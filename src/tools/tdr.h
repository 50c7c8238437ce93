#pragma once

#include <optional>
#include <string>

#include "files/tdr_file.h"

namespace vna::core {
struct Program;
struct AppState;
} // namespace vna::core

// The TDR measurement: Port A from near 0 Hz in equal steps, the reflection coefficients turned
// into a step response, drawn on the TDR view and kept in "last_TDR_file.tdr".
namespace vna::tools {

inline constexpr const char* LastTdrFileName = "last_TDR_file.tdr";

// Saves the TDR data to "last_TDR_file.tdr" in the data folder (quietly: nothing to save is no
// error).
void SaveLastTdrFile(core::Program& p);

// runTdr: checks the calibration, runs the frequency plan, measures N/2 + 1 points with the
// progress line (a key or a click stops it), transforms, smooths, draws the trace in the next
// colour and saves it to "last_TDR_file.tdr". False (with the message shown) when it did not
// make a trace. `clear` draws the empty view first (Scan); without it the trace joins those on
// the view (Rescan).
bool RunTdr(core::Program& p, bool clear = true);

// The present trace as a TDR file, and the trace and settings a file brings.
files::TdrFileData TdrFileOf(const core::Program& p);
void TakeTdrFile(core::Program& p, const files::TdrFileData& d);

// saveTdr: writes the trace to `path` (".tdr" appended when missing), with the messages of a
// read-only file or a failed write. False when nothing was written.
bool SaveTdr(core::Program& p, std::string path);
// loadTdr: reads the file; a file that cannot be opened changes nothing, one that is damaged, cut
// short or holds too many points is refused with its message and changes nothing. On success the
// axes are drawn again with the frequency plan, `feetPerIndex` of the file and its trace.
bool LoadTdr(core::Program& p, std::string path);

// The distance (feet) the view shows for step-response index k:
// 0.97 tdrDistFactor (feetPerIndex (k + 1) - tdrOffset), as the cursor reads it at that pixel.
double TdrIndexDistance(const core::AppState& st, int k);

// The largest step of the trace beyond the port: where the impedance changes most, with the
// impedance before and after it. `lineZ` is the impedance just past the port (the cable's own).
struct TdrStep {
    int index = 0;
    double distanceFeet = 0;
    double zBefore = 0;
    double zAfter = 0;
    double lineZ = 0;
};
std::optional<TdrStep> LargestTdrStep(const core::Program& p);

} // namespace vna::tools
