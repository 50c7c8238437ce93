#include "files/init_file.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "core/atomic_file.h"
#include "core/number_text.h"
#include "core/path_split.h"
#include "core/program.h"
#include "core/text_lines.h"

namespace vna::files {

using core::AppendNumText;
using core::FileIsWriteProtected;
using core::JoinPath;
using core::Nint;
using core::NumText;
using core::OneLine;
using core::ReadWholeFile;
using core::SplitLines;
using core::TextToNumber;
using core::ToLower;
using core::WriteFileAtomic;

namespace {

using core::AppState;
using core::Flag;
using core::Rgb;

// The init file converts angles with its own factor, not with 180/pi, so files written by every
// version of the program read back the same.
constexpr double DegreesPerRadian = 57.3;
// The reader's frequency range ends at 180 MHz whatever the instrument (the instrument's own
// maximum is set after the init file has been read).
constexpr double HighestFreq = 180;
// A text line of the file never holds more than this (a damaged file cannot blow up a path).
constexpr std::size_t MaxTextLength = 255;
constexpr const char* EndLine = "EIF - End of Init File";
// Settings of this program that the fixed line table has no place for. They follow the end line as
// keyed lines, read by their key, so a reader of the table alone passes them over.
constexpr std::string_view LegendKey = "LegendOn   ";
// The limits of the settings that the sweeps and the instrument take as they are: the same as the
// sweep's own guard and the averaging entry allow, and a clock factor close to 1 (the DDS clock
// is off by parts per thousand, not by a tenth).
constexpr double MinimumStep = 0.0000001;
constexpr double FreqCompBand = 0.1;
constexpr int MaxAveraging = 256;
constexpr int DefaultAveraging = 4;
constexpr int MaxTrend = 20;
constexpr int MaxDdsDelay = 31;
// The "Low" averaging weight; "Med" and "High" are 0.5 and 1.
constexpr double LowestAvgWeight = 0.125;
// Sane ranges where the settings themselves give none. No number of the file means anything
// beyond 1e15 (the largest is a frequency in Hz times a thousand), and no whole-number setting
// beyond a million: a damaged or hostile file must not overflow the arithmetic done on them.
constexpr double LargestNumber = 1e15;
constexpr std::int32_t LargestWholeNumber = 1000000;
constexpr std::int32_t HighestCommPort = 65000;
constexpr std::int32_t DefaultCommPort = 6;
constexpr std::int32_t DefaultRecycleDepth = 3;
// Metres: far longer than any adapter or line section a port extension stands for.
constexpr double LongestExtension = 1000;
constexpr std::int32_t LargestWindowSide = 10000;

// The writer side of the line table: every call appends one line.
class Writer {
public:
    static constexpr bool Reading = false;
    explicit Writer(int decimals) : decimals_(decimals) {}

    bool More() const { return true; }
    bool Raw(std::string_view key, std::string_view valueText, std::string_view&) {
        out += key;
        out += valueText;
        out += "\r\n";
        return false;
    }
    bool Number(std::string_view key, double value, double&) {
        // The file never holds an infinity or a NaN (a huge stored angle times 57.3 overflows, a
        // failed computation elsewhere gives NaN): the reader could not take them back.
        if (std::isnan(value)) {
            value = 0;
        } else if (std::isinf(value)) {
            value = std::copysign(std::numeric_limits<double>::max(), value);
        }
        out += key;
        AppendNumText(out, value, decimals_);
        out += "\r\n";
        return false;
    }
    bool Text(const std::string& value, std::string&) {
        out += OneLine(value);
        out += "\r\n";
        return false;
    }

    std::string out;

private:
    int decimals_;
};

// The text after the key of a keyed line: leading blanks, then the key's characters up to the
// first blank, are skipped. The key itself is not compared with anything: only positions count.
std::string_view StripKey(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && line[i] == ' ') {
        ++i;
    }
    while (i < line.size() && line[i] != ' ') {
        ++i;
    }
    return line.substr(i);
}

// The reader side: every call takes the next line; false once the file has ended, and the field
// then keeps its value.
class Reader {
public:
    static constexpr bool Reading = true;
    explicit Reader(std::vector<std::string_view> lines) : lines_(std::move(lines)) {}

