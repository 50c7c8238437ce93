#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vna::platform {
struct LocalTime;
}
namespace vna::core {
struct AppState;
struct ScanSettings;
} // namespace vna::core

// The two scan file formats, line for line: ".scn" for a Port A scan and ".scnb" for a Port B
// scan. The records below hold the values exactly as the lines do (Port B phases in degrees), so
// a file read and written again comes out byte for byte the same.
namespace vna::files {

// Plain numbers of the scan files carry 15 decimals.
inline constexpr int ScanDecimals = 15;
inline constexpr double ScanFormatA = 127;
inline constexpr double ScanFormatB = 4076;

// The trailer lines of a Port A scan file, by position.
enum TrailerA {
    TrailerAZo,
    TrailerAReserved1,
    TrailerAReserved2,
    TrailerAVF,
    TrailerACableLength,
    TrailerADistanceUnits,
    TrailerAReserved3,
    TrailerAPlotRs,
    TrailerAAverage,
    TrailerAConstant10,
    TrailerAConstant011746,
    TrailerAConstant10012,
    TrailerARealOffset,
    TrailerAModel,
    TrailerATrend,
    TrailerAReserved4,
    TrailerALimitCheck,
    TrailerACustomCal,
    TrailerACount
};

// The trailer lines of a Port B scan file, by position.
enum TrailerB {
    TrailerBZo,
    TrailerBReserved1,
    TrailerBReserved2,
    TrailerBVF,
    TrailerBCableLength,
    TrailerBAverage,
    TrailerBModel,
    TrailerBTrend,
    TrailerBReserved3,
    TrailerBCustomCal,
    TrailerBS21PhaseScale,
    TrailerBCount
};

// The scale lines 9..18 of a Port B scan file, by position.
enum ScalesB {
    ScaleBSwr,
    ScaleBZmag,
    ScaleBPhase,
    ScaleBS21Gain,
    ScaleBS11Gain,
    ScaleBReturnLoss,
    ScaleBDelay,
    ScaleBQ,
    ScaleBInsertionLoss, // dB per division of the insertion-loss trace
    ScaleBZeroRef,       // divisions from the top line to 0 dB of the S21 trace
    ScaleBCount
};

struct ScanFileA {
    std::string stamp; // line 1: "Dec 7, 26  12:00:00"
    double format = ScanFormatA;
    bool plotAtZero = false;
    double start = 0; // MHz
    double end = 0;
    double step = 0;
    double plotStart = 0;
    double plotStop = 0;
    double swrScale = 10;
    double zmagScale = 1000;
    double phaseScale = 100;
    double divPx = 0;
    double reserved1 = 0;
    double reserved2 = 0;
    double mhzPerDiv = 1;
    double plotSwr = 1;
    std::string description;
    std::vector<double> zmag;  // raw |Z| of points 0..L (ohms)
    std::vector<double> phase; // raw Z phase of points 0..L (radians)
    std::array<double, TrailerACount> trailer{};
    // How many trailer lines the file had: all of them, except in files of an older format.
    int trailerLines = TrailerACount;

    int last() const { return static_cast<int>(zmag.size()) - 1; }
};

struct ScanFileB {
    std::string stamp;
    double format = ScanFormatB;
    bool plotAtZero = false;
    double points = 0; // N, the points of the grid; the file holds N + 1 blocks
    double start = 0;
    double end = 0;
    double step = 0;
    double plotStart = 0;
    double plotStop = 0;
    std::array<double, ScaleBCount> scales{};
    double ruler1 = 0;
    double ruler1On = 0;
    double ruler2 = 0;
    double ruler2On = 0;
    double gain = 1;
    double sens = 1;
    double divPx = 0;
    double reserved1 = 0;
    double reserved2 = 0;
    double mhzPerDiv = 1;
    std::string description;
    std::vector<double> s21db;  // blocks 0..N
    std::vector<double> s21deg; // degrees, as the file holds them (x 57.3)
    std::vector<double> s11db;
    std::vector<double> s11deg;
    std::array<double, TrailerBCount> trailer{};
    int trailerLines = TrailerBCount;
};

// Factor of the Port B phases in scan files (degrees per radian as the files have always held
// them; not 180/pi).
inline constexpr double ScanFileDegrees = 57.3;

// Reads a scan file's text into a record. Nothing, and `problem` saying what is wrong (in words
// for the user), when the text is damaged or truncated, holds a value that is not a number (such
// as NaN) or more points than the scan arrays can take. Nothing is accepted halfway.
std::optional<ScanFileA> ParseScanFileA(std::string_view text, std::string& problem);
std::optional<ScanFileB> ParseScanFileB(std::string_view text, std::string& problem);

// False, and `problem` in words for the user, when a Port B level of the record is beyond what any
// measurement gives (more than 1000 dB either way): its exports could not hold it as a number.
bool LevelsArePossible(const ScanFileB& scan, std::string& problem);

// The text of a scan file, CR LF line ends.
std::string FormatScanFileA(const ScanFileA& scan);
std::string FormatScanFileB(const ScanFileB& scan);

// The date-and-time stamp of a scan as the graph shows it and line 1 of a scan file holds it:
// "MMM d',' yy" + two blanks + "HH:MM:SS", for example "Dec 7, 26  09:05:00".
std::string ScanStamp(const platform::LocalTime& t);

// A whole line that is one number (blanks around it allowed): the number. Nothing for an empty
// line, text, a NaN or infinity written in any spelling, or a value too large for a double.
std::optional<double> StrictNumber(std::string_view line);

// The grid a port's scan lies on: the one it was measured or loaded on, else the present one. The
// limits are shared by the two ports, so the present ones may belong to the other port's scan;
// every file of a port's scan is written with its own grid.
struct ScanGrid {
    double start;
    double end;
    double step;
    int points;
    int last;
};
ScanGrid ScanGridOf(const core::AppState& st, const core::ScanSettings& recorded);

} // namespace vna::files
