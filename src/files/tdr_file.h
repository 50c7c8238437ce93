#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The TDR file (.tdr, and "last_TDR_file.tdr" in the data folder): the settings of one TDR trace
// and its step response, one value per line.
namespace vna::files {

inline constexpr int TdrHeaderLines = 28;

struct TdrFileData {
    std::string stamp; // line 1, date and time of the measurement
    double programVersion = 0;
    std::string title;
    std::string calName;
    int points = 256; // N
    double delf = 1;  // MHz
    double maxDist = 100;
    double zScale = 200;
    double rhoScale = 1;
    int average = 1;
    double zref = 50;
    int linearZ = 1;
    int lines = 1;
    double vf = 0.66;
    int metres = 0;
    int colorIndex = 1;
    double feetPerIndex = 1;
    int swrTrace = 0;         // the SWR-trace flag of the reserved lines
    std::vector<double> step; // s[0..N]
};

// The text of a TDR file, CR LF line ends, numbers with up to 15 decimals.
std::string TdrFileText(const TdrFileData& d);

// What went wrong with a TDR file: the message and its caption.
struct TdrFileProblem {
    std::string text;
    std::string caption;
};

// Reads a TDR file. A file that is cut short, has a line that is not a number where one belongs, a
// number that cannot be (a step of 0 MHz, a velocity factor outside 0..1) or more than 1025 points
// gives nothing and the problem ("TDR number of points = N  Max # of points is 1050.", " Too Many
// Points" for the last). The reflection-coefficient scale is limited to 1 and the colour index to
// 1..5.
std::optional<TdrFileData> ParseTdrFile(std::string_view text, TdrFileProblem& problem);

} // namespace vna::files
