// vna-cli xtal and q: the crystal parameters measured at Port A, and the Q of a stored scan, with
// the window's own code.

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli.h"
#include "cal/cal_file.h"
#include "commands/scan_commands.h"
#include "commands/startup.h"
#include "core/atomic_file.h"
#include "core/program.h"
#include "files/crystal_file.h"
#include "tools/crystal.h"
#include "tools/q_measurement.h"

namespace vna::app {

namespace {

// A message box text on the terminal: its CR LF line breaks as plain ones.
std::string Lines(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c != '\r') {
            out += c;
        }
    }
    return out;
}

// The cal file of --cal, else the one of the settings; 0 or the exit code after the error.
int LoadCal(core::Program& p, const CliOptions& o, std::FILE* err) {
    core::AppState& st = p.st;
    if (!o.calFile.empty()) {
        return LoadCalOfOptions(p, o, err);
    }
    if (st.cal_file.empty()) {
        return Fail(err, 1, "no cal file: name one with --cal");
    }
    cal::LoadCalFileAtStartup(p);
    if (st.LastError != 0) {
        return Fail(err, st.LastError, "the cal file " + st.cal_file + " of the settings cannot be used");
    }
    return 0;
}

// The number the next crystal of the data file at `path` takes: one more than its last, 1 for a
// new file. -1 after the error when the file is not a crystal data file.
double NextCrystalNumber(const std::string& path, std::FILE* err) {
    std::string text;
    if (!core::FileExists(path)) {
        return 1;
    }
    std::vector<files::CrystalRow> rows;
    std::string problem;
    if (!core::ReadWholeFile(path, text) || !files::ReadCrystalFile(text, rows, problem)) {
        Fail(err, 1,
             path + " is not a crystal data file" + (problem.empty() ? "" : " (" + problem + ")") +
                 "; nothing was measured");
        return -1;
    }
    return rows.empty() ? 1 : std::floor(rows.back().number) + 1;
}

} // namespace

std::optional<std::string> CheckCrystalOptions(const CliOptions& o) {
    if (!(o.nominal > 0)) {
        return "xtal needs --nominal MHZ, the crystal's nominal frequency";
    }
    return std::nullopt;
}

std::optional<std::string> CheckQOptions(const CliOptions& o) {
    if (o.input.empty()) {
        return "q needs a Port A scan file";
    }
    return std::nullopt;
}

int PrepareCrystal(core::Program& p, const CliOptions& o, std::FILE* err) {
    if (const int failed = CheckOutputFolder(p, o, err)) {
        return failed;
    }
    // A data file chosen by mistake is found out before the crystal is measured.
    return !o.output.empty() && NextCrystalNumber(o.output, err) < 0 ? 1 : 0;
}

int CrystalToTerminal(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    core::AppState& st = p.st;
    if (!st.ConfigLoaded) {
        return Fail(err, 1, "no configuration file could be read, and the measurement needs one");
    }
    commands::ResetInstrumentSettings(p);
    if (const int failed = LoadCal(p, o, err)) {
        return failed;
    }
    st.PortB_on = 0;
    const int result = tools::MeasureCrystalAt(p, o.nominal);
    if (result != tools::CrystalMeasured) {
        return Fail(err, result, "the crystal was not measured");
    }
    std::fprintf(out, "Crystal Parameters\n");
    for (const tools::CrystalField& f : tools::CrystalFields(st)) {
        std::string label = f.label;
        label.resize(32, ' ');
        std::fprintf(out, "%s%s%s\n", label.c_str(), f.text.c_str(), f.warn ? "   (above 20 pF)" : "");
    }
    if (!o.output.empty()) {
        const double number = NextCrystalNumber(o.output, err);
        std::string error;
        if (number < 0 || !tools::AppendCrystalData(p, o.output, number, error)) {
            return number < 0 ? 1 : Fail(err, 1, o.output + " was not changed: " + error);
        }
        std::fprintf(out, "wrote %s (crystal %.0f)\n", o.output.c_str(), number);
    }
    return 0;
}

int QOfScanFile(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    core::AppState& st = p.st;
    std::string text;
    if (!core::ReadWholeFile(o.input, text)) {
        return Fail(err, 1, o.input + " cannot be read");
    }
    if (PortOfScanFile(o.input, text) != 'a') {
        return Fail(err, 1, o.input + " is not a Port A scan (.scn, a Port A CSV export or .s1p)");
    }
    st.PortB_on = 0;
    st.InstrumentPresent = 0;
    if (!commands::LoadScanFileA(p, o.input)) {
        return Fail(err, 1, o.input + " could not be read as a Port A scan");
    }
    const tools::QResult r = tools::MeasureQ(st, p.scan);
    if (r.tooCoarse) {
        return Fail(err, 1,
                    "Freq Resolution Too Coarse: there are not enough data points around the resonance point "
                    "(the scan step size is too large for this circuit)");
    }
    if (r.error != 0) {
        return Fail(err, r.error,
                    "Scan data is not valid for a tuned circuit with one resonant point. Err=" +
                        std::to_string(r.error));
    }
    std::fprintf(out, "%s\n", Lines(tools::QResultText(r)).c_str());
    return 0;
}

} // namespace vna::app
