#include "cal/cal_file.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "cal/portb_cal.h"
#include "core/atomic_file.h"
#include "core/cal_table.h"
#include "core/number_text.h"
#include "core/path_split.h"
#include "core/program.h"
#include "core/text_lines.h"
#include "display/graph_geometry.h"
#include "display/status_panel.h"
#include "instrument/commands.h"
#include "measure/interpolation.h"

namespace vna::cal {

using core::BCalPoint;
using core::CalArray;
using core::CalCapacity;
using core::CalTable;
using core::SetGridInUse;
using core::StandardFirstCalIndex;

namespace {

constexpr const char* FormatCaption = "Incorrect Cal File Format";

bool Contains(std::string_view text, std::string_view what) {
    return text.find(what) != std::string_view::npos;
}

// The file's lines, one after the other; past the end every read gives an empty line and false.
class LineReader {
public:
    explicit LineReader(std::string_view text) : lines_(core::SplitLines(text)) {}
    bool next(std::string& out) {
        if (i_ >= lines_.size()) {
            out.clear();
            return false;
        }
        out.assign(lines_[i_++]);
        return true;
    }

private:
    std::vector<std::string_view> lines_;
    std::size_t i_ = 0;
};

bool UsableValue(double v) {
    return std::fabs(v) <= MaxCalValue;
}

std::string Num(const core::AppState& st, double v) {
    return core::NumText(v, st.NumDecimals);
}

// The load of one file into a table of its own; the program's table is replaced only when every
// check passed.
class Loader {
public:
    Loader(core::Program& p, std::string_view text)
        : p_(p), st_(p.st), in_(text), t_(std::make_unique<CalTable>()) {}

    bool run();
    std::unique_ptr<CalTable> table() { return std::move(t_); }
    bool portB() const { return portB_; }

private:
    bool fail(int code, const std::string& text, const std::string& caption) {
        p_.ui.message(text, caption);
        st_.LastError = code;
        return false;
    }
    bool formatError(int code, const std::string& expected, const std::string& read) {
        return fail(code, "Cal file error:\rExpected:    " + expected + "\rRead    :  " + read,
                    FormatCaption);
    }
    bool badPoint(const std::string& what, int k, bool present, const std::string& line) {
        return formatError(CalFileBadPointLine, what + " point " + core::NumText(k, 0).substr(1),
                           present ? line : std::string("the end of the file"));
    }
    bool readHeader();
    bool readPortATables();
    bool readPortB();

