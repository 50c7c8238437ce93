// vna-cli's analysis tools of the TDR and the cable: tdr and dtf, over the program's own code.

#include <cmath>
#include <cstdlib>
#include <string>

#include "app/cli.h"
#include "cal/cal_file.h"
#include "commands/startup.h"
#include "core/program.h"
#include "tools/distance_to_fault.h"
#include "tools/tdr.h"
#include "tools/tdr_commands.h"

namespace vna::app {

namespace {

// The cal file of --cal, else the one of the settings; 0 when a Port A calibration is in force.
int LoadCal(core::Program& p, const CliOptions& o, std::FILE* err) {
    core::AppState& st = p.st;
    commands::ResetInstrumentSettings(p);
    if (const int code = LoadCalOfOptions(p, o, err)) {
        return code;
    }
    if (!st.porta_cal_ok) {
        return Fail(err, 1, "no Port A calibration: name a cal file with --cal");
    }
    if (p.cal.custom_cal) {
        return Fail(err, 1, "a custom cal file is loaded: this tool needs a standard cal file");
    }
    return 0;
}

// Prints a message of the program, its lines one by one.
void PrintLines(std::FILE* out, const std::string& text) {
    std::string line;
    for (const char ch : text) {
        if (ch == '\r') {
            continue;
        }
        if (ch == '\n') {
            std::fprintf(out, "%s\n", line.c_str());
            line.clear();
        } else {
            line += ch;
        }
    }
    if (!line.empty()) {
        std::fprintf(out, "%s\n", line.c_str());
    }
}

} // namespace

int ParseLineToolArgument(CliOptions& o, const std::vector<std::string>& args, std::size_t& i,
                          std::string& error) {
    const std::string& a = args[i];
    if (a == "--high-res") {
        o.highRes = true;
        return 1;
    }
    if (a != "--max-dist" && a != "--vf") {
        return 0;
    }
    if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0) {
        error = a + " needs a value";
        return -1;
    }
    const std::string& v = args[++i];
    char* end = nullptr;
    const double n = std::strtod(v.c_str(), &end);
    if (end == v.c_str() || *end != '\0' || !std::isfinite(n) || !(n > 0)) {
        error =
            a == "--vf" ? "--vf needs a velocity factor (0.5 to 1)" : "--max-dist needs a distance in feet";
        return -1;
    }
    // Clamped as the program's entries are: the velocity factor to 0.5..1, the distance to its list.
    if (a == "--vf") {
        o.vf = tools::LimitVelocityFactor(n);
    } else {
        o.maxDist = tools::SnapTdrDistance(n);
    }
    return 1;
}

std::optional<std::string> CheckLineToolOptions(const CliOptions& o) {
    if ((o.maxDist > 0 || o.highRes) && o.command != "tdr") {
        return "--max-dist and --high-res belong to tdr";
    }
    if (o.vf > 0 && o.command != "tdr" && o.command != "dtf") {
        return "--vf belongs to tdr and dtf";
    }
    if (o.command == "tdr" && o.output.empty()) {
        return "tdr needs --out FILE.tdr";
    }
    if (o.command == "dtf" && !(o.vf > 0)) {
        return "dtf needs --vf, the velocity factor of the cable";
    }
    return std::nullopt;
}

int TdrToFile(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    core::AppState& st = p.st;
    if (const int status = LoadCal(p, o, err)) {
        return status;
    }
    if (o.average > 0) {
        st.average = o.average;
    }
    if (o.maxDist > 0) {
        st.tdrMaxDist = o.maxDist;
    }
    st.tdrHighRes = o.highRes ? 1 : 0;
    if (o.vf > 0) {
        st.VF = o.vf;
    }
    tools::TdrModeOn(p);
    const bool measured = tools::RunTdr(p);
    tools::TdrModeOff(p);
    if (!measured) {
        return Fail(err, st.LastError != 0 ? st.LastError : 1, "the TDR measurement made no trace");
    }
    if (!tools::SaveTdr(p, o.output)) {
        return Fail(err, 1, o.output + " cannot be written");
    }
    std::fprintf(out, "file:        %s\n", st.tdrFileName.c_str());
    std::fprintf(out, "points:      %d, %.6f MHz apart, velocity factor %.3f\n", p.tdr.points, p.tdr.delf,
                 st.VF);
    std::fprintf(out, "resolution:  %.3f ft (%.3f m)\n", st.feetPerIndex / 2, st.feetPerIndex * 0.1524);
    const auto step = tools::LargestTdrStep(p);
    if (!step) {
        std::fprintf(out, "no step: the line looks uniform over %.0f ft\n", st.tdrMaxDist);
        return 0;
    }
    std::fprintf(out, "line Z:      %.1f ohm\n", step->lineZ);
    std::fprintf(out, "largest step: %.2f ft (%.3f m), %.1f ohm -> %.1f ohm\n", step->distanceFeet,
                 step->distanceFeet * 0.3048, step->zBefore, step->zAfter);
    return 0;
}

int DistanceToFaultCli(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    core::AppState& st = p.st;
    if (const int status = LoadCal(p, o, err)) {
        return status;
    }
    if (o.average > 0) {
        st.average = o.average;
    }
    st.VF = o.vf;
    const tools::DtfResult r = tools::MeasureDistanceToFault(p, st.VF);
    std::string caption;
    const std::string text = tools::DtfMessage(r, &caption);
    if (r.status != tools::DtfStatus::Ok) {
        const int code = r.status == tools::DtfStatus::ReadingFailed ? r.error : 1;
        std::string line;
        for (const char ch : text) {
            line += ch == '\r' ? ' ' : ch == '\n' ? ' ' : ch;
        }
        return Fail(err, code, line);
    }
    PrintLines(out, text);
    return 0;
}

} // namespace vna::app
