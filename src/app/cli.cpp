#include "app/cli.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "cal/cal_file.h"
#include "cal/custom_cal.h"
#include "cal/portb_cal.h"
#include "cal/standard_cal.h"
#include "commands/scan_commands.h"
#include "commands/startup.h"
#include "core/atomic_file.h"
#include "core/cal_table.h"
#include "core/data_folder.h"
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

int Fail(std::FILE* err, int code, const std::string& what) {
    std::fprintf(err, "vna-cli: error %d: %s\n", code, what.c_str());
    return 1;
}

int LoadCalOfOptions(core::Program& p, const CliOptions& o, std::FILE* err) {
    core::AppState& st = p.st;
    if (!o.calFile.empty()) {
        if (cal::VNA_LoadCalFile(p, o.calFile.c_str()) != 0) {
            return Fail(err, st.LastError,
                        "the cal file " + o.calFile + " cannot be used with this instrument");
        }
    } else if (!st.cal_file.empty()) {
        cal::LoadCalFileAtStartup(p);
    }
    return 0;
}

namespace {

double FirmwareVersion(const std::string& versionText) {
    const auto ver = versionText.find("ver");
    if (ver == std::string::npos || ver + 4 >= versionText.size()) {
        return 0;
    }
    return core::TextToNumber(versionText.substr(ver + 4, 4));
}

} // namespace

