// The chart windows and the reference impedance entries on the scripted Ui.

#include <gtest/gtest.h>

#include <algorithm>
#include <complex>

#include "commands/chart_commands.h"
#include "commands/command_ids.h"
#include "commands/commands.h"
#include "commands/startup.h"
#include "core/program.h"
#include "display/chart_mapping.h"
#include "display/scan_plot.h"
#include "display/status_panel.h"
#include "support/test_rig.h"

using namespace vna;
using platform::Event;
using platform::EventType;

namespace {

void StartDemo(test::TestRig& rig) {
    commands::Startup(rig.p(), core::ParseStartOptions({"vna", "--demo"}));
    rig.ui.calls.clear();
}

Event Cmd(int id) {
    return Event{EventType::Menu, 0, 0, 0, id};
}

Event Click(int id) {
    return Event{EventType::Button, 0, 0, 0, id};
}

// A Port A scan of a series circuit around 50 ohms, as a sweep would have left it.
void HoldScan(core::Program& p, int points = 40) {
    core::AppState& st = p.st;
    for (int i = 0; i < points; ++i) {
        const std::complex<double> z(30 + i, -200 + 10 * i);
        p.scan.scan_zmag[static_cast<std::size_t>(i)] = std::abs(z);
        p.scan.scan_phase[static_cast<std::size_t>(i)] = std::arg(z);
    }
    st.scanSettingsA.recorded = 1;
    st.scanSettingsA.start = 10;
    st.scanSettingsA.step = 0.1;
    st.scanSettingsA.last = points - 1;
    st.last_scan_index = points - 1;
}

std::vector<std::string> Captions(const platform::fake::ScriptedWindow& w) {
    std::vector<std::string> out;
    for (const auto& b : w.buttons) {
        out.push_back(b.caption);
    }
    return out;
}

bool Shows(const platform::fake::RecordingCanvas& c, const std::string& text) {
    const auto t = c.texts();
    return std::find(t.begin(), t.end(), text) != t.end();
}

} // namespace

TEST(ChartCommands, ParseComplexReadsTheImpedanceTexts) {
    const auto is = [](std::string_view text, double re, double im) {
        const commands::ComplexValue v = commands::ParseComplex(text);
        return v.re == re && v.im == im;
    };
    EXPECT_TRUE(is("50+j25", 50, 25));
    EXPECT_TRUE(is("50 +25j", 50, 25));
    EXPECT_TRUE(is("50 + j 25", 50, 25));
    EXPECT_TRUE(is("-3-4i", -3, -4));
    EXPECT_TRUE(is("75", 75, 0));
    EXPECT_TRUE(is("75 -12j", 75, -12));
    EXPECT_TRUE(is("75-j12.5", 75, -12.5));
    EXPECT_TRUE(is("  52.5  ", 52.5, 0));
    EXPECT_TRUE(is("", 0, 0));
    EXPECT_TRUE(is("ohms", 0, 0));
    EXPECT_TRUE(is("50+25j-7", 50, 25)) << "what follows the reactance is not part of it";
    EXPECT_TRUE(is("1.2.3", 1.2, 0));
}

TEST(ChartCommands, ZoButtonEntersTheTransmissionLineImpedance) {
    test::TestRig rig;
    StartDemo(rig);
    core::AppState& st = rig.st();
    const auto& sp = rig.p().display.status;
    const Event zoButton{EventType::LeftDown, 0, sp.x + 5, sp.top + 4 * sp.height + 2, 0};
    rig.ui.textAnswers = {std::string("75-12j")};
    rig.ui.deliver(zoButton);
    EXPECT_EQ(rig.ui.calls.back().caption, "Transmission Line Z");
    EXPECT_EQ(st.Zo, 75);
    EXPECT_EQ(st.Z0real, 75);
    EXPECT_EQ(st.Z0imag, -12);
    EXPECT_EQ(st.Zsm_real, 75) << "the Smith reference was the system reference and follows it";
    EXPECT_EQ(st.Zsm_imag, -12);
    EXPECT_EQ(sp.text[5].substr(0, 14), "Zo= 75 - j 12 ");
    EXPECT_EQ(sp.color[5], display::StatusColor(st, 5));

    // Below 3.1 ohms: the caution, and 50 ohms.
    rig.ui.textAnswers = {std::string("2")};
    rig.ui.deliver(zoButton);
    ASSERT_FALSE(rig.ui.messages().empty());
    EXPECT_EQ(rig.ui.messages().back().text,
              "Caution: Zo is less than  3.1  ohms.\r\nIt will be set to 50.0 ohm by default.");
    EXPECT_EQ(st.Zo, 50);
    EXPECT_EQ(st.Z0imag, 0);

    // Cancel, an empty answer and a text without a number change nothing.
    st.Zsm_real = 60;
    for (const auto& answer : {std::optional<std::string>(), std::optional<std::string>("  "),
                               std::optional<std::string>("abc")}) {
        rig.ui.textAnswers = {answer};
        rig.ui.deliver(zoButton);
        EXPECT_EQ(st.Zo, 50);
    }
    EXPECT_EQ(rig.ui.messages().back().caption, "Transmission Line Z");
    // A Smith reference of its own stays; "Smith Chart Z" sets only that one.
    rig.ui.textAnswers = {std::string("100")};
    commands::EnterReferenceZ(rig.p(), 1);
    EXPECT_EQ(st.Zo, 100);
    EXPECT_EQ(st.Zsm_real, 60);
    rig.ui.textAnswers = {std::string("-35+j5")};
    commands::EnterReferenceZ(rig.p(), 2);
    EXPECT_EQ(rig.ui.calls.back().caption, "Smith Chart Z");
    EXPECT_EQ(st.Zsm_real, 35);
    EXPECT_EQ(st.Zsm_imag, 5);
    EXPECT_EQ(st.Zo, 100);
}

