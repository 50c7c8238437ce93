// vna-cli markers and bandwidth: the marker table and the bandwidth read-outs of the window, on a
// stored scan, with the window's own code.

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/cli.h"
#include "commands/scan_commands.h"
#include "core/atomic_file.h"
#include "core/number_text.h"
#include "core/program.h"
#include "display/markers.h"
#include "display/rulers.h"
#include "files/marker_file.h"
#include "measure/marker_commands.h"

namespace vna::app {

namespace {

int Fail(std::FILE* err, const std::string& what) {
    std::fprintf(err, "vna-cli: error 1: %s\n", what.c_str());
    return 1;
}

// A message box text on the terminal: its CR LF line breaks as plain ones.
std::string Lines(std::string text) {
    std::string out;
    for (const char c : text) {
        if (c != '\r') {
            out += c;
        }
    }
    return out;
}

bool Number(const std::string& text, double& v) {
    char* end = nullptr;
    v = std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == '\0' && std::isfinite(v);
}

std::string Mhz(double f) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", f);
    return buf;
}

// Loads the scan of `path` as the program's graph; its port, or 0 after a message on `err`.
char LoadScan(core::Program& p, const std::string& path, std::FILE* err) {
    std::string text;
    if (!core::ReadWholeFile(path, text)) {
        Fail(err, path + " cannot be read");
        return 0;
    }
    const char port = PortOfScanFile(path, text);
    if (port == 0) {
        Fail(err, path +
                      " is not a scan file (.scn, .scnb), a CSV export of a scan (.csv) or a Touchstone file "
                      "(.s1p, .s2p)");
        return 0;
    }
    p.st.PortB_on = port == 'b' ? 1 : 0;
    // No instrument: the markers take the stored scan's values.
    p.st.InstrumentPresent = 0;
    const bool loaded = port == 'a' ? commands::LoadScanFileA(p, path) : commands::LoadScanFileB(p, path);
    const display::ScanGrid g = display::GridOfPort(p.st, port == 'b');
    if (!loaded || g.count < 2) {
        Fail(err, path + " could not be read as a Port " + (port == 'a' ? "A" : "B") +
                      " scan of 2 points or more");
        return 0;
    }
    return port;
}

// The --at frequency within the scan, or a message.
bool WithinScan(const display::ScanGrid& g, double f, std::FILE* err) {
    if (f < g.start - 1e-9 || f > g.stop() + 1e-9) {
        Fail(err, "--at " + Mhz(f) + " MHz lies outside the scan (" + Mhz(g.start) + " to " + Mhz(g.stop()) +
                      " MHz)");
        return false;
    }
    return true;
}

} // namespace

int ParseMarkerArgument(CliOptions& o, const std::vector<std::string>& args, std::size_t& i,
                        std::string& error) {
    const std::string& a = args[i];
    if ((a == "markers" || a == "bandwidth") && o.command.empty()) {
        o.command = a;
        return 1;
    }
    if ((o.command == "markers" || o.command == "bandwidth") && o.input.empty() && !a.empty() &&
        a[0] != '-') {
        o.input = a;
        return 1;
    }
    if (a != "--at" && a != "--rotation" && a != "--swr" && a != "--level" && a != "--level2") {
        return 0;
    }
    if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return -1;
    }
    const std::string v = args[++i];
    if (a == "--at") {
        std::size_t from = 0;
        while (from <= v.size()) {
            const std::size_t comma = std::min(v.find(',', from), v.size());
            double f = 0;
            if (!Number(v.substr(from, comma - from), f) || !(f > 0) || f > 1000) {
                error = "--at needs frequencies in MHz, separated by commas (such as 7.05,7.1)";
                return -1;
            }
            o.at.push_back(f);
            from = comma + 1;
        }
        return 1;
    }
    double x = 0;
    if (!Number(v, x)) {
        error = a + " needs a number";
        return -1;
    }
    if (a == "--rotation") {
        if (std::fabs(x) > 36000) {
            error = "--rotation is -36000 to 36000 degrees";
            return -1;
        }
        o.rotation = x;
    } else if (a == "--swr") {
        if (x < 0 || x > 1000) {
            error = "--swr is an SWR of 0 to 1000 (below 1.01 the bandwidth is taken at SWR 2)";
            return -1;
        }
        o.swr = x;
    } else {
        if (std::fabs(x) > 200) {
            error = a + " is an S21 level in dB, -200 to 200";
            return -1;
        }
        (a == "--level" ? o.level : o.level2) = x;
    }
    return 1;
}

bool CheckMarkerOptions(const CliOptions& o, std::string& error) {
    const bool markers = o.command == "markers";
    const bool bandwidth = o.command == "bandwidth";
    if (markers && (o.input.empty() || o.at.empty())) {
        error = "markers needs a scan file and --at F[,F...]";
        return false;
    }
    if (markers && o.at.size() > static_cast<std::size_t>(core::MarkerSlots)) {
        error = "--at takes at most 20 markers";
        return false;
    }
    if (bandwidth && o.input.empty()) {
        error = "bandwidth needs a scan file";
        return false;
    }
    if (bandwidth && o.at.size() > 1) {
        error = "bandwidth takes one --at frequency";
        return false;
    }
    if (!markers && !bandwidth && !o.at.empty()) {
        error = "--at belongs to markers and bandwidth";
        return false;
    }
    if (!markers && o.rotation != 0) {
        error = "--rotation belongs to markers";
        return false;
    }
    if (!bandwidth && (!std::isnan(o.level) || !std::isnan(o.level2))) {
        error = "--level and --level2 belong to bandwidth";
        return false;
    }
    if (bandwidth && std::isnan(o.level) && !std::isnan(o.level2)) {
        error = "--level2 needs --level";
        return false;
    }
    return true;
}

