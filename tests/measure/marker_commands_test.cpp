// Markers and bandwidths against the simulated unit: the bandwidths of real sweeps against their
// analytic values, markers re-measured against the device's truth, and the marker file and dialog
// refusing bad input without touching the table.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "core/text_lines.h"
#include "display/markers.h"
#include "display/rulers.h"
#include "measure/marker_commands.h"
#include "measure/sweep.h"
#include "measure/sweep_support.h"

using namespace vna;
using test::SimTest;

namespace {

// A series R, L, C against 50 ohm: SWR 2 where |X| = sqrt(350) (|Gamma| = 1/3 with R = 30), and
// X = wL - 1/(wC) puts the two edges |X| / (2 pi L) apart.
constexpr double SeriesL = 1.2e-6;
double SeriesSwr2Bandwidth() {
    return std::sqrt(350.0) / (2 * std::numbers::pi * SeriesL) / 1e6;
}

// The edges of a Butterworth band-pass of order n where its response is `db` down: the low-pass
// frequency W with 1 + W^2n = 10^(db/10), and f - f0^2/f = W bw about the centre.
std::pair<double, double> BandPassEdges(double f0, double bw, int n, double db) {
    const double w = std::pow(std::pow(10.0, db / 10) - 1, 1.0 / (2 * n)) * bw;
    const double high = (w + std::sqrt(w * w + 4 * f0 * f0)) / 2;
    return {high - w, high};
}

} // namespace

TEST_F(SimTest, BandwidthsOfRealSweepsAgreeWithTheirAnalyticValues) {
    {
        auto& r = rig();
        ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "rlc-series:r=30,l=1.2u,c=80p"));
        test::Limits(r, 12, 21, 0.02);
        measure::sweepPortA(r.p());
        ASSERT_EQ(r.st().LastError, 0);
        const display::ScanGrid g = display::GridOfPort(r.st(), false);
        const display::SwrBandwidthResult b =
            display::SwrBandwidth(r.p().scan.scan_swr, g, display::LowestPoint(r.p().scan.scan_swr, g), 2);
        ASSERT_TRUE(b.measured) << b.message.text;
        // Tolerance 0.5 %: the noise of a reading moves SWR 2 by about 0.01, which the slope of
        // about 1.1 per MHz at the edges turns into 0.01 MHz at most, and the linear step between
        // points 0.02 MHz apart adds less than 0.001 MHz.
        EXPECT_NEAR(b.fHigh - b.fLow, SeriesSwr2Bandwidth(), 0.005 * SeriesSwr2Bandwidth()) << b.message.text;
        const double f0 = 1 / (2 * std::numbers::pi * std::sqrt(SeriesL * 80e-12)) / 1e6;
        // The SWR is flat at its minimum: 0.01 of noise there spans about 0.25 MHz.
        EXPECT_NEAR(b.minFreq, f0, 0.25);
    }
    {
        auto& r = rig();
        const double f0 = 10.7;
        const double bw = 0.3;
        ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "bandpass:f0=10.7,bw=0.3,order=4,il=0"));
        r.st().PortB_on = 1;
        r.st().plot_s11 = 0;
        r.st().plotInsertionLoss = 0;
        test::Limits(r, 10.0, 11.4, 0.002);
        measure::sweepPortB(r.p());
        ASSERT_EQ(r.st().LastError, 0);
        const display::ScanGrid g = display::GridOfPort(r.st(), true);
        const display::RulerBandwidthResult b =
            display::RulerBandwidth(r.p().scan.s21_db, g, display::NearestPoint(g, f0), true, -3, true, -40);
        ASSERT_TRUE(b.found[0] && b.found[1]) << b.message.text;
        const auto e3 = BandPassEdges(f0, bw, 4, 3);
        const auto e40 = BandPassEdges(f0, bw, 4, 40);
        // Tolerance 2 kHz on each edge: the skirt falls about 30 dB per MHz at -3 dB, so the
        // noise of the reading (well under 0.05 dB there) moves it by less than 2 kHz; at -40 dB,
        // where the fall is steeper still, 4 kHz for the larger noise of the higher receiver gain.
        EXPECT_NEAR(b.ruler[0].fLow, e3.first, 0.002);
        EXPECT_NEAR(b.ruler[0].fHigh, e3.second, 0.002);
        EXPECT_NEAR(b.ruler[1].fLow, e40.first, 0.004);
        EXPECT_NEAR(b.ruler[1].fHigh, e40.second, 0.004);
        const double shape = (e40.second - e40.first) / (e3.second - e3.first);
        EXPECT_NEAR(b.shapeFactor, shape, 0.01 * shape);
        const double symmetry = (e3.first - e40.first) / (e40.second - e3.second);
        EXPECT_NEAR(b.symmetry, symmetry, 0.03);
    }
}

