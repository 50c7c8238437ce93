#include "app/cli.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cal/cal_file.h"
#include "cal/custom_cal.h"
#include "cal/portb_cal.h"
#include "cal/standard_cal.h"
#include "commands/scan_commands.h"
#include "commands/startup.h"
#include "core/atomic_file.h"
#include "core/cal_table.h"
#include "core/number_text.h"
#include "core/path_split.h"
#include "core/program.h"
#include "core/text_lines.h"
#include "files/config_file.h"
#include "files/csv_export.h"
#include "files/default_config.h"
#include "files/init_file.h"
#include "files/scan_file.h"
#include "instrument/commands.h"
#include "instrument/date_code.h"
#include "instrument/health.h"
#include "instrument/identification.h"
#include "instrument/raw_reading.h"
#include "instrument/self_sweep.h"
#include "instrument/serial_link.h"
#include "measure/averaging.h"
#include "measure/interpolation.h"
#include "measure/scan_limits.h"
#include "measure/sweep.h"

namespace vna::app {

namespace {

int Fail(std::FILE* err, int code, const std::string& what) {
    std::fprintf(err, "vna-cli: error %d: %s\n", code, what.c_str());
    return 1;
}

double FirmwareVersion(const std::string& versionText) {
    const auto ver = versionText.find("ver");
    if (ver == std::string::npos || ver + 4 >= versionText.size()) {
        return 0;
    }
    return core::TextToNumber(versionText.substr(ver + 4, 4));
}

// Connects, identifies and checks the instrument as the program's start-up does. 0 when the
// instrument is ready, else the exit code after the error was printed.
int Connect(core::Program& p, std::FILE* err) {
    core::AppState& st = p.st;
    st.InstrumentPresent = 1;
    st.ProgramRunning = 1;
    instrument::ConnectInstrument(p);
    if (st.LastError != 0) {
        return Fail(err, st.LastError,
                    "the VNA is not responding on " + st.PortName +
                        " (check the power, the cable and the port)");
    }
    instrument::IdentifyInstrument(p, 1);
    if (!st.InstrumentPresent) {
        return Fail(err, st.LastError ? st.LastError : 10, "the device on " + st.PortName + " is not a VNA");
    }
    if (st.VersionText.find("flash") != std::string::npos) {
        instrument::ReadDateCode(p);
        if (st.LastError != 0) {
            return Fail(err, st.LastError, "the unit's date code could not be read or written");
        }
    } else {
        instrument::CheckModel(p);
        if (!st.InstrumentPresent) {
            return Fail(err, 10, "This program is only valid for the VNA.");
        }
    }
    instrument::CheckFirmware(p);
    if (!st.ProgramRunning || !st.InstrumentPresent) {
        return Fail(err, 10, "This program requires firmware version 2.50 or higher.");
    }
    instrument::IdentifyInstrument(p, 1);
    if (st.IdentState != 1) {
        return Fail(err, st.LastError ? st.LastError : 10, "the VNA stopped answering");
    }
    return 0;
}

std::string Id(const core::AppState& st) {
    const auto first = st.instrument_id.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : st.instrument_id.substr(first);
}

int Identify(core::Program& p, std::FILE* out, std::FILE* err) {
    core::AppState& st = p.st;
    const double temperature = instrument::ReadTemperature(p);
    if (st.LastError != 0) {
        return Fail(err, st.LastError, "the temperature was not read");
    }
    instrument::CheckSupply(p);
    std::fprintf(out, "device:      %s (%d baud)\n", st.PortName.c_str(), st.BaudRate);
    std::fprintf(out, "version:     %s\n", st.VersionText.c_str());
    std::fprintf(out, "firmware:    %.2f\n", FirmwareVersion(st.VersionText));
    std::fprintf(out, "ID:          %s\n", Id(st).c_str());
    if (st.TempSensor) {
        std::fprintf(out, "temperature: %.1f F\n", temperature);
    } else {
        std::fprintf(out, "temperature: no sensor\n");
    }
    std::fprintf(out, "supply:      %.2f V\n", st.SupplyVolts);
    if (st.LastError != 0) {
        return Fail(err, st.LastError,
                    st.LastError == 17 ? "the DC supply voltage is outside its limits"
                                       : "the supply was not read");
    }
    return 0;
}

int Point(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    core::AppState& st = p.st;
    instrument::SetAmplitude(p, 100);
    st.PortA_Gain = st.PortB_Gain = 1;
    st.PortA_Sens = 2;
    st.PortB_Sens = 1;
    instrument::SendGains(p);
    if (!o.calFile.empty()) {
        // The cal file brings the amplitude and gains it was made with.
        if (cal::VNA_LoadCalFile(p, o.calFile.c_str()) != 0) {
            return Fail(err, st.LastError,
                        "the cal file " + o.calFile + " cannot be used with this instrument");
        }
    }
    measure::ApplyAveraging(p, o.average > 0 ? o.average : st.average);
    instrument::SetRelays(p, 3);
    st.Measuring = 1;
    st.freq = o.freq;
    st.PortBMode = o.port == 'b' ? 1 : 0;
    if (o.port == 'b') {
        instrument::MeasurePortBPoint(p);
    } else {
        instrument::MeasurePortAPoint(p);
    }
    const int error = st.LastError;
    st.Measuring = 0;
    instrument::SetRelays(p, 0);
    if (error != 0) {
        return Fail(err, error, "the reading at " + core::NumText(o.freq, 6) + " MHz failed");
    }
    std::fprintf(out, "frequency:   %.6f MHz, port %c\n", st.freq, o.port == 'b' ? 'B' : 'A');
    std::fprintf(out, "MagLoad:     %.3f\n", st.MagLoad);
    std::fprintf(out, "MagRef:      %.3f\n", st.MagRef);
    std::fprintf(out, "PhaseDiff:   %.4f deg\n", st.PhaseDiff * 57.296);
    if (o.port == 'b') {
        std::fprintf(out, "ratio:       %.3f dB\n", 20 * std::log10(st.MagLoad / st.MagRef));
    } else {
        std::fprintf(out, "raw Z:       %.4f %+.4fj ohm\n", st.RsRaw, st.XsRaw);
    }
    if (!o.calFile.empty()) {
        measure::InterpolateAtFreq(p);
        const core::ScanPoint& pt = p.point;
        std::fprintf(out, "Rs:          %.4f ohm\n", pt.rs);
        std::fprintf(out, "Xs:          %.4f ohm\n", pt.xs);
        std::fprintf(out, "|Z|:         %.4f ohm\n", pt.zmag);
        std::fprintf(out, "phase:       %.3f deg\n", pt.zphase * 57.296);
        std::fprintf(out, "Rp:          %.4f ohm\n", pt.rp);
        std::fprintf(out, "Xp:          %.4f ohm\n", pt.xp);
    }
    return 0;
}

// Runs a calibration with its questions on the terminal; the cal file goes to --out (the Ui's
// save dialog answers with it).
int Calibrate(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    core::AppState& st = p.st;
    bool saved = false;
    if (o.calKind == "portb") {
        const std::string file = o.calFile.empty() ? st.cal_file : o.calFile;
        if (file.empty() || cal::VNA_LoadCalFile(p, file.c_str()) != 0) {
            return Fail(err, st.LastError != 0 ? st.LastError : cal::CalFileNotFound,
                        "Port B is calibrated onto the Port A calibration of this instrument: name its cal "
                        "file with --cal FILE");
        }
        saved = cal::PortBCal(p, 1) && st.cal_file == o.output;
    } else if (o.calKind == "custom") {
        saved = cal::CustomCal(p);
    } else {
        saved = cal::Cal_A(p);
    }
    if (!saved) {
        return Fail(err, st.LastError != 0 ? st.LastError : 1,
                    "the calibration was not completed; no cal file was written");
    }
    std::fprintf(out, "%s: %s calibration, %d Port A points, %d Port B points\n", st.cal_file.c_str(),
                 o.calKind.c_str(), p.cal.cal_points, st.portb_cal_ok ? p.cal.bcal_points : 0);
    return 0;
}

// The extension of a path in lower case, without its point.
std::string Extension(const std::string& path) {
    const std::string name = core::SplitPath(path).name;
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : core::ToLower(name.substr(dot + 1));
}

// The port whose scan a file holds: by its extension, or by the column line of a CSV export.
char PortOfFile(const std::string& path, const std::string& text) {
    const std::string ext = Extension(path);
    if (ext == "scn" || ext == "s1p") {
        return 'a';
    }
    if (ext == "scnb" || ext == "s2p") {
        return 'b';
    }
    if (ext == "csv") {
        const auto lines = core::SplitLines(text);
        if (lines.size() >= 5 && lines[4].rfind("Freq(MHz),SWR", 0) == 0) {
            return 'a';
        }
        if (lines.size() >= 5 && lines[4].rfind("Freq(MHz), S11mag", 0) == 0) {
            return 'b';
        }
    }
    return 0;
}

// The text of a file of the given kind from the present scan of a port; nothing when that kind
// cannot hold that port's scan.
std::optional<std::string> ScanText(core::Program& p, char port, const std::string& ext,
                                    files::TouchstoneFormat format) {
    const bool a = port == 'a';
    if (ext == "csv") {
        return a ? files::CsvTextA(p, p.clock.now()) : files::CsvTextB(p, p.clock.now());
    }
    if (a && ext == "scn") {
        return files::FormatScanFileA(files::CaptureScanA(p));
    }
    if (!a && ext == "scnb") {
        return files::FormatScanFileB(files::CaptureScanB(p));
    }
    if (a && ext == "s1p") {
        return files::TouchstoneTextA(p, format);
    }
    if (!a && ext == "s2p") {
        return files::TouchstoneTextB(p, format);
    }
    return std::nullopt;
}

std::string Without(const std::string& path, const std::string& ext) {
    return path.substr(0, path.size() - ext.size() - 1);
}

} // namespace

char PortOfScanFile(const std::string& path, const std::string& text) {
    return PortOfFile(path, text);
}

int ConvertScanFile(core::Program& p, const std::string& in, const std::string& outPath,
                    files::TouchstoneFormat format, std::FILE* out, std::FILE* err) {
    std::string text;
    if (!core::ReadWholeFile(in, text)) {
        return Fail(err, 1, in + " cannot be read");
    }
    const char port = PortOfFile(in, text);
    if (port == 0) {
        return Fail(
            err, 1,
            in + " is not a scan file (.scn, .scnb), a CSV export of a scan (.csv) or a Touchstone file "
                 "(.s1p, .s2p)");
    }
    const std::string ext = Extension(outPath);
    if (ext != "scn" && ext != "scnb" && ext != "csv" && ext != "s1p" && ext != "s2p") {
        return Fail(err, 1, outPath + ": the output is named .scn, .scnb, .csv, .s1p or .s2p");
    }
    p.st.PortB_on = port == 'b' ? 1 : 0;
    const bool loaded = port == 'a' ? commands::LoadScanFileA(p, in) : commands::LoadScanFileB(p, in);
    if (!loaded) {
        return Fail(err, 1, in + " could not be read as a Port " + (port == 'a' ? "A" : "B") + " scan");
    }
    const auto result = ScanText(p, port, ext, format);
    if (!result) {
        return Fail(err, 1,
                    std::string("a Port ") + (port == 'a' ? "A" : "B") + " scan cannot be written as ." +
                        ext + (port == 'a' ? " (Port A: .scn, .csv, .s1p)" : " (Port B: .scnb, .csv, .s2p)"));
    }
    std::string error;
    if (!core::WriteFileAtomic(outPath, *result, &error)) {
        return Fail(err, 1, outPath + " cannot be written: " + error);
    }
    std::fprintf(out, "%s: Port %c scan, %d points, %.6f to %.6f MHz\n", outPath.c_str(),
                 port == 'a' ? 'A' : 'B', p.st.last_scan_index + 1, p.st.start_freq,
                 p.st.start_freq + p.st.delta_freq * std::max(0, p.st.last_scan_index));
    return 0;
}

// Why a sweep ended early, from the code it left and the state of its last reading.
std::string SweepFailure(const core::AppState& st, int code) {
    const std::string at = " at " + core::NumText(st.freq, 6) + " MHz";
    switch (code) {
        case 10:
            return "the instrument stopped answering" + at + " (no data from " + st.PortName + ")";
        case 17:
            // Five readings in a row that failed their checksum leave no reading at all: saying
            // "no reference signal" would send the user looking at the wrong part.
            if (st.LinkOk <= 0) {
                return "the instrument's replies were damaged (checksum errors)" + at;
            }
            if (st.AdcWords[1] < 10) {
                return "no reference signal came from the instrument" + at;
            }
            return "Port B overload" + at + ": the signal is too strong even for the receiver's lowest range";
        case 1274:
            return "overload at the RF input" + at + ": the signal is too strong for the converter";
        default:
            return "the sweep ended" + at;
    }
}

int SweepToFiles(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    core::AppState& st = p.st;
    const bool b = o.port == 'b';
    if (!st.ConfigLoaded) {
        return Fail(err, 1, "no configuration file could be read, and a sweep needs one");
    }
    // The receiver starts where the program's start-up puts it, not where the last user of the
    // instrument left it (a unit left at a high gain overloads at once on a strong signal).
    commands::ResetInstrumentSettings(p);
    if (!o.calFile.empty()) {
        if (cal::VNA_LoadCalFile(p, o.calFile.c_str()) != 0) {
            return Fail(err, st.LastError,
                        "the cal file " + o.calFile + " cannot be used with this instrument");
        }
    } else if (!st.cal_file.empty()) {
        cal::LoadCalFileAtStartup(p);
        if (st.LastError != 0) {
            return Fail(err, st.LastError,
                        "the cal file of the settings (" + st.cal_file +
                            ") cannot be used with this instrument");
        }
    } else {
        return Fail(err, 1, "no cal file: name one with --cal");
    }
    if (b && !st.portb_cal_ok) {
        return Fail(err, 1, "the cal file holds no Port B calibration");
    }
    st.PortB_on = b ? 1 : 0;
    st.plot_at_zero = 0;
    const measure::SavedLimits saved = measure::SaveLimits(p);
    st.start_freq = o.start;
    st.end_freq = o.stop;
    st.delta_freq = o.step;
    measure::ApplyNewLimits(p, saved);
    if (st.LastError != 0) {
        return Fail(err, st.LastError, "the scan limits cannot be used with this instrument and cal file");
    }
    // The sweep stops at the stop frequency asked for, not at the end of the graph's axis, and
    // never plans a point past it.
    const int points =
        std::max(1, static_cast<int>(std::floor((st.end_freq - st.start_freq) / st.delta_freq + 1e-6)) + 1);
    if (o.average > 0) {
        measure::ApplyAveraging(p, o.average);
    }
    st.live_scan = 1;
    st.last_scan_index = -1;
    if (b) {
        measure::sweepPortB(p, points);
    } else {
        measure::sweepPortA(p, points);
    }
    const int error = st.LastError;
    const int measured = st.last_scan_index + 1;
    if (measured <= 0) {
        return Fail(err, error != 0 ? error : 1,
                    "the sweep measured no point" +
                        (error != 0 ? ": " + SweepFailure(st, error) : std::string()));
    }
    if (const int bad = measure::FirstPointNotANumber(p, o.port, measured); bad >= 0) {
        // Files of such values could not be read back: nothing is written.
        return Fail(err, 1,
                    "the sweep's results are not numbers from " +
                        core::NumText(st.start_freq + st.delta_freq * bad, 6) +
                        " MHz on (check the line extension, Zo and the cal file); no file was written");
    }
    if (b) {
        // The Port B file holds the points of its grid: here the points the sweep took.
        st.scan_points = measured;
    }
    std::string why;
    const auto written = WriteScanWithExports(p, o.port, o.output, o.format, why);
    if (!written) {
        return Fail(err, 1, why);
    }
    for (const std::string& name : *written) {
        std::fprintf(out, "wrote:       %s\n", name.c_str());
    }
    const double last = st.start_freq + st.delta_freq * (measured - 1);
    std::fprintf(out, "sweep:       Port %c, %d points, %.6f to %.6f MHz, step %.6f MHz\n", b ? 'B' : 'A',
                 measured, st.start_freq, last, st.delta_freq);
    if (b) {
        const auto& db = p.scan.s21_db;
        const auto [lo, hi] = std::minmax_element(db.begin(), db.begin() + measured);
        std::fprintf(out, "S21:         %.2f to %.2f dB\n", *lo, *hi);
    } else {
        std::fprintf(out, "min SWR:     %.3f at %.6f MHz\n", st.min_swr, st.min_swr_freq);
        for (double f : p.scan.reson_freq) {
            if (f > 0) {
                std::fprintf(out, "resonance:   %.6f MHz\n", f);
            }
        }
    }
    if (error != 0) {
        return Fail(err, error,
                    "the sweep stopped after " + std::to_string(measured) + " points, at " +
                        core::NumText(last, 6) +
                        " MHz (the points measured were written): " + SweepFailure(st, error));
    }
    return 0;
}

std::optional<std::vector<std::string>> WriteScanWithExports(core::Program& p, char port, std::string path,
                                                             files::TouchstoneFormat format,
                                                             std::string& error) {
    const bool a = port == 'a';
    const std::string scanExt = a ? "scn" : "scnb";
    if (Extension(path).empty()) {
        path += "." + scanExt;
    }
    if (Extension(path) != scanExt) {
        error = path + ": a Port " + (a ? "A" : "B") + " scan file is named ." + scanExt;
        return std::nullopt;
    }
    const std::string base = Without(path, scanExt);
    const std::vector<std::pair<std::string, std::string>> files = {
        {path, scanExt},
        {a ? files::CsvNameA(path) : files::CsvNameB(path), "csv"},
        {base + (a ? ".s1p" : ".s2p"), a ? "s1p" : "s2p"},
    };
    std::vector<std::string> written;
    for (const auto& [name, ext] : files) {
        const auto text = ScanText(p, port, ext, format);
        std::string why;
        if (!text || !core::WriteFileAtomic(name, *text, &why)) {
            error = name + " cannot be written: " + why;
            return std::nullopt;
        }
        written.push_back(name);
    }
    return written;
}

std::string CliUsage() {
    return "usage: vna-cli [--serial PATH] [--data-dir DIR] [--high-baud] [--verbose] [--yes] identify\n"
           "       vna-cli [...] point --port a|b --freq MHZ [--average N] [--cal FILE]\n"
           "       vna-cli [...] cal standard|custom|portb --out FILE [--cal FILE]\n"
           "       vna-cli [...] sweep a|b --start F1 --stop F2 --step DF [--average N] [--cal FILE] --out "
           "FILE\n"
           "       vna-cli [...] bandscan --start F1 --stop F2 --step DF [--high] [--out FILE.csv]\n"
           "       vna-cli [...] generator --start F1 --stop F2 --step DF [--settling N] [--marker F]...\n"
           "       vna-cli convert IN --out OUT [--format ri|ma|db]\n"
           "       vna-cli [--data-dir DIR] request --port a|b --start F1 --stop F2 --step DF [--timeout S]\n"
           "       vna-cli plot SCAN --view graph|smith|polar --out FILE.png|FILE.svg [--size WxH]\n"
           "The instrument is on the numbered port of the settings unless --serial (or VNA_SERIAL) names a\n"
           "device. identify prints the identification, firmware, ID, temperature and supply voltage;\n"
           "point measures one frequency and prints the raw magnitudes, phase difference and raw "
           "impedance;\nwith --cal (Port A) also the corrected Rs, Xs, |Z|, phase, Rp and Xp.\n"
           "cal runs a calibration with its questions on the terminal (Enter = Continue, q = Cancel) and\n"
           "writes the cal file to --out; portb adds Port B to the Port A cal file named with --cal.\n"
           "sweep runs the program's Port A or Port B sweep (frequencies in MHz) with the cal file named\n"
           "(else the one of the settings) and writes the scan file FILE (.scn or .scnb), its CSV export\n"
           "and its Touchstone file (.s1p or .s2p) beside it.\n"
           "bandscan lets the instrument step from F1 to F2 MHz by itself (--high: +12 dB) and prints one\n"
           "row per step, the frequency in MHz and the raw 16-bit level, or writes them to --out.\n"
           "generator makes the instrument a swept source from F1 to F2 (a step above 20 is a number of\n"
           "points) with up to four --marker frequencies, until Enter, SIGINT or SIGTERM stops it.\n"
           "convert turns a scan file (.scn, .scnb), a CSV export (.csv) or a Touchstone file (.s1p, .s2p)\n"
           "into another of these kinds, by the extensions; it needs no instrument.\n"
           "request asks the program running on the same data folder (with externalControl 2 or 3 in\n"
           "its config file) for one sweep and prints the path of the CSV file it wrote.\n"
           "plot draws a scan file as the window shows it (the graph, or a Port A scan's Smith chart or\n"
           "polar plot) into a PNG or SVG picture; it needs no instrument and no display.\n";
}

std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args,
                                          const char* (*getenv)(const char*), std::string& error) {
    CliOptions o;
    if (getenv) {
        if (const char* s = getenv("VNA_SERIAL")) {
            o.serial = s;
        }
        if (const char* h = getenv("VNA_HOME")) {
            o.dataDir = h;
        }
    }
    bool haveFreq = false;
    bool havePort = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return std::nullopt;
            }
            return args[++i];
        };
        if (a == "--timeout") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            char* end = nullptr;
            o.timeout = std::strtod(v->c_str(), &end);
            if (end == v->c_str() || *end != '\0' || !(o.timeout > 0) || o.timeout > 86400) {
                error = "--timeout needs seconds (up to 86400)";
                return std::nullopt;
            }
        } else if (a == "--start" || a == "--stop" || a == "--step") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            char* end = nullptr;
            const double mhz = std::strtod(v->c_str(), &end);
            // The generator's step may also be a number of points.
            const double largest = a == "--step" ? 1e6 : 1000;
            if (end == v->c_str() || *end != '\0' || !(mhz > 0) || mhz > largest) {
                error = a + " needs a frequency in MHz";
                return std::nullopt;
            }
            (a == "--start" ? o.start : a == "--stop" ? o.stop : o.step) = mhz;
        } else if (a == "--serial" || a == "--data-dir" || a == "--port" || a == "--freq" ||
                   a == "--average" || a == "--cal" || a == "--out" || a == "--format") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            if (a == "--serial") {
                o.serial = *v;
            } else if (a == "--data-dir") {
                o.dataDir = *v;
            } else if (a == "--cal") {
                o.calFile = *v;
            } else if (a == "--port") {
                if (*v != "a" && *v != "b" && *v != "A" && *v != "B") {
                    error = "--port is a or b";
                    return std::nullopt;
                }
                o.port = static_cast<char>((*v)[0] | 0x20);
            } else if (a == "--out") {
                o.output = *v;
            } else if (a == "--format") {
                const auto f = files::TouchstoneFormatFromName(*v);
                if (!f) {
                    error = "--format is ri, ma or db";
                    return std::nullopt;
                }
                o.format = *f;
            } else if (a == "--freq") {
                char* end = nullptr;
                o.freq = std::strtod(v->c_str(), &end);
                if (end == v->c_str() || *end != '\0' || !(o.freq > 0) || o.freq > 1000) {
                    error = "--freq needs a frequency in MHz";
                    return std::nullopt;
                }
                haveFreq = true;
            } else {
                o.average = std::atoi(v->c_str());
                if (o.average < 1 || o.average > 1024) {
                    error = "--average is 1 to 1024";
                    return std::nullopt;
                }
            }
        } else if (a == "--settling" || a == "--marker") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            char* end = nullptr;
            const double n = std::strtod(v->c_str(), &end);
            const bool number = end != v->c_str() && *end == '\0' && n >= 0;
            if (a == "--settling") {
                if (!number || n > 100000 || n != std::floor(n)) {
                    error = "--settling needs a whole number of 0 or more";
                    return std::nullopt;
                }
                o.settling = static_cast<int>(n);
            } else {
                if (!number || n > 1000 || o.markers.size() >= 4) {
                    error = "--marker needs a frequency in MHz (at most four markers)";
                    return std::nullopt;
                }
                o.markers.push_back(n);
            }
        } else if (a == "--view" || a == "--size") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            if (a == "--view") {
                if (*v != "graph" && *v != "smith" && *v != "polar") {
                    error = "--view is graph, smith or polar";
                    return std::nullopt;
                }
                o.view = *v;
            } else {
                int w = 0;
                int h = 0;
                char tail = 0;
                if (std::sscanf(v->c_str(), "%dx%d%c", &w, &h, &tail) != 2 || w < 1 || h < 1 || w > 8000 ||
                    h > 8000) {
                    error = "--size is WIDTHxHEIGHT in pixels, 1 to 8000 each";
                    return std::nullopt;
                }
                o.width = w;
                o.height = h;
            }
        } else if (a == "--high") {
            o.high = true;
        } else if (a == "--high-baud") {
            o.highBaud = true;
        } else if (a == "--verbose" || a == "-v") {
            o.verbose = true;
        } else if (a == "--yes") {
            o.yes = true;
        } else if ((a == "identify" || a == "point" || a == "sweep" || a == "convert" || a == "cal" ||
                    a == "bandscan" || a == "generator" || a == "request" || a == "plot") &&
                   o.command.empty()) {
            o.command = a;
        } else if (o.command == "cal" && o.calKind.empty() &&
                   (a == "standard" || a == "custom" || a == "portb")) {
            o.calKind = a;
        } else if (o.command == "sweep" && !havePort && (a == "a" || a == "b" || a == "A" || a == "B")) {
            o.port = static_cast<char>(a[0] | 0x20);
            havePort = true;
        } else if ((o.command == "convert" || o.command == "plot") && o.input.empty() && !a.empty() &&
                   a[0] != '-') {
            o.input = a;
        } else {
            error = "unknown argument " + a;
            return std::nullopt;
        }
    }
    if (o.command.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    if (o.command == "convert" && (o.input.empty() || o.output.empty())) {
        error = "convert needs a file and --out FILE";
        return std::nullopt;
    }
    if (o.command == "plot" && (o.input.empty() || o.output.empty())) {
        error = "plot needs a scan file and --out FILE.png or FILE.svg";
        return std::nullopt;
    }
    if (o.command == "point" && !haveFreq) {
        error = "point needs --freq";
        return std::nullopt;
    }
    if (o.command == "cal" && (o.calKind.empty() || o.output.empty())) {
        error = "cal needs standard, custom or portb and --out FILE";
        return std::nullopt;
    }
    if (!o.calFile.empty() && o.command == "cal" && o.calKind != "portb") {
        error = "--cal names the Port A calibration of cal portb";
        return std::nullopt;
    }
    if (o.command == "request" && (o.start <= 0 || o.stop <= 0 || o.step <= 0)) {
        error = "request needs --start, --stop and --step";
        return std::nullopt;
    }
    if (o.command == "sweep") {
        if (!havePort) {
            error = "sweep needs the port: sweep a or sweep b";
            return std::nullopt;
        }
        if (o.start <= 0 || o.stop <= 0 || o.step <= 0 || o.output.empty()) {
            error = "sweep needs --start, --stop, --step and --out";
            return std::nullopt;
        }
        if (o.stop <= o.start) {
            error = "--stop must lie above --start";
            return std::nullopt;
        }
        if (o.step > measure::MaxSweepStep) {
            error = "--step is at most" + core::NumText(measure::MaxSweepStep, 0) +
                    " MHz: the sweeps take no larger steps";
            return std::nullopt;
        }
    }
    if (o.command == "bandscan" || o.command == "generator") {
        if (o.start <= 0 || o.stop <= 0 || o.step <= 0) {
            error = o.command + " needs --start, --stop and --step";
            return std::nullopt;
        }
        if (o.stop <= o.start) {
            error = "--stop must lie above --start";
            return std::nullopt;
        }
        if (o.command == "bandscan" &&
            (o.stop - o.start) / o.step + 1 > instrument::BandScanSampleLimit + 1e-6) {
            error = "--step gives more than" + core::NumText(instrument::BandScanSampleLimit, 0) +
                    " levels: a band scan takes at least" +
                    core::NumText((o.stop - o.start) / (instrument::BandScanSampleLimit - 1), 6) +
                    " MHz steps over this span";
            return std::nullopt;
        }
    }
    if (o.high && o.command != "bandscan") {
        error = "--high belongs to bandscan";
        return std::nullopt;
    }
    if ((o.settling >= 0 || !o.markers.empty()) && o.command != "generator") {
        error = "--settling and --marker belong to generator";
        return std::nullopt;
    }
    if (!o.calFile.empty() && o.command != "cal" && o.command != "sweep" &&
        (o.command != "point" || o.port != 'a')) {
        error = "--cal corrects a Port A point (point --port a)";
        return std::nullopt;
    }
    return o;
}