TEST(ChartCommands, SmithButtonShowsTheModalChartUntilClosed) {
    test::TestRig rig;
    StartDemo(rig);
    core::AppState& st = rig.st();
    // No scan yet: the user is told why nothing opens.
    rig.ui.deliver(Click(commands::cmd::ButtonSmith));
    EXPECT_TRUE(rig.ui.windows.empty());
    EXPECT_EQ(rig.ui.messages().back().caption, " Smith Chart");

    HoldScan(rig.p());
    rig.ui.onWindowOpen = [](platform::fake::ScriptedWindow& w) {
        w.events = {Click(2), Click(display::ChartButtonPrint), Click(display::ChartButtonClose),
                    Click(display::ChartButtonPrint)};
    };
    rig.ui.calls.clear();
    rig.ui.deliver(Click(commands::cmd::ButtonSmith));
    ASSERT_EQ(rig.ui.windows.size(), 1u);
    const platform::fake::ScriptedWindow& w = *rig.ui.windows[0];
    EXPECT_EQ(w.title, "Smith Chart");
    EXPECT_TRUE(w.spec.modal);
    EXPECT_EQ(w.spec.width, 507);
    EXPECT_EQ(w.spec.x, 50);
    EXPECT_EQ(Captions(w),
              (std::vector<std::string>{"1X", "2X", "3X", "4X", "5X", "Marker Data", "Print", "Close"}));
    EXPECT_EQ(st.smithZoom, 2);
    EXPECT_EQ(w.findButton("2X")->color, display::ChartCurrentButtonColor);
    EXPECT_EQ(w.findButton("1X")->color, display::ChartButtonColor);
    EXPECT_EQ(w.prints, 1) << "Close ended the window: the Print after it never came";
    EXPECT_FALSE(w.open);
    EXPECT_EQ(w.events.size(), 1u);
    EXPECT_EQ(st.SmithActive, 0);
    EXPECT_EQ(rig.ui.calls.back().kind, "focus");
    EXPECT_TRUE(Shows(w.canvas, "Zo =  50.00   0.00j"));
    EXPECT_EQ(rig.p().chartPoints.chart[core::ChartSmith].count, 40);

    // The chart's own mouse: the right button asks for a marker at the point under it.
    const core::ChartPoints& cp = rig.p().chartPoints.chart[core::ChartSmith];
    ASSERT_NE(cp.x[20], core::ChartOffChart);
    const int x = cp.x[20];
    const int y = cp.y[20];
    rig.ui.onWindowOpen = [x, y](platform::fake::ScriptedWindow& win) {
        win.events = {Event{EventType::RightDown, 0, x + 2, y - 1, 0}};
    };
    rig.ui.formAnswers.push_back([](platform::Form&) { return platform::FormOk; });
    rig.ui.deliver(Click(commands::cmd::ButtonSmith));
    EXPECT_EQ(rig.ui.windows.size(), 2u);
    ASSERT_FALSE(rig.ui.forms.empty());
    EXPECT_EQ(rig.ui.forms.back().title, "Marker");
    const display::ScanGridA grid = display::PortAScanGrid(st);
    EXPECT_NEAR(st.markers.slot[1][0], grid.start + 20 * grid.step, 1e-6)
        << "the marker at the point clicked";
    EXPECT_EQ(st.markerena, 1);

    // The TDR view has no Smith chart.
    st.TdrActive = 1;
    rig.ui.deliver(Click(commands::cmd::ButtonSmith));
    EXPECT_EQ(rig.ui.windows.size(), 2u);
}