    bool More() const { return next_ < lines_.size(); }
    bool Raw(std::string_view, std::string_view, std::string_view& valueText) {
        if (!More()) {
            return false;
        }
        valueText = StripKey(lines_[next_++]);
        return true;
    }
    bool Number(std::string_view key, double current, double& value) {
        std::string_view text;
        if (!Raw(key, {}, text)) {
            return false;
        }
        value = TextToNumber(text);
        // A NaN keeps the setting it would have replaced; an infinity or an absurd magnitude is
        // taken at the largest number a setting may hold, and the field's own limits follow.
        value = std::isnan(value) ? current : std::clamp(value, -LargestNumber, LargestNumber);
        return true;
    }
    bool Text(const std::string&, std::string& value) {
        if (!More()) {
            return false;
        }
        const std::string_view line = lines_[next_++];
        // A stray CR inside the line would split it when written back.
        value = OneLine(line.substr(0, std::min(line.size(), MaxTextLength)));
        return true;
    }

    // The lines after the end line, where our own keyed additions live (none when the file has no
    // end line where the table ends).
    std::vector<std::string_view> AfterEndLine() const {
        for (std::size_t k = next_; k < lines_.size(); ++k) {
            if (lines_[k] == EndLine) {
                return {lines_.begin() + static_cast<std::ptrdiff_t>(k) + 1, lines_.end()};
            }
        }
        return {};
    }

private:
    std::vector<std::string_view> lines_;
    std::size_t next_ = 0;
};

template <class Io> bool Dbl(Io& io, std::string_view key, double& field) {
    double v = 0;
    if (!io.Number(key, field, v)) {
        return false;
    }
    field = v;
    return true;
}

template <class Io> bool Int(Io& io, std::string_view key, std::int32_t& field) {
    double v = 0;
    if (!io.Number(key, field, v)) {
        return false;
    }
    field = std::clamp(Nint(v), -LargestWholeNumber, LargestWholeNumber);
    return true;
}

template <class Io> bool Flg(Io& io, std::string_view key, Flag& field) {
    double v = 0;
    if (!io.Number(key, field, v)) {
        return false;
    }
    field = v != 0 ? 1 : 0;
    return true;
}

template <class Io> bool Col(Io& io, std::string_view key, Rgb& field) {
    double v = 0;
    if (!io.Number(key, field, v)) {
        return false;
    }
    // Colours are 24-bit RGB values; whatever else a damaged file holds is cut off.
    field = static_cast<Rgb>(Nint(v)) & 0xFFFFFFu;
    return true;
}

template <class Io> bool Str(Io& io, std::string& field) {
    std::string v;
    if (!io.Text(field, v)) {
        return false;
    }
    field = std::move(v);
    return true;
}

// The value rounded to single precision (a value beyond that range stays at its largest value).
double SinglePrecision(double v) {
    if (std::isnan(v)) {
        return v;
    }
    const double limit = std::numeric_limits<float>::max();
    return static_cast<double>(static_cast<float>(std::clamp(v, -limit, limit)));
}

// Absolute value, replaced by `fallback` outside the reader's frequency range.
double LimitFreq(const AppState& st, double v, double fallback) {
    v = std::fabs(v);
    return (v < st.minimum_freq || v > HighestFreq) ? fallback : v;
}

// A scan whose end is not above its start gets the sweep 1 to 21 MHz in steps of 0.25 MHz.
void FixEmptySweep(AppState& st) {
    if (st.end_freq - st.start_freq < 0.0001) {
        st.start_freq = 1;
        st.end_freq = 21;
        st.delta_freq = 0.25;
    }
}

// The step as the scan-limits dialog shows it: enough decimals for a narrow sweep (3 to 8).
std::string DeltaFreqText(const AppState& st) {
    int d = 3;
    while (d < 8 && (st.end_freq - st.start_freq) * std::pow(10.0, d - 3) < 10) {
        ++d;
    }
    return NumText(st.delta_freq, d);
}

// A multichannel cal is remembered by its first channel: "x.chan4" becomes "x.chan1".
void NormaliseChannelCalName(std::string& calFile) {
    const std::size_t pos = calFile.rfind(".chan");
    if (pos != std::string::npos) {
        calFile.erase(pos + 1);
        calFile += "chan1";
    }
}

// Lines 2 to 248 of the file, in their order, for the writer and the reader alike.
template <class Io> void InitLines(Io& io, AppState& st, std::uint32_t msec) {
    double v = 0;
    // `freq` is kept in single precision in the file.
    if (io.Number("freq    ", SinglePrecision(st.freq), v)) {
        st.freq = LimitFreq(st, v, 1.0);
    }
    if (Dbl(io, "start_freq    ", st.start_freq)) {
        st.start_freq = LimitFreq(st, st.start_freq, 1.0);
    }
    if (Dbl(io, "end_freq    ", st.end_freq)) {
        st.end_freq = LimitFreq(st, st.end_freq, HighestFreq);
    }
    if (Dbl(io, "delta_freq    ", st.delta_freq)) {
        st.delta_freq = std::fabs(st.delta_freq);
        // No step at all is as unusable as a huge one.
        if (st.delta_freq > HighestFreq / 10 || st.delta_freq < MinimumStep) {
            st.delta_freq = (st.end_freq - st.start_freq) / 50;
        }
        FixEmptySweep(st);
        st.delta_freq_text = DeltaFreqText(st);
    }
    if (Dbl(io, "freq_comp    ", st.freq_comp) && !(std::fabs(st.freq_comp - 1) <= FreqCompBand)) {
        // A damaged factor would put every frequency somewhere else (0 sends tuning word 0).
        st.freq_comp = 1;
    }
    Dbl(io, "osc_freq    ", st.osc_freq);
    {
        std::string swrText = NumText(st.swr_scale, st.NumDecimals);
        if (st.swrLog) {
            swrText += 'L';
        }
        std::string_view text;
        if (io.Raw("swr_scale    ", swrText, text)) {
            st.swrLog = text.find('L') != std::string_view::npos ? 1 : 0;
            if (st.swrLog) {
                text.remove_suffix(1);
            }
            st.swr_scale = TextToNumber(text);
        }
    }
    Dbl(io, "zmag_scale    ", st.zmag_scale);
    Dbl(io, "phase_scale   ", st.phase_scale);
    if (Dbl(io, "Zo   ", st.Zo)) {
        if (st.Zo < st.ZoMinimum || st.Zo > 1000) {
            st.Zo = 50;
        }
        st.Z0real = st.Zo;
        st.Z0imag = 0;
    }
    Dbl(io, "VF   ", st.VF);
    Dbl(io, "cable_length  ", st.cable_length);
    Flg(io, "plot_swr   ", st.plot_swr);
    Flg(io, "plot_s11   ", st.plot_s11);
    Flg(io, "plots21   ", st.plots21);
    Flg(io, "plot_rt  ", st.plot_rt);
    Flg(io, "plot_zmagA   ", st.plot_zmagA);
    Flg(io, "plot_zmagB   ", st.plot_zmagB);
    Flg(io, "plot_rsA   ", st.plot_rsA);
    Flg(io, "plot_rsB   ", st.plot_rsB);
    Flg(io, "plot_rpA   ", st.plot_rpA);
    Flg(io, "plot_rpB   ", st.plot_rpB);
    Flg(io, "plot_Q   ", st.plot_Q);
    Flg(io, "plot_delay   ", st.plot_delay);
    Flg(io, "plot_ZphaseA   ", st.plot_ZphaseA);
    Flg(io, "plot_ZphaseB   ", st.plot_ZphaseB);
    Flg(io, "plot_phaseS21   ", st.plot_phaseS21);
    Flg(io, "plot_phaseS11   ", st.plot_phaseS11);
    if (Int(io, "commport   ", st.commport) && (st.commport < 1 || st.commport > HighestCommPort)) {
        st.commport = DefaultCommPort;
    }
    Int(io, "cursorena  ", st.cursorena);
    Flg(io, "autopoweroff   ", st.autopoweroff);
    Dbl(io, "Z0imag   ", st.Z0imag);
    if (Dbl(io, "Z0real   ", st.Z0real) && st.Z0real < st.ZoMinimum) {
        st.Z0real = 50;
        st.Z0imag = 0;
    }
    if (Int(io, "average   ", st.average) && (st.average < 1 || st.average > MaxAveraging)) {
        st.average = DefaultAveraging;
    }
    if (Dbl(io, "ExtensionLength   ", st.ExtensionLength) &&
        std::fabs(st.ExtensionLength) > LongestExtension) {
        // A longer one turns every Port A reading into noise, or into no number at all.
        st.ExtensionLength = 0;
    }
    Flg(io, "PortB_on   ", st.PortB_on);
    Dbl(io, "s21gain_scale   ", st.s21gain_scale);
    if (Dbl(io, "s21phase_scale  ", st.s21phase_scale)) {
        st.s21phase_scale = std::fabs(st.s21phase_scale);
        if (st.s21phase_scale < 1 || st.s21phase_scale > 200) {
            st.s21phase_scale = 200;
        }
    }
    Dbl(io, "s11gain_scale   ", st.s11gain_scale);
    Dbl(io, "delay_scale   ", st.delay_scale);
    Int(io, "delay_smoothing  ", st.delay_smoothing);
    Int(io, "PortB_Gain   ", st.PortB_Gain);
    if (Int(io, "PortB_Sens   ", st.PortB_Sens) && (st.PortB_Sens < 1 || st.PortB_Sens > 2)) {
        st.PortB_Sens = 1;
    }
    Int(io, "PortA_Gain   ", st.PortA_Gain);
    if (Int(io, "PortA_Sens   ", st.PortA_Sens) && (st.PortA_Sens < 1 || st.PortA_Sens > 2)) {
        st.PortA_Sens = 2;
    }
    Flg(io, "autorange   ", st.autorange);
    {
        // The two names are kept in lower case, and only when they name a file of their kind.
        std::string name;
        if (io.Text(st.config_file_name, name)) {
            name = ToLower(name);
            if (name.find(".cfg") != std::string::npos) {
                st.config_file_name = name;
            }
        }
        if (io.Text(st.cal_file_name, name)) {
            name = ToLower(name);
            if (name.find(".acal") != std::string::npos) {
                st.cal_file_name = name;
            }
        }
    }
    Flg(io, "highlight   ", st.highlight);
    Flg(io, "bandskip   ", st.bandskip);
    Dbl(io, "swr_ruler   ", st.swr_ruler);
    Int(io, "fullscan   ", st.fullscan);
    Dbl(io, "loss   ", st.loss);
    // The instrument's maximum is written for information only; start-up sets it.
    io.Number("maximumfreq   ", st.maximumfreq, v);
    if (Int(io, "trend   ", st.trend)) {
        if (st.trend < 0 || st.trend > MaxTrend) {
            st.trend = 0;
        }
        st.trendOn = st.trend >= 1 ? 1 : 0;
    }
    Int(io, "Level ", st.Level);
    if (Dbl(io, "rtloss_scale   ", st.rtloss_scale) && std::fabs(st.rtloss_scale) > 80) {
        st.rtloss_scale = 80;
    }
    Int(io, "swrminfreq   ", st.swrminfreq);
    Int(io, "swrmaxfreq   ", st.swrmaxfreq);
    Int(io, "swrmax   ", st.swrmax);
    if (Int(io, "DDSdelay   ", st.DDSdelay)) {
        st.DDSdelay = std::clamp(st.DDSdelay, 0, MaxDdsDelay);
    }
    if (Dbl(io, "avgweight   ", st.avgweight) && !(st.avgweight >= LowestAvgWeight && st.avgweight <= 1)) {
        st.avgweight = 1;
    }
    Int(io, "interpolate  ", st.interpolate);
    Str(io, st.initSpareLine);
    Str(io, st.cal_folder);
    if constexpr (!Io::Reading) {
        NormaliseChannelCalName(st.cal_file);
    }
    Str(io, st.cal_file);
    Str(io, st.config_folder);
    Str(io, st.config_file);
    Str(io, st.scan_folder);
    Str(io, st.scan_file);
    Str(io, st.spare_folder);
    Str(io, st.spare_file);
    Str(io, st.picture_folder);
    Str(io, st.picture_file);
    Int(io, "swrstyle   ", st.swrstyle);
    Int(io, "zmagstyle   ", st.zmagstyle);
    Int(io, "rsstyle   ", st.rsstyle);
    Int(io, "xsstyle   ", st.xsstyle);
    Int(io, "phasestyle  ", st.phasestyle);
    Int(io, "rtstyle   ", st.rtstyle);
    Int(io, "s11style   ", st.s11style);
    Int(io, "s21style   ", st.s21style);
    Int(io, "delaystyle   ", st.delaystyle);
    Flg(io, "voice   ", st.voice);
    Dbl(io, "Q_scale   ", st.Q_scale);
    Flg(io, "plot_at_zero   ", st.plot_at_zero);
    if (Dbl(io, "Zextension   ", st.Zextension)) {
        st.Zextension = std::fabs(st.Zextension);
        if (st.Zextension < 1 || st.Zextension > 1000) {
            st.Zextension = 50;
        }
    }
    if (Dbl(io, "ExtensionVP   ", st.ExtensionVP)) {
        st.ExtensionVP = std::fabs(st.ExtensionVP);
        if (st.ExtensionVP < 0.5 || st.ExtensionVP > 1) {
            st.ExtensionVP = 0.6666;
        }
    }
    if (io.Number("ExtensionFlag   ", st.ExtensionFlag, v)) {
        st.ExtensionFlag = Nint(std::fabs(v));
        st.ExtensionAngle = core::TwoPi * st.ExtensionLength / (st.ExtensionVP * 299.8);
    }
    Str(io, st.marker_folder);
    Str(io, st.marker_file);

    // Markers: a count line, then six lines per marker. The writer always writes every slot.
    Int(io, "markerena   ", st.markerena);
    double count = core::MarkerSlots;
    io.Number("maxmarkers   ", core::MarkerSlots, count);
    const std::int32_t groups = std::max(Nint(count), 0);
    for (std::int32_t k = 1; k <= groups && io.More(); ++k) {
        // A file that claims more markers than there are slots: the extra groups are passed over
        // so the lines after them still reach their fields.
        core::Marker spare{};
        core::Marker& m = k <= core::MarkerSlots ? st.markers.slot[k] : spare;
        if (Dbl(io, "markerFreq   ", m[0]) && m[0] < 0.001) {
            m[0] = core::MarkerNotSet;
        }
        Dbl(io, "markerRs   ", m[1]);
        Dbl(io, "markerXs   ", m[2]);
        Dbl(io, "markerPhase   ", m[4]);
        Dbl(io, "markerSwr   ", m[5]);
        Dbl(io, "markerRt   ", m[6]);
    }

    Dbl(io, "Zsm_real   ", st.Zsm_real);
    Dbl(io, "Zsm_imag   ", st.Zsm_imag);
    Dbl(io, "DDS_Amplitude   ", st.DDS_Amplitude);
    Dbl(io, "ruler_1    ", st.ruler_1);
    Int(io, "ruler1_on  ", st.ruler1_on);
    Dbl(io, "ruler_2    ", st.ruler_2);
    Int(io, "ruler2_on  ", st.ruler2_on);
    Int(io, "scana_ok   ", st.scana_ok);
    Int(io, "scanb_ok   ", st.scanb_ok);
    Int(io, "Zero_Ref   ", st.Zero_Ref);
    const std::pair<const char*, double*> angles[] = {{"Rng1       ", &st.Rng1},
                                                      {"Rng2       ", &st.Rng2},
                                                      {"Rng3       ", &st.Rng3},
                                                      {"Rng4       ", &st.Rng4},
                                                      {"Rng5       ", &st.Rng5}};
    for (const auto& [key, field] : angles) {
        if (io.Number(key, *field * DegreesPerRadian, v)) {
            *field = v / DegreesPerRadian;
        }
    }
    if (Int(io, "WinHeight  ", st.WinHeight)) {
        st.WinHeight = std::clamp(st.WinHeight, 100, LargestWindowSide);
    }
    if (Int(io, "WinWidth   ", st.WinWidth)) {
        st.WinWidth = std::clamp(st.WinWidth, 200, LargestWindowSide);
    }
    Col(io, "RedColor  ", st.RedColor);
    Col(io, "Green      ", st.Green);
    Col(io, "Magenta    ", st.Magenta);
    Col(io, "Orange     ", st.Orange);
    Col(io, "Yellow     ", st.Yellow);
    Col(io, "Blue       ", st.Blue);
    Col(io, "LightRed   ", st.LightRed);
    Col(io, "LightGreen  ", st.LightGreen);
    Col(io, "LightMagenta ", st.LightMagenta);
    Col(io, "LightOrange  ", st.LightOrange);
    Col(io, "LightYellow  ", st.LightYellow);
    Col(io, "LightBlue    ", st.LightBlue);
    // Low-current mode is kept in memory as its inverse.
    if (io.Number("LowPwrMode  ", 1 - st.DdsPowerOn, v)) {
        st.DdsPowerOn = v == 0 ? 1 : 0;
    }
    // The tick count at writing; nothing reads it back.
    io.Number("Msec   ", msec, v);
    Str(io, st.instrument_id);
    if (Int(io, "Recycle_depth  ", st.Recycle_depth)) {
        if (st.Recycle_depth < 0) {
            st.Recycle_depth = DefaultRecycleDepth;
        }
        st.RecycleDepth2 = st.Recycle_depth + 2;
    }
    Int(io, "Mux_Cal ", st.Mux_Cal);
}

const char* const MissingMessage = "The INIT data file was not found in the same folder with the .exe file.\r"
                                   "A new init file will be created when you close this program.";

std::string InitPath(const core::Program& p) {
    return JoinPath(p.st.ProgramFolder, InitFileName);
}

} // namespace

