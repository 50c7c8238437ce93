#pragma once

#include <string>
#include <string_view>

#include "platform/clock.h"

namespace vna::core {
struct CalTable;
struct AppState;
struct Program;
} // namespace vna::core

// The cal file: the text form of the calibration table, its writer, its reader with every check
// against the attached instrument, and the commands around them.
namespace vna::cal {

// Line 1 of every cal file; the reader takes 13800..13809.
inline constexpr int CalFileFormat = 13800;
// Degrees per radian of the phases in the file.
inline constexpr double CalDegreesPerRadian = 57.3;
// A value of a point line beyond this is not a reading: the file is damaged.
inline constexpr double MaxCalValue = 1e12;

// `LastError` codes of a load.
inline constexpr int CalFileNotFound = 35921;
inline constexpr int CalFileWrongFormat = 12486;
inline constexpr int CalFileOtherInstrument = 26903;
inline constexpr int CalFileBadTemperature = 26805;
inline constexpr int CalFileOtherRange = 42165;
inline constexpr int CalFileNoShortHeading = 2380;
inline constexpr int CalFileNoOpenHeading = 2381;
inline constexpr int CalFileNoResistanceHeading = 2382;
inline constexpr int CalFileNoLowRangeHeading = 2383;
// A point count, the custom limits or the amplitude of the file cannot be used.
inline constexpr int CalFileBadHeaderValue = 2384;
inline constexpr int CalFileBadPointLine = 2385;

// The three numbers of a data line: c1 up to the first blank after it, c2 likewise, c3 the rest.
// `numbers` counts how many of c1, c2, c3 were written as numbers (trailing words such as " low"
// after c3 do not matter).
struct PointLine {
    double c1 = 0;
    double c2 = 0;
    double c3 = 0;
    bool c1Number = false;
    bool c2Number = false;
    bool c3Number = false;
};
PointLine ParsePointLine(std::string_view line);

// The cal file text of a table (CR LF lines). The Port B block is written empty when
// `portBValid` is false.
std::string CalFileText(const core::CalTable& t, const platform::LocalTime& now, bool portBValid);

// The name of MUX channel k's cal file: the remembered name up to and including the first "." of
// its file name, then "chan" and k.
std::string ChannelCalFileName(std::string_view remembered, int channel);

// Makes `path` the cal file of the settings: `cal_file`, and its folder and name.
void SetCalFileName(core::AppState& st, const std::string& path);

// Writes p.cal to `path` (replacing the file in one step). False, with the read-only message, when
// it cannot be written.
bool WriteCalFile(core::Program& p, const std::string& path);
// The save of the cal procedures: chooses the name (a dialog for an ordinary cal and for MUX
// channel 1, the remembered name for channels 2..6), makes it `cal_file` and writes the table.
// False when the dialog was cancelled or the file could not be written. `initialName` is the name
// the dialog proposes.
bool SaveCalFile(core::Program& p, const std::string& initialName = {});

// Reads `cal_file` into the calibration table after checking it against the attached instrument.
// The file is read into a table of its own: a file that is refused, damaged or cut short leaves
// the calibration in force and its flags as they were. The outcome is in `LastError` (0 =
// accepted). With `showInfo` the summary message follows a successful load.
void LoadCalFile(core::Program& p, int showInfo);
// Reads the cal file at `path` with every check of a load into `table`, leaving the calibration
// in force, the settings and the instrument alone (the array scope reads the channels' files this
// way). A missing file says nothing; a refused or damaged one shows the load's message. False with
// the load's code in `LastError` when the file cannot be used.
bool ReadCalFile(core::Program& p, const std::string& path, core::CalTable& table);
// Loads `cal_file` quietly, as at start-up and after a state file was recalled.
void LoadCalFileAtStartup(core::Program& p);
// The "Load Calibration File" command.
void ChooseAndLoadCalFile(core::Program& p);
// The body of the exported VNA_LoadCalFile: loads the cal file at `path` quietly and returns the
// load's code. A refused file leaves the previous cal file named in the settings. (The exporting
// layer sets its own flags around the call.)
int VNA_LoadCalFile(core::Program& p, const char* path);

// The summary message shown after a load from the menu: its text and caption.
std::string CalSummaryText(const core::Program& p);
std::string CalSummaryCaption(const core::Program& p);

} // namespace vna::cal
