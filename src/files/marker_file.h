#pragma once

#include <array>
#include <string>
#include <string_view>

#include "core/app_state.h"
#include "platform/clock.h"

// The marker file (.mrk: six numbers for each of the 20 slots) and the marker text export (.mrx).
namespace vna::files {

inline constexpr int MarkerFileLines = 6 * core::MarkerSlots;

// The 120 lines of a marker file: fields 0, 1, 2, 4, 5, 6 of slots 1..20, each number with up to
// 15 decimals, CR LF line ends.
std::string MarkerFileText(const core::MarkerTable& table);

// Reads the 120 lines of a marker file into `table` (cleared first; markerNext and the rotation
// are kept). A file that is short, or has a line that is not a number, is refused with `error`
// and leaves `table` alone. A frequency that is not a finite number within 0.001 .. `maxFreq` MHz
// (a free slot holds 999 or more) frees its slot; `freed` counts them. Other values that are not
// finite become 0.
bool ReadMarkerFile(std::string_view text, double maxFreq, core::MarkerTable& table, std::string& error,
                    int& freed);

// The export beside a marker file: the same name with the last three characters "mrx".
std::string MarkerExportPath(const std::string& markerPath);

// The SWR ratio column of the export by slot (index 0 unused); below 1 it shows "0.0000".
using SwrRatioColumn = std::array<double, core::MarkerSlots + 1>;

// The marker text export of the first `count` slots: "Created: " line, the column line and one
// line per marker, with the SWR ratios of the SWR ratio tool (display::SwrRatios).
std::string MarkerExportText(const core::MarkerTable& table, int count, const platform::LocalTime& now,
                             const SwrRatioColumn& ratios = {});

} // namespace vna::files