std::string ReadOnlyMessage(std::string_view name) {
    std::string text = "The file named: ";
    text += name;
    text +=
        "  \ris a Read-Only file.\rIt cannot be updated.\rMake sure the Read-Only bit for all the files in "
        "\rthe VNA folder is NOT set.";
    return text;
}

bool WriteFileOrWarn(core::Program& p, const std::string& path, std::string_view contents,
                     std::string_view name) {
    if (!FileIsWriteProtected(path) && WriteFileAtomic(path, contents)) {
        return true;
    }
    if (path.size() >= 3) {
        p.ui.message(ReadOnlyMessage(name), "");
    }
    return false;
}

std::string InitFileText(core::Program& p, std::uint32_t msec) {
    AppState& st = p.st;
    st.NumDecimals = 12;
    Writer w(st.NumDecimals);
    double unused = 0;
    w.Number("format   ", st.InitFileFormat, unused);
    InitLines(w, st, msec);
    w.out += EndLine;
    w.out += "\r\n";
    w.Number(LegendKey, st.LegendOn, unused);
    st.NumDecimals = 3;
    return std::move(w.out);
}

bool WriteInitFormatFile(core::Program& p, const std::string& path, std::string_view name) {
    const std::string text = InitFileText(p, p.clock.tickMs());
    return WriteFileOrWarn(p, path, text, name);
}

