#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/cal_table.h"
#include "core/progress.h"

namespace vna::core {
struct Program;
}

// What the calibration procedures share: the calibration in force before a procedure, put back
// whenever the procedure ends without a new cal file; the measuring run of one Port A standard;
// and the questions every procedure asks.
namespace vna::cal {

// The calibration in force and the settings a procedure changes while it measures, taken when the
// procedure starts.
struct PreviousCal {
    std::unique_ptr<core::CalTable> table;
    core::Flag portaOk = 0;
    core::Flag portbOk = 0;
    core::Flag loaded = 0;
    std::string file;
    std::string folder;
    std::string name;
    std::int32_t average = 4;
    double amplitude = 100;
    std::int32_t portAGain = 1;
    std::int32_t portASens = 2;
    std::int32_t portBGain = 1;
    std::int32_t portBSens = 1;
    core::Flag portBOn = 0;
    core::Flag portBMode = 0;
    double start = 0;
    double stop = 0;
    double step = 0;
    std::string stepText;
    core::Flag plotAtZero = 0;
    // A new cal file was written during the procedure.
    bool saved = false;
};

PreviousCal RememberCal(const core::Program& p);

// How the limits are treated when a procedure ends.
enum class Limits { Keep, Restore };

// The end of every procedure. When the procedure saved a cal file, that file (now named in the
// settings) is loaded, so what is in force is what was written. Otherwise the calibration in force
// before the procedure is put back as it was: table, flags, file name, amplitude and gains, so an
// abort never depends on the previous cal file still being there. Then the averaging count comes
// back, the relays go off, the interpolation is rebuilt and the graph redrawn.
void RestorePreviousCal(core::Program& p, PreviousCal& previous, Limits limits);

// Puts the previous scan limits back and recomputes the axis (no interpolation, no redraw).
void RestoreScanLimits(core::Program& p, const PreviousCal& previous);
// Sets the scan limits and recomputes the axis.
void SetScanLimits(core::Program& p, double start, double stop, double step);

enum class Standard { Short, Open, Load };

// The raw complex value a calibration stores for the last reading: 50 * MagRef / MagLoad (one
// million when MagLoad is 1 or less) at the angle PhaseLoad - PhaseRef.
void RawCalValue(const core::AppState& st, double& re, double& im);

// How the run of one standard ended.
enum class RunEnd {
    Done,
    Stopped, // the user stopped it (a key, a click, Halt or Quit)
    Failed,  // a reading failed or the reference signal was missing; the message has been shown
    Refused, // the point check refused the data and the user declined it
};

// One standard over a grid: frequency grid[i] is stored at table index firstIndex + i.
struct StandardRun {
    Standard standard = Standard::Short;
    const std::vector<double>* grid = nullptr;
    int firstIndex = 0;
    // Code of the "no reference signal" status line.
    std::string noReferenceCode = "17836";
    // Called after each good reading before it is stored; false ends the run as Refused.
    std::function<bool(int k, double f)> check;
};

// Measures the standard at every grid frequency into p.cal, with the relays on. A failed reading
// shows "Cal Data Error  freq=" f; a reference below 50 leaves the status line in `statusLine`
// (shown by the caller once the calibration in force has been put back, so the redraw of the
// graph does not wipe it). Every ending but Done switches the relays off.
RunEnd MeasureStandard(core::Program& p, const StandardRun& run, std::string& statusLine);

// Prints a status line at a position of the main window in the warning colour.
void CalStatusLine(core::Program& p, int x, int y, const std::string& text);
// Text at (100, graph bottom - 40), where the procedures leave their summary line.
void CalSummaryLine(core::Program& p, const std::string& text);
// `done` points of a standard are measured: the meter reports it, and when it does, the window
// shows "<standard>: point n of N, <time> left" where the summary line goes.
void CalProgress(core::Program& p, core::ProgressMeter& meter, int done);

// The line extension question of the procedures (Yes sets it to zero). `adapterNote` adds the
// warning that adapters attached now are nulled out by the calibration.
void LineExtensionQuestion(core::Program& p, bool adapterNote);

// The standard resistor's value, in the value dialog of that caption with the present value (below
// 1 ohm: 50) as default. Nothing when the user cancelled; a text that is not a number is refused
// and asked again.
std::optional<double> AskCalResistor(core::Program& p, const std::string& caption);

// The message of a cancelled prompt of the standard calibration.
void CalAbortedMessage(core::Program& p);
// Why a calibration ended early, shown once the calibration in force has been put back.
void ShowCalDataNotSaved(core::Program& p);

// A number as the procedures' messages print it (the present number of decimals).
std::string CalNumber(const core::AppState& st, double v);

// A temperature the cal file can hold (its reader takes 0 to 200 degF); otherwise "unknown".
double CalFileTemperature(double t);

} // namespace vna::cal