TEST(ChartCommands, RotateSmithChartAsksForTheAngleAndTheChartHasItsOwnReference) {
    test::TestRig rig;
    StartDemo(rig);
    core::AppState& st = rig.st();
    HoldScan(rig.p());
    rig.ui.textAnswers = {std::nullopt};
    rig.ui.deliver(Cmd(commands::cmd::RotateSmithChart));
    EXPECT_EQ(rig.ui.calls.back().text, "Rotate Smith Chart (+/-degrees)");
    EXPECT_TRUE(rig.ui.windows.empty()) << "Cancel opens nothing";

    rig.ui.onWindowOpen = [](platform::fake::ScriptedWindow& w) {
        w.events = {Click(display::ChartButtonSmithZ)};
    };
    rig.ui.textAnswers = {std::string("30"), std::string("25")};
    rig.ui.deliver(Cmd(commands::cmd::RotateSmithChart));
    ASSERT_EQ(rig.ui.windows.size(), 1u);
    const platform::fake::ScriptedWindow& w = *rig.ui.windows[0];
    EXPECT_EQ(w.title, "Smith Chart 2");
    EXPECT_EQ(Captions(w), (std::vector<std::string>{"1X", "2X", "3X", "4X", "5X", "Print", "Smith Z"}));
    EXPECT_EQ(st.smithRotation, 30);
    EXPECT_EQ(st.Zsm_real, 25);
    EXPECT_TRUE(Shows(w.canvas, "Phase= 30"));
    EXPECT_TRUE(Shows(w.canvas, "Zo =  25.00   0.00j")) << "redrawn with the new reference";
    EXPECT_EQ(st.Zo, 50);

    // An empty answer keeps the angle; Port B mode has no rotated chart.
    rig.ui.textAnswers = {std::string("")};
    rig.ui.deliver(Cmd(commands::cmd::RotateSmithChart));
    EXPECT_EQ(rig.ui.windows.size(), 2u);
    EXPECT_EQ(st.smithRotation, 30);
    st.PortB_on = 1;
    rig.ui.deliver(Cmd(commands::cmd::RotateSmithChart));
    EXPECT_EQ(rig.ui.windows.size(), 2u);
    EXPECT_EQ(rig.ui.messages().back().caption, " Smith Chart 2");
}

TEST(ChartCommands, PolarPlotStaysOpenAndFollowsScaleModeAndSweeps) {
    test::TestRig rig;
    StartDemo(rig);
    core::AppState& st = rig.st();
    HoldScan(rig.p());
    rig.ui.deliver(Cmd(commands::cmd::PolarS11));
    ASSERT_EQ(rig.ui.windows.size(), 1u);
    platform::fake::ScriptedWindow& w = *rig.ui.windows[0];
    EXPECT_EQ(w.title, "Polar Plot - S11");
    EXPECT_FALSE(w.spec.modal);
    EXPECT_EQ(w.spec.width, display::PolarPlotGeometry(st.WinHeight, st.smithSize).width);
    EXPECT_EQ(Captions(w), (std::vector<std::string>{"1.0", "0.5", "0.2", "0.1", "0.05", "Print"}));
    EXPECT_EQ(st.PolarActive, 1);
    EXPECT_TRUE(Shows(w.canvas, "Full Scale=  1"));

    w.click("0.5");
    EXPECT_EQ(st.polarScale, 2);
    EXPECT_EQ(w.findButton("0.5")->color, display::ChartCurrentButtonColor);
    EXPECT_TRUE(Shows(w.canvas, "Full Scale=  0.50"));

    // A new sweep (here its redraw) draws the open plot again.
    w.canvas.ops.clear();
    display::RedrawScan(rig.p());
    EXPECT_FALSE(w.canvas.ops.empty());

    // Another quantity uses the same window.
    rig.ui.deliver(Cmd(commands::cmd::PolarZ));
    EXPECT_EQ(rig.ui.windows.size(), 1u);
    EXPECT_EQ(w.title, "Polar Plot - Z");
    EXPECT_EQ(Captions(w)[0], "2K");

    // Closed by the user it is no longer drawn; the menu opens a new one; Quit closes it.
    w.userClose();
    EXPECT_EQ(st.PolarActive, 0);
    w.canvas.ops.clear();
    display::RedrawScan(rig.p());
    EXPECT_TRUE(w.canvas.ops.empty());
    rig.ui.deliver(Cmd(commands::cmd::PolarSwr));
    ASSERT_EQ(rig.ui.windows.size(), 2u);
    EXPECT_EQ(rig.ui.windows[1]->title, "Polar Plot - SWR");
    commands::Quit(rig.p());
    EXPECT_FALSE(rig.ui.windows[1]->open);
}
