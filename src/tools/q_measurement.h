#pragma once

#include <string>

namespace vna::core {
struct Program;
struct AppState;
struct ScanArrays;
} // namespace vna::core

// "Q Measurement": the loaded Q of a tuned circuit from the first resonance of the last Port A
// sweep and the frequencies where the impedance phase passes 45 degrees on either side of it.
namespace vna::tools {

struct QResult {
    // 0 measured; 1 no resonance, 2 the sweep ends before the upper 45 degree point, 3 it starts
    // after the lower one.
    int error = 0;
    // Fewer than 4 points between the resonance and a 45 degree point ("Freq Resolution Too
    // Coarse"); no Q.
    bool tooCoarse = false;
    double fr = 0; // MHz
    double f1 = 0;
    double f2 = 0;
    double q = 0;
    bool moreResonances = false; // a second resonance in the sweep (the first one was used)
};

// The Q of the first resonance in `reson_freq` over the stored Port A points (the grid of the last
// Port A scan), from the +-45 degree points interpolated between the points on either side.
QResult MeasureQ(const core::AppState& st, const core::ScanArrays& scan);

// The text of the " Q Measurement" message (one item per line, CR LF).
std::string QResultText(const QResult& r);

// The menu command: the result, or why there is none, in a message; then the cursor is no longer
// being dragged.
void QMeasurement(core::Program& p);

} // namespace vna::tools