TEST_F(SimTest, MarkersAreMeasuredAgainWithTheInstrumentAndFromAStoredScanWithout) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "rlc-series:r=30,l=1.2u,c=80p"));
    core::AppState& st = r.st();
    test::Limits(r, 12, 20, 0.05);
    measure::sweepPortA(r.p());
    ASSERT_EQ(st.LastError, 0);
    display::ClearMarkerTable(st);
    for (const double f : {13.0, 16.2, 19.35}) {
        display::InsertMarker(st, f);
    }
    ASSERT_TRUE(display::SortMarkers(st));
    display::AfterMarkerCommand(st);
    const long before = r.serial.unit.state().measurements;
    measure::ShowMarkerData(r.p());
    // One reading per marker, each against the truth at the frequency the DDS made.
    EXPECT_EQ(r.serial.unit.state().measurements - before, 3);
    platform::fake::ScriptedWindow* w = r.ui.findWindow("Port A Marker Data");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->spec.height, 20 * 3 + 155);
    for (int k = 1; k <= 3; ++k) {
        const core::Marker& m = st.markers.slot[static_cast<std::size_t>(k)];
        const test::Complex z = test::TrueZ(r, m[0]);
        EXPECT_NEAR(m[1], z.real(), test::ZTolerance(z)) << m[0];
        EXPECT_NEAR(m[2], z.imag(), test::ZTolerance(z)) << m[0];
        EXPECT_NEAR(m[5], test::SwrOf(z), test::SwrTolerance(z)) << m[0];
    }
    // "Save" writes the marker file and its export (two header lines, one line per marker);
    // "Recall" reads it back into the same window.
    const std::string saved = r.dir.file("three.mrk");
    r.ui.fileAnswers = {saved, saved};
    w->click("Save");
    EXPECT_EQ(core::SplitLines(test::ReadFile(r.dir.file("three.mrx"))).size(), 5u);
    const core::MarkerTable measured = st.markers;
    display::ClearMarkerTable(st);
    w->click("Recall");
    EXPECT_EQ(st.markers.slot[2][0], measured.slot[2][0]);
    EXPECT_TRUE(w->open);
    EXPECT_EQ(r.ui.findWindow("Port A Marker Data"), w) << "the window is used again, not opened anew";

    // Without the instrument the stored scan gives the values: no reading is taken, and a marker
    // on a point of the scan gets that point's values.
    st.InstrumentPresent = 0;
    const long now = r.serial.unit.state().measurements;
    ASSERT_TRUE(measure::RemeasureMarkers(r.p()));
    EXPECT_EQ(r.serial.unit.state().measurements, now);
    const int i = core::Nint((16.2 - 12) / 0.05);
    const double zmag = r.p().scan.scan_zmag[static_cast<std::size_t>(i)];
    const double phase = r.p().scan.scan_phase[static_cast<std::size_t>(i)];
    EXPECT_NEAR(st.markers.slot[2][1], zmag * std::cos(phase), 1e-9);
    EXPECT_NEAR(st.markers.slot[2][2], zmag * std::sin(phase), 1e-9);
    // Refresh and Recycle are for the instrument: disabled on a stored scan.
    st.scanFileNameA = "stored.scn";
    r.p().charts.markerData.reset();
    measure::ShowMarkerData(r.p());
    w = r.ui.findWindow("Port A Marker Data");
    ASSERT_NE(w, nullptr);
    ASSERT_NE(w->findButton("Refresh"), nullptr);
    EXPECT_FALSE(w->findButton("Refresh")->enabled);
    EXPECT_FALSE(w->findButton("Recycle")->enabled);
    EXPECT_TRUE(w->findButton("Save")->enabled);
}

TEST_F(SimTest, BadMarkerFilesAndEntriesLeaveTheTableAsItWas) {
    auto& r = rig();
    core::AppState& st = r.st();
    display::ClearMarkerTable(st);
    display::InsertMarker(st, 7.05);
    ASSERT_TRUE(display::SortMarkers(st));
    display::AfterMarkerCommand(st);
    const core::MarkerTable before = st.markers;
    const auto unchanged = [&](const std::string& why) {
        EXPECT_EQ(st.markers.slot, before.slot) << why;
        EXPECT_EQ(st.markers.markerCount, 1) << why;
    };
    const std::string damaged = r.dir.file("damaged.mrk");
    test::WriteFile(damaged, " 7.1\r\n 0\r\n x\r\n");
    r.ui.calls.clear();
    EXPECT_FALSE(measure::LoadMarkerFile(r.p(), damaged));
    ASSERT_EQ(r.ui.messages().size(), 1u);
    EXPECT_EQ(r.ui.messages()[0].caption, "Marker File");
    unchanged("short file");
    EXPECT_FALSE(measure::LoadMarkerFile(r.p(), r.dir.file("missing.mrk")));
    EXPECT_EQ(r.ui.messages().back().text, "The marker file was not found in the folder with the exe file.");
    unchanged("missing file");

    // The "Marker" dialog given text, a negative and a huge frequency.
    for (const char* typed : {"abc", "-7", "5000"}) {
        r.ui.formAnswers.push_back([typed](platform::Form& f) {
            f.fields[0].text = typed;
            return platform::FormOk;
        });
        r.ui.calls.clear();
        measure::MarkerDialog(r.p(), 7.1);
        ASSERT_EQ(r.ui.messages().size(), 1u) << typed;
        EXPECT_EQ(r.ui.messages()[0].caption, "Marker");
        unchanged(typed);
    }

    // A good file read back is the table written.
    st.markers.slot[1][1] = 12.5;
    const std::string path = r.dir.file("good.mrk");
    ASSERT_TRUE(measure::WriteMarkerFiles(r.p(), path, true));
    const core::MarkerTable written = st.markers;
    display::ClearMarkerTable(st);
    ASSERT_TRUE(measure::LoadMarkerFile(r.p(), path));
    EXPECT_EQ(st.markers.slot, written.slot);
    EXPECT_EQ(test::ReadFile(r.dir.file("good.mrx")).substr(0, 9), "Created: ");
}
