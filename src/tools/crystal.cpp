#include "tools/crystal.h"

#include <algorithm>
#include <cmath>

#include "core/atomic_file.h"
#include "core/delay.h"
#include "core/entry.h"
#include "core/number_text.h"
#include "core/path_split.h"
#include "core/program.h"
#include "display/graph_geometry.h"
#include "display/graph_text.h"
#include "files/crystal_file.h"
#include "instrument/commands.h"
#include "measure/averaging.h"
#include "measure/point_data.h"
#include "platform/canvas.h"

namespace vna::tools {

using core::AppState;
using core::Program;

namespace {

constexpr double Pi = 3.14159265358979;
constexpr double Deg45 = 0.7854;     // radians
constexpr double CoarseLimit = 0.87; // radians: clearly below or above the series resonance
constexpr double PhaseTolerance = 25 / 57.29578;
constexpr int CoarsePasses = 8;
constexpr int BisectionSteps = 20;
constexpr int ParallelReadings = 200;
constexpr int CrystalAveraging = 4;
constexpr double LargeCapacitance = 20; // pF
constexpr const char* DataFilter = "Xtal Files(*.xdat)|*.xdat||";

// The colours of the search steps on the graph.
constexpr platform::Rgb StepRed = platform::MakeRgb(240, 0, 0);
constexpr platform::Rgb StepBlue = platform::MakeRgb(0, 0, 240);
constexpr platform::Rgb StepGreen = platform::MakeRgb(0, 170, 0);
constexpr platform::Rgb StepYellow = platform::MakeRgb(220, 200, 0);

std::string Fixed(double v, int decimals) {
    return core::PictureFixed(v, decimals);
}

// A reading of the searches on the graph: a small square at its frequency and impedance phase, and
// the two values above the graph box.
void PlotSearchReading(Program& p, double f, double phase, platform::Rgb color) {
    platform::Canvas* c = p.ui.mainCanvas();
    const core::GraphGeometry& g = p.display.g;
    if (!c || g.box.right <= g.box.left) {
        return;
    }
    const int x = display::FreqToX(g, f);
    const int y = static_cast<int>(
        std::lround(std::clamp(g.centreY - phase * 57.29578 * g.zphaseFactor, static_cast<double>(g.box.top),
                               static_cast<double>(g.box.bottom))));
    c->setRasterOp(platform::RasterOp::Copy);
    c->fillRect(x - 2, y - 2, x + 3, y + 3, color);
    const int top = std::max(0, g.box.top - g.lineH - 2);
    c->fillRect(g.box.left, top, g.box.right, g.box.top - 1, platform::MakeRgb(255, 255, 255));
    display::SetGraphFont(*c, p.st, 0, display::GraphFontWeight(p.st));
    display::TextAt(*c, g.box.left + 5, top,
                    "Freq = " + Fixed(f, 6) + " MHz    Phase = " + Fixed(phase * 57.29578, 2) + " deg",
                    color);
    c->flush();
}

// The measurement under way: its readings, what it saw last, and the state it must give back.
class Session {
public:
    explicit Session(Program& p) : p_(p), st_(p.st) {
        savedAverage_ = st_.average;
        savedFreq_ = st_.freq;
        savedPortBMode_ = st_.PortBMode;
        st_.PortBMode = 0;
        st_.SweepRunning = 1;
        instrument::SetAveraging(p_, CrystalAveraging);
        instrument::SetRelays(p_, 3);
    }
    ~Session() {
        const int error = st_.LastError;
        st_.Measuring = 0;
        st_.SweepRunning = 0;
        instrument::SetRelays(p_, 0);
        measure::ApplyAveraging(p_, savedAverage_);
        st_.freq = savedFreq_;
        st_.PortBMode = savedPortBMode_;
        st_.LastError = error;
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // One corrected reading at f, plotted in `color`; false when the instrument gave none (after a
    // message) or the user stopped the measurement.
    bool read(double f, platform::Rgb color) {
        if (!st_.SweepRunning) {
            return false;
        }
        last = f;
        if (!measure::TakePointReading(p_, f)) {
            readingFailed = st_.LastError != 0 ? st_.LastError : 10;
            p_.ui.message("No reading at " + Fixed(f, 6) + " MHz (error " + std::to_string(readingFailed) +
                              "): the crystal measurement has stopped.",
                          " Measure Crystal");
            st_.SweepRunning = 0;
            return false;
        }
        phase = p_.point.zphase;
        PlotSearchReading(p_, f, phase, color);
        // A key or a click clears the stop flag here.
        p_.ui.processEvents();
        return true;
    }

    double phase = 0;
    double last = 0; // the frequency of the last reading asked for
    int readingFailed = 0;

private:
    Program& p_;
    AppState& st_;
    int savedAverage_ = 4;
    double savedFreq_ = 0;
    core::Flag savedPortBMode_ = 0;
};

// The equivalent series capacitance of the last reading (pF); negative when it is not capacitive.
double CapacitanceOfReading(const Program& p, double f) {
    const double xs = p.point.xs;
    if (xs >= 0 || f <= 0) {
        return -1;
    }
    return -1e6 / (2 * Pi * f * xs);
}

int Fail(Program& p, int code, const std::string& text, const std::string& caption) {
    p.ui.message(text, caption);
    p.st.LastError = code;
    return code;
}

// The end of a measurement that stopped because a reading failed or the user stopped it: the
// message of the failed search, unless the reading failure has already been reported.
int SearchFailed(Program& p, const Session& s, int code, const std::string& text,
                 const std::string& caption) {
    if (s.readingFailed != 0) {
        p.st.LastError = s.readingFailed;
        return s.readingFailed;
    }
    return Fail(p, code, text, caption);
}

struct Bisection {
    double f = 0;
    double phase = 0;
};

// 20 halvings of lo..hi towards the frequency where the phase passes `level`, rising through it
// (the series resonance) or falling (the parallel one). The last reading is the result.
bool Bisect(Session& s, double lo, double hi, double level, bool rising, platform::Rgb color,
            Bisection& out) {
    for (int i = 0; i < BisectionSteps; ++i) {
        const double mid = (lo + hi) / 2;
        if (!s.read(mid, color)) {
            return false;
        }
        out = {mid, s.phase};
        if ((s.phase > level) == rising) {
            hi = mid;
        } else {
            lo = mid;
        }
    }
    return true;
}

// The custom cal covers the readings: at least 1 MHz below the nominal frequency and down to
// 0.78 of it, and 0.5 MHz above it.
bool CustomCalCovers(Program& p, double nominal) {
    const core::CalTable& c = p.cal;
    if (!c.custom_cal) {
        return true;
    }
    const double start = std::min(0.78 * nominal, nominal - 1);
    const double end = nominal + 0.5;
    if (c.custom_start_freq <= start + 1e-9 && c.custom_end_freq >= end - 1e-9) {
        return true;
    }
    p.ui.message("Note: the custom cal range is not appropriate for this crystal measurement.\r\n"
                 "The min cal limits are:\r\n" +
                     core::NumText(start, 3) + " to" + core::NumText(end, 3),
                 " Custom Cal");
    return false;
}

} // namespace

double CrystalWindow(double nominal) {
    return std::min(0.5, 0.02 * nominal);
}

int MeasureCrystalAt(Program& p, double nominal) {
    AppState& st = p.st;
    if (!st.porta_cal_ok) {
        return Fail(p, CrystalNotStarted, "The instrument needs to be calibrated.", "Cal Problem  4482");
    }
    const double r = CrystalWindow(nominal);
    // Every reading lies within 0.78 of the nominal frequency and the parallel search above it.
    if (!(0.78 * nominal >= st.minimum_freq && nominal + r <= st.maximumfreq)) {
        return Fail(p, CrystalNotStarted,
                    "The crystal frequency must lie between " + Fixed(st.minimum_freq / 0.78, 3) + " and " +
                        Fixed(st.maximumfreq - 0.5, 3) + " MHz.",
                    "Crystal Frequency");
    }
    if (!CustomCalCovers(p, nominal)) {
        st.LastError = CrystalNotStarted;
        return CrystalNotStarted;
    }
    st.LastError = 0;
    Session s(p);

    // The holder capacitance, well below resonance (where the motional arm adds little).
    double cp = -1;
    for (const double factor : {0.78, 0.9, 0.95}) {
        if (!s.read(factor * nominal, StepRed)) {
            return SearchFailed(p, s, CrystalNotStarted, "The crystal measurement was stopped.",
                                " Measure Crystal");
        }
        cp = CapacitanceOfReading(p, factor * nominal);
        if (cp >= 0) {
            break;
        }
    }
    if ((cp < 0 || cp > LargeCapacitance) && !st.xtalCapacitanceWarned) {
        st.xtalCapacitanceWarned = 1;
        p.ui.message("Parallel capacitance = " + Fixed(cp, 3) +
                         " pf\r\n"
                         "Make sure the crystal test holder has\r\n"
                         "been included in the calibration procedure.\r\n"
                         "The short, open & resistor cal loads should be placed\r\n"
                         "at the same point where the crystal is connected.",
                     " Large capacitance");
    }

    // Below the window the crystal must look like a capacitor.
    if (!s.read(nominal - r, StepRed)) {
        return SearchFailed(p, s, CrystalNotStarted, "The crystal measurement was stopped.",
                            " Measure Crystal");
    }
    if (s.phase > -Deg45) {
        return Fail(p, CrystalWrongNominal, "Check the nominal resonant freq of the crystal and reenter it.",
                    " Resonant Freq Incorrect");
    }

    // Coarse search: through the window in steps that halve after every pass without success.
    double step = 2 * r / 100;
    double below = nominal - r;
    double above = 0;
    bool found = false;
    for (int pass = 0; pass < CoarsePasses && !found && st.SweepRunning; ++pass) {
        below = nominal - r;
        const int readings = static_cast<int>(std::lround(2 * r / step));
        for (int i = 0; i <= readings; ++i) {
            const double f = nominal - r + i * step;
            if (!s.read(f, StepRed)) {
                break;
            }
            if (s.phase < -CoarseLimit) {
                below = f;
            } else if (s.phase >= CoarseLimit) {
                above = f;
                found = true;
                break;
            }
        }
        step /= 2;
    }
    const std::string lastChecked = "Last freq checked was " + Fixed(s.last, 6);
    if (!found) {
        return SearchFailed(p, s, CrystalSeriesNotFound,
                            "Series resonant freq was not found.\r\n" + lastChecked, " Error 271");
    }

    // The -45 and +45 degree points, and the zero between them.
    Bisection minus;
    Bisection plus;
    if (!Bisect(s, below, above, -Deg45, true, StepBlue, minus) ||
        !Bisect(s, minus.f, above, Deg45, true, StepGreen, plus)) {
        return SearchFailed(p, s, CrystalSeriesUnclear, "Series resonant freq was not found.", " Error 272");
    }
    if (std::fabs(std::fabs(minus.phase) - Deg45) > PhaseTolerance ||
        std::fabs(std::fabs(plus.phase) - Deg45) > PhaseTolerance || plus.phase == minus.phase) {
        return Fail(p, CrystalSeriesUnclear, "Series resonant freq was not found.", " Error 272");
    }
    const double fs = minus.f - (plus.f - minus.f) * minus.phase / (plus.phase - minus.phase);
    if (!s.read(fs, StepGreen)) {
        return SearchFailed(p, s, CrystalSeriesUnclear, "Series resonant freq was not found.", " Error 272");
    }
    const double rs = p.point.rs;
    const double q = fs / (plus.f - minus.f);

    // Parallel resonance: up from the +45 degree point until the phase turns negative.
    double lastPositive = plus.f;
    double firstNegative = 0;
    for (int i = 1; i <= ParallelReadings; ++i) {
        const double f = plus.f + i * 0.01 * fs;
        if (!s.read(f, StepYellow)) {
            break;
        }
        if (s.phase > 0) {
            lastPositive = f;
        } else {
            firstNegative = f;
            break;
        }
    }
    Bisection parallel;
    if (firstNegative <= 0 || !Bisect(s, lastPositive, firstNegative, 0, false, StepYellow, parallel)) {
        return SearchFailed(p, s, CrystalParallelNotFound, "Parallel resonant freq was not found.",
                            " Error 273");
    }
    const double fp = parallel.f;

    st.xtalNominal = nominal;
    st.xtalCp = cp;
    st.xtalFs = fs;
    st.xtalFp = fp;
    st.xtalRs = rs;
    st.xtalQ = q;
    st.xtalCs = 2 * cp * (fp - fs) / fp;
    st.xtalLs = st.xtalCs != 0 ? 1e6 / (4 * Pi * Pi * fs * fs * st.xtalCs) : 0;
    return CrystalMeasured;
}

std::vector<CrystalField> CrystalFields(const AppState& st) {
    return {
        {"Series Resonant Freq (MHz)", Fixed(st.xtalFs, 6), false},
        {"Parallel Resonant Freq (MHz)", Fixed(st.xtalFp, 6), false},
        {"Series Resistance", Fixed(st.xtalRs, 3), false},
        {"Inductance (mH)", Fixed(st.xtalLs * 0.001, 4), false},
        {"Series Capacitance (pF)", Fixed(st.xtalCs, 7), false},
        {"Parallel Capacitance (pF)", Fixed(st.xtalCp, 4), st.xtalCp > LargeCapacitance},
        {"Q at Series Resonance", Fixed(st.xtalQ, 0), false},
    };
}

bool AppendCrystalData(Program& p, const std::string& path, double number, std::string& error) {
    const AppState& st = p.st;
    std::string existing;
    if (core::FileExists(path) && !core::ReadWholeFile(path, existing)) {
        error = "it cannot be read";
        return false;
    }
    const files::CrystalRow row{number,    st.xtalFs, st.xtalFp, st.xtalRs, st.xtalLs * 0.001,
                                st.xtalCs, st.xtalCp, st.xtalQ};
    std::string text;
    if (!files::AppendCrystalRow(existing, row, p.clock.now(), text, error)) {
        return false;
    }
    if (core::FileIsWriteProtected(path)) {
        error = "it is a Read-Only file";
        return false;
    }
    return core::WriteFileAtomic(path, text, &error);
}

void SaveCrystal(Program& p) {
    AppState& st = p.st;
    const auto number = core::EnterNumber(p, "Xtal sequence number:", " Crystal Data File",
                                          Fixed(std::max(0.0, std::floor(st.xtalNumber)) + 1, 0));
    if (!number || *number <= 0.001) {
        return;
    }
    platform::FileDialog dialog;
    dialog.title = " Crystal Data File";
    dialog.filter = DataFilter;
    dialog.defaultExtension = "xdat";
    dialog.initialFolder = core::DialogFolder(st.lastDialogFolder, st.ProgramFolder);
    const auto path = p.ui.saveFile(dialog);
    if (!path || path->size() < 3) {
        return;
    }
    st.lastDialogFolder = core::SplitPath(*path).folder;
    std::string error;
    if (!AppendCrystalData(p, *path, *number, error)) {
        p.ui.message("The file named: " + *path + "\r\nwas not changed: " + error + ".",
                     " Crystal Data File");
        return;
    }
    st.xtalNumber = *number;
}

void MeasureCrystal(Program& p) {
    AppState& st = p.st;
    if (st.SweepRunning || !core::RequireHardware(p)) {
        return;
    }
    if (st.xtalNominal < 0.1) {
        st.xtalNominal = 12.096;
    }
    const auto text =
        p.ui.enterText("Enter the Crystal Frequency in MHz", "Crystal Frequency", Fixed(st.xtalNominal, 6));
    if (!text) {
        return;
    }
    double nominal = st.xtalNominal;
    if (text->find_first_not_of(" \t") != std::string::npos) {
        const auto entered = core::ParseEntry(p, *text, "Crystal Frequency");
        if (!entered) {
            return;
        }
        nominal = *entered;
    }
    if (MeasureCrystalAt(p, nominal) != CrystalMeasured) {
        return;
    }
    // The results stay up until closed; "SAVE" adds them to a data file and shows them again.
    for (;;) {
        platform::Form form;
        form.title = "Crystal Parameters";
        for (const CrystalField& f : CrystalFields(st)) {
            platform::FormField field = platform::MakeField(platform::FormField::Kind::Text, f.label, f.text);
            field.readOnly = true;
            if (f.warn) {
                field.color = platform::MakeRgb(240, 0, 0);
            }
            form.fields.push_back(field);
        }
        form.cancelCaption.clear();
        form.extraButtons = {"SAVE"};
        if (p.ui.form(form) != platform::FormExtraButton) {
            return;
        }
        SaveCrystal(p);
    }
}

} // namespace vna::tools