    core::Program& p_;
    core::AppState& st_;
    LineReader in_;
    std::unique_ptr<CalTable> t_;
    bool portB_ = false;
};

bool Loader::readHeader() {
    CalTable& t = *t_;
    std::string line;
    in_.next(line);
    // Format 1380x: the last digit may tell revisions of the same layout apart.
    if (core::Nint(core::TextToNumber(line)) / 10 != CalFileFormat / 10) {
        if (st_.InstrumentPresent) {
            p_.ui.message("The cal file is not in a compatible format for this program.", FormatCaption);
        }
        st_.LastError = CalFileWrongFormat;
        return false;
    }
    in_.next(line); // date and time of the calibration
    in_.next(line);
    bool idMatch = Contains(line, "ID=") && Contains(line, st_.instrument_id);
    if (const auto bars = line.find("||"); bars != std::string::npos) {
        t.cal_comment = bars + 3 <= line.size() ? line.substr(bars + 3) : std::string();
        line.erase(bars);
        // The writer puts two blanks between the ID and the bars.
        for (int i = 0; i < 2 && !line.empty() && line.back() == ' '; ++i) {
            line.pop_back();
        }
    }
    if (const auto id = line.find("ID="); id != std::string::npos) {
        t.instrument_id = line.substr(id + 3);
    }
    // A scan step this large means the settings do not belong to this instrument; the cal file
    // is not trusted either until the step is sane again.
    if (std::fabs(st_.delta_freq) > st_.maximumfreq / 10) {
        st_.delta_freq = 1;
        idMatch = false;
    }
    if (st_.InstrumentPresent && !idMatch) {
        return fail(
            CalFileOtherInstrument,
            "This cal file is for a different instrument.\r\rPlease load another cal file or recalibrate.",
            "Invalid cal file");
    }
    t.cal_resistor = core::TextToNumber(line);

    in_.next(line);
    t.custom_cal = 0;
    if (Contains(line, "Custom Cal")) {
        in_.next(line);
        t.custom_start_freq = core::TextToNumber(line);
        in_.next(line);
        t.custom_end_freq = core::TextToNumber(line);
        in_.next(line);
        t.custom_delta_freq = core::TextToNumber(line);
        t.custom_cal = 1;
        in_.next(line);
    }
    // Range, maximum usable frequency and temperature.
    if (const auto pos = line.find("temperature="); pos != std::string::npos) {
        const double temperature =
            core::TextToNumber(std::string_view(line).substr(std::min(line.size(), pos + 13)));
        if (temperature < 0 || temperature > 200) {
            return fail(CalFileBadTemperature,
                        "Invalid cal file, Temperature value error= " + Num(st_, temperature),
                        " Error 26805");
        }
        t.cal_temperature = temperature;
        line.erase(pos + 1);
    }
    std::string range = line;
    if (const auto muf = line.find("MUF"); muf != std::string::npos) {
        t.MUF = core::TextToNumber(std::string_view(line).substr(std::min(line.size(), muf + 4), 8));
        range = line.substr(0, muf);
    } else {
        t.MUF = st_.maximumfreq;
    }
    t.cal_max_freq = core::TextToNumber(range);
    if (st_.InstrumentPresent && std::fabs(t.cal_max_freq - st_.maximumfreq) > 0.01) {
        return fail(
            CalFileOtherRange,
            "The cal data file is not appropriate for this particular instrument.\rThis instrument has a "
            "freq range of " +
                core::NumText(core::Nint(st_.maximumfreq), 0) + " MHz.\rThe cal file has a range of " +
                Num(st_, t.cal_max_freq) + " MHz.\r\rPlease calibrate again.",
            "");
    }

    in_.next(line);
    // The source amplitude of the calibration. The procedures never go below 5 percent; a file
    // without a usable one is damaged (restoring it would silence the source).
    t.DDS_Amplitude = core::TextToNumber(line);
    if (!(t.DDS_Amplitude >= 1 && t.DDS_Amplitude <= 100)) {
        return fail(CalFileBadHeaderValue,
                    "Cal file error:\rDDS amplitude =" + Num(st_, t.DDS_Amplitude) +
                        "\rExpected:    5 to 100",
                    FormatCaption);
    }
    in_.next(line);
    t.PortA_Sens = core::Nint(core::TextToNumber(line));
    if (t.PortA_Sens != 1 && t.PortA_Sens != 2) {
        t.PortA_Sens = 2;
    }
    in_.next(line);
    // The receiver has gain steps 1..5; anything else would not fit the gain command's byte.
    t.gain_code = std::clamp(core::Nint(core::TextToNumber(line)), 1, 5);
    in_.next(line);
    const double n = core::TextToNumber(line);
    in_.next(line); // a fixed line

    // The interpolation needs index 19..21 of a standard table, and index 1..3 of a custom one.
    const int minimum = t.custom_cal ? 5 : StandardFirstCalIndex + 3;
    if (!(n >= minimum && n <= CalCapacity)) {
        return fail(CalFileBadHeaderValue,
                    "Cal file error:\rNumber of cal points =" + Num(st_, n) +
                        "\rExpected:    " + core::NumText(minimum, 0).substr(1) + " to " +
                        core::NumText(CalCapacity, 0).substr(1),
                    FormatCaption);
    }
    t.cal_points = core::Nint(n);
    if (t.custom_cal && !(t.custom_delta_freq > 0 && t.custom_end_freq > t.custom_start_freq &&
                          t.custom_start_freq >= 0 && t.custom_delta_freq <= t.custom_end_freq)) {
        return fail(CalFileBadHeaderValue,
                    "Cal file error:\rCustom Cal: Start=" + Num(st_, t.custom_start_freq) +
                        " Stop=" + Num(st_, t.custom_end_freq) + " Step=" + Num(st_, t.custom_delta_freq) +
                        "\rThese limits cannot be used.",
                    FormatCaption);
    }
    return true;
}

bool Loader::readPortATables() {
    CalTable& t = *t_;
    struct Table {
        const char* heading;
        const char* expected;
        int code;
        CalArray* re;
        CalArray* im;
    };
    const Table tables[3] = {
        {"short", "Short Circuit", CalFileNoShortHeading, &t.short_re, &t.short_im},
        {"open circuit", "Open Circuit", CalFileNoOpenHeading, &t.open_re, &t.open_im},
        {"resistance", "resistance", CalFileNoResistanceHeading, &t.std_re, &t.std_im},
    };
    std::string line;
    for (const Table& table : tables) {
        in_.next(line);
        const std::string lower = core::ToLower(line);
        if (!Contains(lower, table.heading)) {
            return formatError(table.code, table.expected, lower);
        }
        for (int k = 0; k < t.cal_points; ++k) {
            const bool present = in_.next(line);
            const PointLine pl = ParsePointLine(line);
            if (!present || !pl.c2Number || !pl.c3Number || !UsableValue(pl.c2) || !UsableValue(pl.c3)) {
                return badPoint(table.expected, k, present, line);
            }
            (*table.re)[static_cast<std::size_t>(k)] = pl.c2;
            (*table.im)[static_cast<std::size_t>(k)] = pl.c3;
        }
    }
    return true;
}

bool Loader::readPortB() {
    CalTable& t = *t_;
    std::string line;
    // " Port B cal data:" and the count line; a file without them was cut short.
    const bool heading = in_.next(line);
    if (!in_.next(line) || !heading) {
        return badPoint("Port B cal data:", 0, false, line);
    }
    double m = 0;
    if (const auto d = line.find("dumpchan="); d != std::string::npos) {
        m = core::TextToNumber(std::string_view(line).substr(0, d));
        t.dumpchan = core::Nint(core::TextToNumber(std::string_view(line).substr(d + 9)));
    } else {
        m = core::TextToNumber(line);
        t.dumpchan = 0;
    }
    if (!(m >= 0 && m <= CalCapacity)) {
        return fail(CalFileBadHeaderValue,
                    "Cal file error:\rNumber of Port B cal points =" + Num(st_, m) + "\rExpected:    0 to " +
                        core::NumText(CalCapacity, 0).substr(1),
                    FormatCaption);
    }
    t.bcal_points = core::Nint(m);
    if (t.bcal_points < 1) {
        return true;
    }
    for (int k = 1; k <= 5; ++k) {
        const bool present = in_.next(line);
        const PointLine pl = ParsePointLine(line);
        if (!present || !pl.c2Number || !pl.c3Number || !UsableValue(pl.c2) || !UsableValue(pl.c3)) {
            return badPoint("MUX channel", k, present, line);
        }
        t.chan_ref_mag[static_cast<std::size_t>(k)] = pl.c2;
        t.chan_ref_phase[static_cast<std::size_t>(k)] = pl.c3 / CalDegreesPerRadian;
    }
    in_.next(line);
    const std::string lower = core::ToLower(line);
    if (!Contains(lower, "low range")) {
        // Reported, but the data is read on: the summary error follows once the file is read.
        p_.ui.message("Cal file error:\rExpected:    low range\rRead    :  " + line, FormatCaption);
        st_.LastError = CalFileNoLowRangeHeading;
    }
    for (int i = 0; i < t.bcal_points; ++i) {
        const bool present = in_.next(line);
        const PointLine pl = ParsePointLine(line);
        if (!present || !pl.c1Number || !pl.c2Number || !pl.c3Number || !UsableValue(pl.c1) ||
            !UsableValue(pl.c2) || !UsableValue(pl.c3)) {
            return badPoint("B Low range", i, present, line);
        }
        BCalPoint& b = t.bcal[static_cast<std::size_t>(i)];
        b.freq = pl.c1;
        b.lowMag = pl.c2;
        b.lowPhase = pl.c3 / CalDegreesPerRadian;
    }
    in_.next(line); // "B High range"
    for (int i = 0; i < t.bcal_points; ++i) {
        const bool present = in_.next(line);
        const PointLine pl = ParsePointLine(line);
        if (!present || !pl.c2Number || !pl.c3Number || !UsableValue(pl.c2) || !UsableValue(pl.c3)) {
            return badPoint("B High range", i, present, line);
        }
        BCalPoint& b = t.bcal[static_cast<std::size_t>(i)];
        b.highMag = pl.c2;
        b.highPhase = pl.c3 / CalDegreesPerRadian;
    }
    portB_ = true;
    return true;
}

bool Loader::run() {
    if (!readHeader() || !readPortATables() || !readPortB()) {
        return false;
    }
    if (st_.LastError != 0) {
        p_.ui.message(" Cal File Error = " + core::NumText(st_.LastError, 0), " 92323");
        return false;
    }
    return true;
}

void RestoreNames(core::AppState& st, const std::string& file, const std::string& folder,
                  const std::string& name) {
    st.cal_file = file;
    st.cal_folder = folder;
    st.cal_file_name = name;
}

} // namespace

void LoadCalFile(core::Program& p, int showInfo) {
    core::AppState& st = p.st;
    st.LastError = 0;
    std::string text;
    if (!core::ReadWholeFile(st.cal_file, text)) {
        if (st.InstrumentPresent) {
            p.ui.message(
                "The calibration file was not found.\rPlease run the calibration procedure before doing "
                "any tests.",
                "Cal Required");
        }
        if (st.multichan_number > 0) {
            st.portb_cal_ok = 0;
        }
        st.LastError = CalFileNotFound;
        return;
    }
    Loader loader(p, text);
    if (!loader.run()) {
        if (st.LastError == 0) {
            st.LastError = CalFileWrongFormat;
        }
        return;
    }
    const bool portB = loader.portB();
    p.cal = *loader.table();
    CalTable& t = p.cal;
    SetGridInUse(t, st.minimum_freq, st.maximumfreq);
    st.DDS_Amplitude = t.DDS_Amplitude;
    st.PortA_Sens = t.PortA_Sens;
    st.PortA_Gain = t.gain_code;
    if (t.custom_cal && st.ArrayScanRunning) {
        st.start_freq = t.custom_start_freq;
        st.end_freq = t.custom_end_freq;
        st.delta_freq = t.custom_delta_freq;
    }
    instrument::SetAmplitude(p, st.DDS_Amplitude);
    instrument::SendGains(p);
    st.porta_cal_ok = 1;
    st.portb_cal_ok = portB ? 1 : 0;
    if (portB) {
        // The receiver levels the Port B calibration put in force belong to its data: the same cal
        // gives the same S21 whether it was made in this run or loaded after a restart.
        for (std::size_t g = 1; g <= 5; ++g) {
            st.PortB_LevelDb[g] = CalGainStepDb[g];
        }
    }
    st.cal_loaded = 1;
    SetCalFileName(st, st.cal_file);
    display::RefreshStatusPanel(p);
    if (showInfo) {
        p.ui.message(CalSummaryText(p), CalSummaryCaption(p));
    }
    // The point count of the grid follows the new cal (a custom cal ends the grid at its end).
    display::ComputeScaleFactors(p);
    measure::BuildInterpolation(p);
    display::RedrawGraph(p);
    // The file was accepted; a scan-limit complaint of the rebuild has been shown and is the
    // sweeps' business, not the load's outcome.
    st.LastError = 0;
}

bool ReadCalFile(core::Program& p, const std::string& path, CalTable& table) {
    core::AppState& st = p.st;
    st.LastError = 0;
    std::string text;
    if (!core::ReadWholeFile(path, text)) {
        st.LastError = CalFileNotFound;
        return false;
    }
    Loader loader(p, text);
    if (!loader.run()) {
        if (st.LastError == 0) {
            st.LastError = CalFileWrongFormat;
        }
        return false;
    }
    table = *loader.table();
    if (!loader.portB()) {
        table.bcal_points = 0;
    }
    SetGridInUse(table, st.minimum_freq, st.maximumfreq);
    return true;
}

void LoadCalFileAtStartup(core::Program& p) {
    LoadCalFile(p, 0);
}

void ChooseAndLoadCalFile(core::Program& p) {
    core::AppState& st = p.st;
    const std::string file = st.cal_file;
    const std::string folder = st.cal_folder;
    const std::string name = st.cal_file_name;
    platform::FileDialog dialog;
    dialog.title = " Load Calibration File";
    dialog.filter = "Cal Files|*.acal|MultiChan Files|*.chan1||";
    dialog.defaultExtension = "acal|chan1";
    dialog.initialFolder = core::DialogFolder(st.cal_folder, st.ProgramFolder);
    const auto chosen = p.ui.openFile(dialog);
    if (chosen && chosen->size() > 2) {
        SetCalFileName(st, *chosen);
        if (std::fabs(st.ExtensionLength) > 0.0001) {
            const platform::Answer a =
                p.ui.message("The Line Extension is set for " + Num(st, st.ExtensionLength * 100) +
                                 " cm\rWould you like to set the Line Extension to zero?",
                             "Line Extension", platform::Buttons::YesNo);
            if (a == platform::Answer::Yes) {
                st.ExtensionLength = 0;
                st.ExtensionFlag = 0;
                display::UpdateStatus(p, 4);
            }
        }
        LoadCalFile(p, 1);
        if (st.LastError != 0) {
            RestoreNames(st, file, folder, name);
        }
    }
    display::RefreshStatusPanel(p);
}

int VNA_LoadCalFile(core::Program& p, const char* path) {
    core::AppState& st = p.st;
    const std::string file = st.cal_file;
    const std::string folder = st.cal_folder;
    const std::string name = st.cal_file_name;
    SetCalFileName(st, path ? std::string(path) : std::string());
    LoadCalFile(p, 0);
    if (st.LastError != 0) {
        RestoreNames(st, file, folder, name);
    }
    return st.LastError;
}

std::string CalSummaryCaption(const core::Program& p) {
    return p.cal.custom_cal ? " Custom cal" : " Standard cal";
}

std::string CalSummaryText(const core::Program& p) {
    const core::AppState& st = p.st;
    const CalTable& t = p.cal;
    auto n3 = [](double v) { return core::NumText(v, 3); };
    std::string s;
    if (t.custom_cal) {
        s = "Custom Calibration File ---\r\rRange = " + n3(t.custom_start_freq) + " to " +
            n3(t.custom_end_freq) + " MHz\rFreq step size =" + n3(t.custom_delta_freq) + " MHz\r";
    } else {
        s = "Standard Calibration File ---\r\rRange = 5 KHz to " + n3(st.maximumfreq) + " MHz\r";
    }
    if (!t.cal_comment.empty()) {
        s += "\rComment: " + t.cal_comment + "\r";
    }
    s += "Cal resistor used was " + n3(t.cal_resistor) + " ohms\r\rZo REF for analysis = " + n3(st.Zo) +
         " ohms\r\rThis cal file is valid for Port A ";
    s += st.portb_cal_ok ? "and Port B." : "only.";
    return s;
}

} // namespace vna::cal
