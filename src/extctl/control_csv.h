#pragma once

#include <string>

#include "platform/clock.h"

namespace vna::core {
struct AppState;
struct Program;
} // namespace vna::core

// The CSV file external control writes after a sweep, for the client that asked for it (and for
// the U key).
namespace vna::extctl {

// Where the file goes: `outputfile`. A path with a drive letter (the shipped default
// "c:\AutoScan.csv" among them) means nothing on a system without drive letters: its file name is
// taken in the data folder, as is a name without a folder.
std::string ControlCsvPath(const core::AppState& st);

// The file's text after a sweep of the active port: the Port A rows of the control file, or the
// Port B export after a Port B sweep; `now` is its "Created:" time.
std::string ControlCsvText(const core::Program& p, const platform::LocalTime& now);

// Writes the file in one step (a client never reads half of it). False, after the "No control
// file" message, when it cannot be written; an older file is then left as it was.
bool WriteControlCsv(core::Program& p);

} // namespace vna::extctl
