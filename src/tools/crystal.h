#pragma once

#include <string>
#include <vector>

namespace vna::core {
struct Program;
struct AppState;
} // namespace vna::core

// "Measure Crystal": the series and parallel resonances of a quartz crystal at Port A found by
// phase searches around its nominal frequency, its series resistance and holder capacitance, and
// from them the motional inductance and capacitance and the Q; the "Crystal Parameters" dialog and
// the crystal data file.
namespace vna::tools {

// The codes a measurement ends with (also left in `LastError` when it is not 0).
enum CrystalOutcome {
    CrystalMeasured = 0,
    CrystalNotStarted = 1,        // refused before the first reading (calibration, range, cal limits)
    CrystalWrongNominal = 270,    // " Resonant Freq Incorrect"
    CrystalSeriesNotFound = 271,  // " Error 271": the coarse search saw no resonance
    CrystalSeriesUnclear = 272,   // " Error 272": the 45 degree points are not where they should be
    CrystalParallelNotFound = 273 // " Error 273"
};

// The search window around the nominal frequency: min(0.5, 0.02 nominal) MHz.
double CrystalWindow(double nominal);

// The whole measurement at `nominal` MHz once the nominal frequency is known: the readings with
// averaging 4 (restored afterwards, with the relays, the frequency and the port), each plotted on
// the graph in the colour of its search step, and the messages of every failure. The results go
// into the `xtal` fields of the state only when the measurement is complete; a key or a click (the
// sweep's stop flag) ends the search under way as a failure. A reading the instrument does not
// answer ends it with a message and the reading's error. Returns one of CrystalOutcome, or the
// instrument's error code.
int MeasureCrystalAt(core::Program& p, double nominal);

// The fields of the "Crystal Parameters" dialog from the results in the state, in its order, with
// the decimals it shows them with; `warn` marks the capacitance above 20 pF (shown in red).
struct CrystalField {
    std::string label;
    std::string text;
    bool warn = false;
};
std::vector<CrystalField> CrystalFields(const core::AppState& st);

// Appends the results in the state, as crystal number `number`, to the crystal data file at `path`
// (started with its date line and heading when there is none). A file that is not a crystal data
// file is left as it is; false with `error` saying why.
bool AppendCrystalData(core::Program& p, const std::string& path, double number, std::string& error);

// The menu command: asks the nominal frequency ("Crystal Frequency"; an empty answer keeps the
// last one), measures, and shows the "Crystal Parameters" dialog, whose "SAVE" adds the results
// to a crystal data file.
void MeasureCrystal(core::Program& p);

// "SAVE" of the dialog: asks the sequence number and the file, and appends the results.
void SaveCrystal(core::Program& p);

} // namespace vna::tools
