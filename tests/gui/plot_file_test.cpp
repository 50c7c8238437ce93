// vna-cli plot through Qt's image writers: the trace lands in the PNG (and in the SVG as a renderer
// draws it) where the chart's mapping puts it; bad input leaves no picture behind.

#include <QImage>
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <filesystem>

#include "app/cli.h"
#include "app/plot_image.h"
#include "display/chart_mapping.h"
#include "files/scan_file.h"
#include "measure/scan_replay.h"
#include "support/test_rig.h"

using namespace vna;

namespace {

// The impedances of the picture tests, in the order of the scan; the first point carries the
// start marker, so it is one that no check looks at.
const std::vector<std::complex<double>> Impedances = {{40, 10}, {50, 0}, {1e-3, 0}, {25, 0},
                                                      {100, 0}, {0, 50}, {1e9, 0}};

std::string WriteScan(test::TestRig& rig) {
    core::Program& p = rig.p();
    core::AppState& st = p.st;
    st.start_freq = 10;
    st.delta_freq = 1;
    st.last_scan_index = static_cast<int>(Impedances.size()) - 1;
    st.end_freq = st.start_freq + st.last_scan_index;
    st.scan_points = st.last_scan_index + 1;
    for (std::size_t k = 0; k < Impedances.size(); ++k) {
        p.scan.raw_zmag[k] = std::abs(Impedances[k]);
        p.scan.raw_phase[k] = std::arg(Impedances[k]);
    }
    measure::ReplayScanA(p);
    files::RecordLiveScanA(p, 0);
    const std::string scn = rig.dir.file("known.scn");
    std::string error;
    EXPECT_TRUE(app::WriteScanWithExports(p, 'a', scn, files::TouchstoneFormat::MA, error)) << error;
    return scn;
}

int Plot(const std::vector<std::string>& args, std::string& err) {
    test::TestRig rig;
    std::string error;
    const auto options = app::ParseCliOptions(args, nullptr, error);
    EXPECT_TRUE(options) << error;
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* e = ::open_memstream(&text, &size);
    const int status = app::RunCli(rig.p(), *options, stdout, e, app::QtPlotImageWriter());
    std::fclose(e);
    err = text;
    std::free(text);
    return status;
}

// The trace is the chart's red, two pixels wide and smoothed: a red pixel within one pixel of
// where the point belongs.
bool RedNear(const QImage& image, int x, int y) {
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const QColor c = image.pixelColor(x + dx, y + dy);
            if (c.red() > 180 && c.green() < 90 && c.blue() < 90) {
                return true;
            }
        }
    }
    return false;
}

void ExpectTraceWhereTheMappingPutsIt(
    const QImage& image, const std::function<display::ChartPixel(std::complex<double>)>& pixelOf) {
    ASSERT_FALSE(image.isNull());
    for (std::size_t k = 1; k < Impedances.size(); ++k) {
        const display::ChartPixel px = pixelOf(Impedances[k]);
        EXPECT_TRUE(RedNear(image, px.x, px.y)) << "point " << k << " at " << px.x << "," << px.y;
    }
    // And not everywhere: a corner of the picture is background.
    EXPECT_FALSE(RedNear(image, 2, image.height() - 3));
}

} // namespace

TEST(PlotFile, SmithAndPolarPicturesCarryTheTraceWhereTheMappingComputesIt) {
    test::TestRig rig;
    const std::string scn = WriteScan(rig);
    const auto gamma = [](std::complex<double> z) {
        return display::ReflectionOfPoint(std::abs(z), std::arg(z), 50, 0);
    };
    std::string err;

    const std::string smith = rig.dir.file("smith.png");
    ASSERT_EQ(Plot({"plot", scn, "--view", "smith", "--out", smith, "--size", "650x650"}, err), 0) << err;
    const display::SmithGeometry sg = display::SmithGeometryAtScale(1.0, 1);
    const auto smithPixel = [&](std::complex<double> z) { return display::SmithPixel(sg, gamma(z)); };
    ExpectTraceWhereTheMappingPutsIt(QImage(QString::fromStdString(smith)), smithPixel);

    const std::string polar = rig.dir.file("polar.png");
    ASSERT_EQ(Plot({"plot", scn, "--view", "polar", "--out", polar, "--size", "650x675"}, err), 0) << err;
    const display::PolarGeometry pg = display::PolarGeometryAtScale(1.0, rig.st().smithSize);
    ExpectTraceWhereTheMappingPutsIt(QImage(QString::fromStdString(polar)), [&](std::complex<double> z) {
        const display::Gamma g = gamma(z);
        return display::PolarPixel(pg, display::PolarRadius(pg, display::PolarS11, 1, g, std::abs(z)), g);
    });

    // The SVG as an independent renderer draws it, at the same pixels.
    const std::string svg = rig.dir.file("smith.svg");
    ASSERT_EQ(Plot({"plot", scn, "--view", "smith", "--out", svg, "--size", "650x650"}, err), 0) << err;
    const std::string rendered = rig.dir.file("smith_svg.png");
    ASSERT_EQ(std::system(("rsvg-convert -w 650 -h 650 -o '" + rendered + "' '" + svg + "'").c_str()), 0);
    ExpectTraceWhereTheMappingPutsIt(QImage(QString::fromStdString(rendered)), smithPixel);

    // The graph of the same scan is a picture of the window's size.
    const std::string graph = rig.dir.file("graph.png");
    ASSERT_EQ(Plot({"plot", scn, "--view", "graph", "--out", graph}, err), 0) << err;
    EXPECT_EQ(QImage(QString::fromStdString(graph)).width(), rig.st().defaultWinWidth);
}

TEST(PlotFile, BadInputIsRefusedAndLeavesNoPicture) {
    test::TestRig rig;
    const std::string scn = WriteScan(rig);
    const std::string damaged = rig.dir.file("damaged.scn");
    test::WriteFile(damaged, "this is not a scan\r\n1,2,3\r\n");
    const std::string out = rig.dir.file("out.png");
    std::string err;
    EXPECT_EQ(Plot({"plot", rig.dir.file("missing.scn"), "--view", "smith", "--out", out}, err), 1);
    EXPECT_NE(err.find("cannot be read"), std::string::npos) << err;
    EXPECT_EQ(Plot({"plot", damaged, "--view", "smith", "--out", out}, err), 1);
    EXPECT_NE(err.find("damaged.scn"), std::string::npos) << err;
    EXPECT_FALSE(app::ParseCliOptions({"plot", scn, "--view", "tdr", "--out", out}, nullptr, err));
    EXPECT_EQ(err, "--view is graph, smith or polar");
    EXPECT_EQ(Plot({"plot", scn, "--view", "smith", "--out", rig.dir.file("out.bmp")}, err), 1);
    EXPECT_EQ(Plot({"plot", scn, "--view", "smith", "--out", rig.dir.file("no/such/dir/out.png")}, err), 1);
    EXPECT_NE(err.find("cannot be written"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(rig.dir.file("out.bmp")));
}