int RunCli(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err,
           const PlotImageWriter& images) {
    core::AppState& st = p.st;
    const platform::LocalTime today = p.clock.now();
    core::ResetToDefaults(st, today.year, today.month, today.day);
    if (o.command == "convert") {
        // A conversion depends on the files alone, not on the settings of this machine.
        return ConvertScanFile(p, o.input, o.output, o.format, out, err);
    }
    if (o.command == "plot") {
        return PlotScanFile(p, o, images, out, err);
    }
    if (o.command == "request") {
        // The running program does the work; this side only talks to its registry.
        return RequestFromProgram(p, o, out, err);
    }
    files::ReadInitFile(p);
    if (o.command == "cal" || o.command == "sweep") {
        // A calibration or a sweep needs a configuration, as on the program's first start.
        files::InstallDefaultConfig(p);
    }
    files::ReadConfigFile(p, 0);
    if (!o.serial.empty()) {
        st.SerialDevice = o.serial;
    }
    if (o.highBaud) {
        st.HighBaud = 1;
    }
    if (const int failed = Connect(p, err)) {
        instrument::ClosePort(p);
        return failed;
    }
    int result = 0;
    if (o.command == "identify") {
        result = Identify(p, out, err);
    } else if (o.command == "cal") {
        result = Calibrate(p, o, out, err);
    } else if (o.command == "sweep") {
        result = SweepToFiles(p, o, out, err);
    } else if (o.command == "bandscan") {
        result = BandScanToRows(p, o, out, err);
    } else if (o.command == "generator") {
        result = RunSweepGenerator(p, o, out, err);
    } else {
        result = Point(p, o, out, err);
    }
    instrument::ClosePort(p);
    return result;
}

} // namespace vna::app
