#pragma once

#include <array>
#include <complex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/scan_format.h"

namespace vna::core {
struct Program;
struct AppState;
} // namespace vna::core

// Touchstone files, the exchange format of RF tools: a Port A scan as a one-port ".s1p" file, a
// Port B scan as a two-port ".s2p" file, and ".s1p" files of any origin into the Port A graph.
namespace vna::files {

enum class TouchstoneFormat {
    RI, // real and imaginary part
    MA, // linear magnitude and angle in degrees
    DB  // magnitude in dB and angle in degrees
};

// The option line's name of a format ("RI", "MA", "DB"), and the format of a name in any case.
const char* TouchstoneFormatName(TouchstoneFormat format);
std::optional<TouchstoneFormat> TouchstoneFormatFromName(std::string_view name);

// The Port A scan (points 0..`last_scan_index`) as a one-port file: frequencies in Hz and the
// reflection coefficient of the corrected impedance against the scan's reference impedance `Zo`,
// which the option line names ("# HZ S RI R 50").
std::string TouchstoneTextA(const core::Program& p, TouchstoneFormat format);
// The Port B scan as a two-port file: S21 as measured, S11 where it was measured (else 0), S12
// and S22 as 0 (the instrument measures neither).
std::string TouchstoneTextB(const core::Program& p, TouchstoneFormat format);

// The contents of a Touchstone file.
struct TouchstoneData {
    int ports = 1;
    double reference = 50;                              // ohms, from "R n" of the option line
    std::vector<double> freq;                           // MHz
    std::vector<std::array<std::complex<double>, 4>> s; // S11 (S21 S12 S22 for two ports)
    std::string description;                            // "! Comment: ..." line, when the file has one
    std::string stamp;                                  // "! Date: ..." line, when the file has one
};

// Reads a one-port (`ports` 1) or two-port (2) Touchstone file: comments ("!" to the end of the
// line), the option line "# [HZ|KHZ|MHZ|GHZ] [S] [MA|DB|RI] [R n]" in any case and order (the
// defaults are GHZ, S, MA and 50 ohms), keyword lines in brackets of the newer version, and data
// lines of one frequency each. Nothing, with `problem` set, for a damaged file or one that holds
// other parameters than S.
std::optional<TouchstoneData> ParseTouchstone(std::string_view text, int ports, std::string& problem);

// Puts Touchstone data into a scan file record whose other values come from `base`: the points
// inside the instrument's range (`minimum_freq` to `maximumfreq`) onto an even grid (see
// MakeEvenGrid), the impedance (Port A) or the S21 and S11 values (Port B), the reference
// impedance as the scan's `Zo`, the comment and the date. `note` tells what was changed on the
// way (points dropped or interpolated).
std::optional<ScanFileA> TouchstoneToScanA(const TouchstoneData& data, const core::AppState& st,
                                           const ScanFileA& base, std::string& problem, std::string& note);
std::optional<ScanFileB> TouchstoneToScanB(const TouchstoneData& data, const core::AppState& st,
                                           const ScanFileB& base, std::string& problem, std::string& note);

} // namespace vna::files
