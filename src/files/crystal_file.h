#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

// The crystal data file (.xdat): a "Created: " line, the column heading and one line per crystal
// measured, appended by "SAVE" in the "Crystal Parameters" dialog.
namespace vna::files {

// One line of the file, in the order of its heading.
struct CrystalRow {
    double number = 0; // sequence number of the crystal
    double fs = 0;     // series resonant frequency (MHz)
    double fp = 0;     // parallel resonant frequency (MHz)
    double rs = 0;     // series resistance (ohm)
    double lsMh = 0;   // motional inductance (mH)
    double cs = 0;     // motional capacitance (pF)
    double cp = 0;     // parallel (holder) capacitance (pF)
    double q = 0;      // Q at series resonance
};

inline constexpr const char* CrystalHeading =
    "  Number,  FSeries,      FParallel        Rs       Ls(mH)      Cs(pf)         Cp(pf)    Qs";

// The first two lines of a new file, CR LF ended.
std::string CrystalFileStart(const platform::LocalTime& now);
// One row, CR LF ended: the number in "######", the frequencies in "####.######", Rs and Ls in
// "####.###", Cs in "####.#######", Cp in "####.###" and Q in "#######", separated by ",  ".
std::string CrystalFileLine(const CrystalRow& row);

// Reads a crystal data file. A text without the "Created: " line and the heading, or with a row
// that is not eight numbers, is refused with `error` (which names the line) and `rows` is left
// alone.
bool ReadCrystalFile(std::string_view text, std::vector<CrystalRow>& rows, std::string& error);

// The text of `existing` (empty: a new file) with `row` appended; nothing and `error` when the
// existing text is not a crystal data file, so a file chosen by mistake is never added to.
bool AppendCrystalRow(std::string_view existing, const CrystalRow& row, const platform::LocalTime& now,
                      std::string& text, std::string& error);

} // namespace vna::files
