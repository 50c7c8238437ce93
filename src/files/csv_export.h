#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "files/scan_format.h"

namespace vna::core {
struct Program;
}
namespace vna::platform {
struct LocalTime;
}

// The CSV exports of the scans, for spreadsheets: "name.csv" beside a Port A scan file and
// "name_B.csv" beside a Port B scan file.
namespace vna::files {

// Degrees per radian of the CSV exports, and of the control file of external control.
inline constexpr double CsvDegrees = 57.29588;
inline constexpr double ControlCsvDegrees = 57.2958;

// The CSV export of the Port A scan (points 0..`last_scan_index` of the scan arrays), created at
// `created`. A point of SWR 1 (no reflection) has an infinite return loss; its row shows 999, the
// value the graph uses for it.
std::string CsvTextA(const core::Program& p, const platform::LocalTime& created);
// The CSV file external control writes after a Port A sweep: the lines of the Port A export, but
// the frequency of row k is start + step x k in full precision (half a unit of the sixth decimal
// up) and the phases are converted with ControlCsvDegrees. (After a Port B sweep it writes the
// Port B export.)
std::string ControlCsvTextA(const core::Program& p, const platform::LocalTime& created);
// The CSV export of the Port B scan.
std::string CsvTextB(const core::Program& p, const platform::LocalTime& created);

// The CSV file names beside a scan file: the last three characters of "x.scn" replaced by "csv";
// "x.scnb" without its last five characters plus "_B.csv".
std::string CsvNameA(std::string_view scanPath);
std::string CsvNameB(std::string_view scanPath);

// Reads a CSV export back into a scan file record, for conversions. The Port A impedance comes
// from the Rs and Xs columns, the frequency grid from the first column (points that are not evenly
// spaced are interpolated onto an even grid, and `note` says so). The header, scales and
// trailer values come from `base`. Nothing, with `problem` set, when the text is not such an
// export or a value is not a number.
std::optional<std::variant<ScanFileA, ScanFileB>> ParseCsvExport(std::string_view text,
                                                                 const ScanFileA& baseA,
                                                                 const ScanFileB& baseB, std::string& problem,
                                                                 std::string& note);

} // namespace vna::files