void ReadInitFormatFile(core::Program& p, const std::string& path) {
    AppState& st = p.st;
    std::string contents;
    if (!ReadWholeFile(path, contents)) {
        if (st.NoWindow) {
            // Without a window there is no .exe folder to speak of, and nothing is written at exit.
            p.ui.message("There is no settings file " + path + ": the default settings are used.",
                         " No INIT data");
        } else {
            p.ui.message(MissingMessage, " No INIT data");
        }
        FixEmptySweep(st);
        return;
    }
    st.NumDecimals = 15;
    Reader r(SplitLines(contents));
    double format = 0;
    r.Number("format   ", 0, format);
    if (Nint(format) != st.InitFileFormat) {
        st.NumDecimals = 3;
        p.ui.message("The init file is not compatible with this program.\rThe expected format is: " +
                         NumText(st.InitFileFormat, 0) +
                         "\r\r\nA new init file will be created when you close this program.",
                     " Invalid *.ini file");
        return;
    }
    InitLines(r, st, 0);
    for (std::string_view line : r.AfterEndLine()) {
        if (line.rfind(LegendKey.substr(0, LegendKey.find(' ')), 0) == 0) {
            st.LegendOn = TextToNumber(StripKey(line)) != 0 ? 1 : 0;
        }
    }
    // The marker list follows the slots that hold a frequency.
    core::RecountMarkers(st);
    st.markers.markerNext = st.markers.markerCount + 1 > core::MarkerSlots ? 0 : st.markers.markerCount + 1;
    st.NumDecimals = 3;
    FixEmptySweep(st);
}

void ReadInitFile(core::Program& p) {
    ReadInitFormatFile(p, InitPath(p));
}

bool WriteInitFile(core::Program& p) {
    return WriteInitFormatFile(p, InitPath(p), InitFileName);
}

} // namespace vna::files
