// vna-cli plot: a saved scan drawn by the window's own drawing code into a picture file.

#include <algorithm>
#include <cstdio>

#include "app/cli.h"
#include "commands/scan_commands.h"
#include "core/atomic_file.h"
#include "core/path_split.h"
#include "core/program.h"
#include "core/text_lines.h"
#include "display/polar_plot.h"
#include "display/render.h"
#include "display/smith_chart.h"
#include "platform/canvas.h"

namespace vna::app {

namespace {

int Fail(std::FILE* err, const std::string& what) {
    std::fprintf(err, "vna-cli: error 1: %s\n", what.c_str());
    return 1;
}

std::string LowerExtension(const std::string& path) {
    const std::string name = core::SplitPath(path).name;
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : core::ToLower(name.substr(dot + 1));
}

} // namespace

int PlotScanFile(core::Program& p, const CliOptions& o, const PlotImageWriter& images, std::FILE* out,
                 std::FILE* err) {
    core::AppState& st = p.st;
    if (o.view != "graph" && o.view != "smith" && o.view != "polar") {
        return Fail(err, "unknown view " + o.view + ": the views are graph, smith and polar");
    }
    const std::string ext = LowerExtension(o.output);
    if (ext != "png" && ext != "svg") {
        return Fail(err, o.output + ": the picture is named .png or .svg");
    }
    if (!images) {
        return Fail(err, "this program has no image writer");
    }
    std::string text;
    if (!core::ReadWholeFile(o.input, text)) {
        return Fail(err, o.input + " cannot be read");
    }
    const char port = PortOfScanFile(o.input, text);
    if (port == 0) {
        return Fail(
            err, o.input + " is not a scan file (.scn, .scnb), a CSV export of a scan (.csv) or a Touchstone "
                           "file (.s1p, .s2p)");
    }
    if (o.view != "graph" && port != 'a') {
        return Fail(err, "the " + std::string(o.view == "smith" ? "Smith chart" : "polar plot") +
                             " shows a Port A scan, and " + o.input + " holds a Port B scan");
    }
    st.PortB_on = port == 'b' ? 1 : 0;
    const bool loaded =
        port == 'a' ? commands::LoadScanFileA(p, o.input) : commands::LoadScanFileB(p, o.input);
    if (!loaded) {
        return Fail(err, o.input + " could not be read as a Port " + (port == 'a' ? "A" : "B") + " scan");
    }
    // The charts are referred to the scan's own reference impedance.
    st.Zsm_real = st.Z0real;
    st.Zsm_imag = st.Z0imag;

    int width = o.width;
    int height = o.height;
    std::function<void(platform::Canvas&)> draw;
    if (o.view == "graph") {
        if (width == 0) {
            width = st.defaultWinWidth;
            height = st.defaultWinHeight;
        }
        draw = [&p](platform::Canvas& c) { display::RenderGraph(p, c, true); };
    } else if (o.view == "smith") {
        if (width == 0) {
            width = height = display::SmithChartGeometry(st.smithSize, 1).width;
        }
        const display::SmithGeometry g = display::SmithGeometryAtScale(std::min(width, height) / 650.0, 1);
        draw = [&p, g](platform::Canvas& c) {
            display::DrawSmithChart(p, c, g, {core::ChartSmith, true, false});
        };
    } else {
        if (width == 0) {
            const display::PolarGeometry g = display::PolarPlotGeometry(st.WinHeight, st.smithSize);
            width = g.width;
            height = g.height;
        }
        st.polarMode = display::PolarS11;
        st.polarScale = 1;
        const display::PolarGeometry g =
            display::PolarGeometryAtScale(std::min(width / 650.0, height / 675.0), st.smithSize);
        draw = [&p, g](platform::Canvas& c) { display::DrawPolarPlot(p, c, g, false); };
    }
    std::string error;
    if (!images(o.output, width, height, draw, error)) {
        return Fail(err, o.output + " cannot be written: " + error);
    }
    std::fprintf(out, "%s: %s of a Port %c scan, %d points, %dx%d\n", o.output.c_str(), o.view.c_str(),
                 port == 'a' ? 'A' : 'B', st.last_scan_index + 1, width, height);
    return 0;
}

} // namespace vna::app