int MarkersOfScanFile(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    core::AppState& st = p.st;
    const char port = LoadScan(p, o.input, err);
    if (port == 0) {
        return 1;
    }
    const bool portB = port == 'b';
    if (portB && o.rotation != 0) {
        return Fail(err, "--rotation applies to Port A markers, and " + o.input + " holds a Port B scan");
    }
    const display::ScanGrid g = display::GridOfPort(st, portB);
    display::ClearMarkerTable(st);
    for (const double f : o.at) {
        if (!WithinScan(g, f, err)) {
            return 1;
        }
        if (!display::InsertMarker(st, f)) {
            std::fprintf(err, "vna-cli: %s MHz lies within 0.0001 MHz of another marker: left out\n",
                         Mhz(f).c_str());
        }
    }
    if (!display::SortMarkers(st)) {
        return Fail(err, "Error in sorting markers.");
    }
    st.markers.markerRotation = o.rotation;
    st.markerena = 1;
    display::AfterMarkerCommand(st);
    if (!measure::RemeasureMarkers(p)) {
        return Fail(err, "the markers could not be read from the scan");
    }
    for (const std::string& line : display::MarkerWindowHeader(p, portB)) {
        std::fprintf(out, "%s\n", line.c_str());
    }
    std::fprintf(out, "%s%s\n", display::MarkerWindowHeading(st, portB).c_str(), portB ? "" : "   RL (dB)");
    for (int k = 1; k <= core::MarkerSlots; ++k) {
        if (!display::MarkerIsSet(st.markers.slot[static_cast<std::size_t>(k)])) {
            continue;
        }
        core::AppState shown = st;
        core::Marker& m = shown.markers.slot[static_cast<std::size_t>(k)];
        if (!portB && std::fabs(st.markers.markerRotation) > 0.0001) {
            // SWR and return loss of the rotated impedance: a line of Zo keeps them only when Zo is
            // the reference of the SWR too.
            m = display::RotatedMarker(st, m);
            const double phase = m[4];
            display::CompleteMarkerA(st, m);
            m[4] = phase;
        }
        const display::MarkerRowText row = display::MarkerRow(shown, k, portB);
        if (portB) {
            std::fprintf(out, "%s\n", row.first.c_str());
        } else {
            std::fprintf(out, "%s%s%s\n", row.first.c_str(), row.second.c_str(),
                         core::FormatPicture("###.###", m[6]).c_str());
        }
    }
    if (!o.output.empty()) {
        if (!measure::WriteMarkerFiles(p, o.output, true)) {
            return Fail(err, o.output + " cannot be written");
        }
        std::fprintf(out, "wrote %s and %s\n", o.output.c_str(), files::MarkerExportPath(o.output).c_str());
    }
    return 0;
}

int BandwidthOfScanFile(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    core::AppState& st = p.st;
    const char port = LoadScan(p, o.input, err);
    if (port == 0) {
        return 1;
    }
    const bool portB = port == 'b';
    const display::ScanGrid g = display::GridOfPort(st, portB);
    if (!o.at.empty() && !WithinScan(g, o.at[0], err)) {
        return 1;
    }
    if (!portB) {
        if (!std::isnan(o.level)) {
            return Fail(err, "--level measures a Port B scan, and " + o.input + " holds a Port A scan");
        }
        const double ruler = o.swr != 0 ? o.swr : st.swr_ruler;
        const int c =
            o.at.empty() ? display::LowestPoint(p.scan.scan_swr, g) : display::NearestPoint(g, o.at[0]);
        const display::SwrBandwidthResult r = display::SwrBandwidth(p.scan.scan_swr, g, c, ruler);
        if (!r.measured) {
            return Fail(err, Lines(r.message.text));
        }
        std::fprintf(out, "%s\n", Lines(r.message.text).c_str());
        return 0;
    }
    if (o.swr != 0) {
        return Fail(err, "--swr measures a Port A scan, and " + o.input + " holds a Port B scan");
    }
    if (std::isnan(o.level)) {
        return Fail(err,
                    "the bandwidth of a Port B scan needs --level DB (and --level2 DB for the shape factor)");
    }
    const int c = o.at.empty() ? display::HighestPoint(p.scan.s21_db, g) : display::NearestPoint(g, o.at[0]);
    const display::RulerBandwidthResult r =
        display::RulerBandwidth(p.scan.s21_db, g, c, true, o.level, !std::isnan(o.level2), o.level2);
    for (const display::Message& m : r.failures) {
        std::fprintf(err, "vna-cli:%s: %s\n", m.caption.c_str(), m.text.c_str());
    }
    if (!r.measured) {
        return Fail(err, r.message.text);
    }
    std::fprintf(out, "%s\n", Lines(r.message.text).c_str());
    return r.failures.empty() ? 0 : 1;
}

} // namespace vna::app