int ConnectForCli(core::Program& p, std::FILE* err, bool dateCodeRequired) {
    core::AppState& st = p.st;
    st.InstrumentPresent = 1;
    st.ProgramRunning = 1;
    if (instrument::OfferOnlyUsbDevice(p)) {
        std::fprintf(err, "vna-cli: using %s\n", instrument::LinkDevice(st).c_str());
    }
    instrument::ConnectInstrument(p);
    if (st.LastError != 0) {
        if (!st.PortProblem.empty()) {
            return Fail(err, st.LastError, "the VNA is not responding: " + st.PortProblem);
        }
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
        if (st.LastError != 0 && dateCodeRequired) {
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

namespace {

std::string Id(const core::AppState& st) {
    const auto first = st.instrument_id.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : st.instrument_id.substr(first);
}

// Why a cal file named on the command line cannot be used.
std::string CalFileRefused(const core::AppState& st, const std::string& file, const std::string& role) {
    if (st.LastError == cal::CalFileNotFound) {
        return "the cal file " + file + " was not found";
    }
    return "the cal file " + file + role + " cannot be used with this instrument";
}

} // namespace

int PrintIdentification(core::Program& p, const CliOptions&, std::FILE* out, std::FILE* err) {
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

int MeasureOnePoint(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    core::AppState& st = p.st;
    instrument::SetAmplitude(p, 100);
    st.PortA_Gain = st.PortB_Gain = 1;
    st.PortA_Sens = 2;
    st.PortB_Sens = 1;
    instrument::SendGains(p);
    if (!o.calFile.empty()) {
        // The cal file brings the amplitude and gains it was made with.
        if (cal::VNA_LoadCalFile(p, o.calFile.c_str()) != 0) {
            return Fail(err, st.LastError, CalFileRefused(st, o.calFile, ""));
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
int CalibrateToFile(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    core::AppState& st = p.st;
    bool saved = false;
    if (o.calKind == "portb") {
        const std::string file = o.calFile.empty() ? st.cal_file : o.calFile;
        if (file.empty() || cal::VNA_LoadCalFile(p, file.c_str()) != 0) {
            if (!file.empty() && st.LastError == cal::CalFileNotFound) {
                return Fail(err, st.LastError, CalFileRefused(st, file, ""));
            }
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

namespace {

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
            return Fail(err, st.LastError, CalFileRefused(st, o.calFile, ""));
        }
    } else if (!st.cal_file.empty()) {
        cal::LoadCalFileAtStartup(p);
        if (st.LastError != 0) {
            return Fail(err, st.LastError, CalFileRefused(st, st.cal_file, " of the settings"));
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
    if (std::fabs(st.start_freq - o.start) > 1e-9 || std::fabs(st.end_freq - o.stop) > 1e-9 ||
        std::fabs(st.delta_freq - o.step) > 1e-12) {
        // Said before the sweep, so a sweep that is not what was asked for can be stopped at once.
        std::fprintf(err,
                     "vna-cli: the sweep is moved to what the instrument and the cal allow: %.6f to %.6f MHz "
                     "in steps of %.6f MHz (asked: %.6f to %.6f MHz in steps of %.6f MHz)\n",
                     st.start_freq, st.end_freq, st.delta_freq, o.start, o.stop, o.step);
        std::fflush(err);
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

int RunCli(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err,
           const PlotImageWriter& images) {
    core::AppState& st = p.st;
    const CliCommand* command = FindCliCommand(o.command);
    if (!command) {
        return Fail(err, 1, "no command " + o.command);
    }
    const platform::LocalTime today = p.clock.now();
    core::ResetToDefaults(st, today.year, today.month, today.day);
    st.NoWindow = 1;
    if (command->prepare) {
        if (const int failed = command->prepare(p, o, err)) {
            return failed;
        }
    }
    if (o.command == "plot") {
        // The picture writer is the caller's (Qt's image writers in vna-cli).
        return PlotScanFile(p, o, images, out, err);
    }
    if (command->needs == CliNeeds::Nothing) {
        // A conversion depends on the files alone, a request on the running program: not on the
        // settings of this machine.
        return command->run(p, o, out, err);
    }
    files::ReadInitFile(p);
    if (command->defaultConfig) {
        // A calibration or a sweep needs a configuration, as on the program's first start.
        files::InstallDefaultConfig(p);
    }
    files::ReadConfigFile(p, 0);
    if (o.command == "tone") {
        return ToneToWave(p, o, out, err);
    }
    if (o.command == "speak") {
        return SpeakToWave(p, o, out, err);
    }
    if (!o.serial.empty()) {
        st.SerialDevice = o.serial;
    }
    if (o.highBaud) {
        st.HighBaud = 1;
    }
    if (command->needs == CliNeeds::Settings) {
        return command->run(p, o, out, err);
    }
    if (o.exchanges) {
        p.linkMonitor = ExchangePrinter(p, err);
    }
    if (const int failed = ConnectForCli(p, err, o.command != "test")) {
        instrument::ClosePort(p);
        return failed;
    }
    const int result = command->run(p, o, out, err);
    instrument::ClosePort(p);
    return result;
}

int ListSerialDevices(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE*) {
    const core::AppState& st = p.st;
    const std::vector<platform::SerialDeviceInfo> present = p.serial.presentDevices();
    const std::string selected = instrument::LinkDevice(st);
    bool selectedPresent = false;
    for (const platform::SerialDeviceInfo& d : present) {
        std::string line = instrument::DeviceDescription(d);
        if (const auto port = instrument::PortForDevice(d.path)) {
            line += "  port " + std::to_string(*port);
        }
        if (d.path == selected) {
            selectedPresent = true;
        }
        std::fprintf(out, "%s\n", line.c_str());
    }
    if (present.empty()) {
        std::fprintf(out, "no USB serial device is present (/dev/ttyUSB*, /dev/ttyACM*)\n");
    }
    const std::string by = !o.serial.empty() ? "named with --serial or VNA_SERIAL"
                                             : "port " + std::to_string(st.commport) + " of the settings";
    const bool numbered = o.serial.empty();
    const bool known = selectedPresent || (!numbered && std::filesystem::exists(selected));
    std::fprintf(out, "selected: %s (%s)%s\n", selected.c_str(), by.c_str(), known ? "" : ", not present");
    return 0;
}

int CheckCalFileNamed(core::Program&, const CliOptions& o, std::FILE* err) {
    std::error_code ec;
    if (!o.calFile.empty() && !std::filesystem::is_regular_file(o.calFile, ec)) {
        return Fail(err, cal::CalFileNotFound,
                    "the cal file " + o.calFile +
                        (std::filesystem::exists(o.calFile, ec) ? " is not a file" : " was not found"));
    }
    return 0;
}

int CheckOutputFolder(core::Program& p, const CliOptions& o, std::FILE* err) {
    if (const int failed = CheckCalFileNamed(p, o, err)) {
        return failed;
    }
    if (o.output.empty()) {
        return 0;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(o.output, ec)) {
        return Fail(err, 1, "--out " + o.output + " is a folder: name the file to write");
    }
    const std::string folder = core::SplitPath(o.output).folder;
    const std::string shown = folder.empty() ? std::string(".") : folder;
    if (!std::filesystem::is_directory(folder.empty() ? "." : folder, ec)) {
        return Fail(err, 1, "the folder " + shown + " of --out does not exist; nothing was measured");
    }
    if (!core::FolderIsWritable(folder.empty() ? "." : folder)) {
        return Fail(err, 1, "the folder " + shown + " of --out cannot be written; nothing was measured");
    }
    return 0;
}

} // namespace vna::app
