// The empty graph and the plotting of points, on the recording canvas.

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

#include "commands/startup.h"
#include "core/freq_axis.h"
#include "display/graph_draw.h"
#include "display/graph_geometry.h"
#include "display/scan_plot.h"
#include "support/test_rig.h"

using namespace vna;

namespace {

void StartDemo(test::TestRig& rig) {
    commands::Startup(rig.p(), core::ParseStartOptions({"vna", "--demo"}));
}

int Count(const std::vector<std::string>& ops, const std::string& prefix) {
    return static_cast<int>(
        std::count_if(ops.begin(), ops.end(), [&](const std::string& o) { return o.rfind(prefix, 0) == 0; }));
}

bool Has(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

// Text ops ("text x,y T") whose text is T.
std::vector<std::pair<int, int>> TextPositions(const std::vector<std::string>& ops, const std::string& t) {
    std::vector<std::pair<int, int>> out;
    for (const std::string& o : ops) {
        if (o.rfind("text ", 0) != 0) {
            continue;
        }
        const auto blank = o.find(' ', 5);
        if (o.substr(blank + 1) == t) {
            const std::string xy = o.substr(5, blank - 5);
            out.emplace_back(std::stoi(xy), std::stoi(xy.substr(xy.find(',') + 1)));
        }
    }
    return out;
}

} // namespace

TEST(EmptyGraph, GridScaleNumbersAndCaptions) {
    test::TestRig rig;
    StartDemo(rig);
    auto& ops = rig.ui.canvas()->ops;
    ops.clear();
    core::AppState& st = rig.st();
    st.swr_scale = 10;
    st.swrLog = 0;
    st.swrLift = 1;
    display::DrawGraph(rig.p());
    const core::GraphGeometry& g = rig.p().display.g;
    const core::GraphBox& b = g.box;
    // 21 grid rows at their computed y.
    for (int i = 0; i <= 20; ++i) {
        const int y = core::NearestEven(g.divPx * i + b.top);
        EXPECT_TRUE(Has(ops, "line " + std::to_string(b.left + 1) + "," + std::to_string(y) + "-" +
                                 std::to_string(b.right - 1) + "," + std::to_string(y)))
            << "row " << i;
    }
    // Linear SWR with the lift: 1 lies one division above the centre, the label of 10 (above the
    // top line) is left out.
    const auto texts = rig.ui.canvas()->texts();
    EXPECT_TRUE(Has(texts, " 1"));
    EXPECT_TRUE(Has(texts, " 9.10"));
    for (const auto& [x, y] : TextPositions(ops, " 10")) {
        EXPECT_NE(x, 5) << "the SWR label 10 lies above the top line at y " << y;
    }
    const auto one = TextPositions(ops, " 1");
    ASSERT_FALSE(one.empty());
    EXPECT_EQ(one.front(), std::make_pair(5, core::NearestEven(g.centreY - g.swrLift) - 8));
    // Frequency numbers, the axis caption and the trace captions of Port A.
    EXPECT_TRUE(Has(texts, "5.00MHz"));
    EXPECT_TRUE(Has(texts, "FREQ (1.00 MHz/div)"));
    EXPECT_TRUE(Has(texts, "SWR"));
    EXPECT_TRUE(Has(texts, "Zmag "));
    EXPECT_TRUE(Has(texts, "Zphase       "));
    EXPECT_TRUE(Has(texts, "(dB)"));
    EXPECT_FALSE(Has(texts, "|S21|"));
    // Return-loss numbers: rows 13..20, 10 % of the scale per row.
    EXPECT_TRUE(Has(texts, " 6") && Has(texts, " 20"));

    // Log SWR: caption and numbers move left of the box, the caption no further than the window's
    // left edge.
    ops.clear();
    st.swrLog = 1;
    display::DrawGraph(rig.p());
    EXPECT_TRUE(Has(rig.ui.canvas()->texts(), "LogSWR"));
    EXPECT_EQ(TextPositions(ops, "LogSWR").front().first, std::max(1, b.left - 47));
}

TEST(EmptyGraph, ReturnLossCaptionLeavesItsNumbersFreeAtEveryHeight) {
    test::TestRig rig;
    StartDemo(rig);
    core::AppState& st = rig.st();
    st.plot_swr = st.plot_zmagA = st.plot_rsA = st.plot_ZphaseA = st.plot_Q = 0;
    st.plot_rt = 1;
    st.rtloss_scale = 20;
    struct Box {
        std::string text;
        int left, top, right, bottom;
    };
    const std::set<std::string> caption = {"L", "O", "S", "(dB)"};
    const std::set<std::string> numbers = {" 6", " 8", " 10", " 12", " 14", " 16", " 18", " 20"};
    for (const int height : {360, 450, 537, 700, 989}) {
        st.WinHeight = height;
        display::ComputeGraphGeometry(rig.p());
        auto& ops = rig.ui.canvas()->ops;
        ops.clear();
        display::DrawGraph(rig.p());
        // Each text's box, measured as the canvas measures it in the font it was printed in.
        std::vector<Box> captionBoxes, numberBoxes;
        int points = 8;
        for (const std::string& o : ops) {
            if (o.rfind("font ", 0) == 0) {
                points = std::stoi(o.substr(o.find(' ', 5) + 1));
            } else if (o.rfind("text ", 0) == 0) {
                const auto blank = o.find(' ', 5);
                const std::string t = o.substr(blank + 1);
                const int x = std::stoi(o.substr(5));
                const int y = std::stoi(o.substr(o.find(',') + 1));
                const Box box{t, x, y, x + static_cast<int>(t.size()) * (points * 2 / 3 + 1), y + 2 * points};
                if (caption.count(t)) {
                    captionBoxes.push_back(box);
                } else if (numbers.count(t)) {
                    numberBoxes.push_back(box);
                }
            }
        }
        ASSERT_EQ(numberBoxes.size(), numbers.size()) << height;
        ASSERT_EQ(captionBoxes.size(), 5u) << height;
        for (const Box& c : captionBoxes) {
            EXPECT_GE(c.left, 0) << c.text;
            for (const Box& n : numberBoxes) {
                const bool apart =
                    c.right <= n.left || n.right <= c.left || c.bottom <= n.top || n.bottom <= c.top;
                EXPECT_TRUE(apart) << "\"" << c.text << "\" at " << c.left << "," << c.top << " covers \""
                                   << n.text << "\" at " << n.left << "," << n.top << " in a window "
                                   << height << " high";
            }
        }
    }
}

TEST(EmptyGraph, PortBScalesAndDelayUnits) {
    test::TestRig rig;
    StartDemo(rig);
    core::AppState& st = rig.st();
    st.PortB_on = 1;
    st.plot_delay = 1;
    st.delay_scale = 2000;
    st.plot_s11 = 1;
    st.plotInsertionLoss = 1;
    st.s21gain_scale = 10;
    st.Zero_Ref = 2;
    st.ruler1_on = 1;
    st.ruler_1 = -3;
    rig.ui.canvas()->ops.clear();
    display::DrawGraph(rig.p());
    const auto texts = rig.ui.canvas()->texts();
    EXPECT_TRUE(Has(texts, "|S21|"));
    EXPECT_TRUE(Has(texts, "|S11|"));
    EXPECT_TRUE(Has(texts, "S21phase"));
    EXPECT_TRUE(Has(texts, "Insertion"));
    EXPECT_TRUE(Has(texts, " 2us")) << "2000 ns shows as 2 us";
    EXPECT_TRUE(Has(texts, "-2us"));
    EXPECT_TRUE(Has(texts, " 20")) << "S21 at the top line: 10 dB/div x 2 divisions";
    EXPECT_TRUE(Has(texts, "-180"));
    EXPECT_TRUE(Has(texts, "-60")) << "S11 axis ends at -60 dB";
    EXPECT_TRUE(Has(texts, " -3")) << "ruler 1 label";
    EXPECT_FALSE(Has(texts, "SWR"));
}

TEST(ScanPlot, PointsLandAtTheirMappingInsideTheBox) {
    test::TestRig rig;
    StartDemo(rig);
    core::AppState& st = rig.st();
    st.plot_swr = 1;
    st.plot_zmagA = 1;
    st.plot_rt = st.plot_rsA = st.plot_ZphaseA = 0;
    st.SweepRunning = 1;
    display::BeginSweepPlot(rig.p());
    const core::GraphGeometry& g = rig.p().display.g;
    auto& pt = rig.p().point;
    auto& ops = rig.ui.canvas()->ops;
    ops.clear();
    pt = {};
    pt.freq = 5;
    pt.swr = 2;
    pt.zmag = 500;
    display::PlotPointA(rig.p(), 0);
    EXPECT_EQ(Count(ops, "line "), 0) << "the first point only starts the traces";
    pt.freq = 6;
    pt.swr = 1e6; // far above the scale: held at the top line
    pt.zmag = -5000;
    display::PlotPointA(rig.p(), 1);
    const int x0 = g.box.left;
    const int x1 = core::NearestEven(1 * g.pxPerMHz + g.box.left);
    const int y0 = core::NearestEven(g.centreY - 1 * g.swrFactor - g.swrLift);
    EXPECT_TRUE(Has(ops, "line " + std::to_string(x0) + "," + std::to_string(y0) + "-" + std::to_string(x1) +
                             "," + std::to_string(g.box.top)));
    const int z0 = core::NearestEven(g.centreY - 500 * g.zmagFactor);
    EXPECT_TRUE(Has(ops, "line " + std::to_string(x0) + "," + std::to_string(z0) + "-" + std::to_string(x1) +
                             "," + std::to_string(g.box.bottom)));
    // The progress line runs above the box in light blue.
    const int py = g.box.top - 3;
    EXPECT_TRUE(Has(ops, "line " + std::to_string(x0) + "," + std::to_string(py) + "-" + std::to_string(x1) +
                             "," + std::to_string(py)));
    // A frequency beyond the axis stays on the right edge.
    pt.freq = 1000;
    pt.swr = 1.5;
    display::PlotPointA(rig.p(), 2);
    for (const std::string& o : ops) {
        if (o.rfind("line ", 0) == 0) {
            const int xEnd = std::stoi(o.substr(o.find('-') + 1));
            EXPECT_LE(xEnd, g.box.right) << o;
            EXPECT_GE(xEnd, g.box.left) << o;
        }
    }
}

TEST(ScanPlot, StylesDashesSymbolsAndTheLightSet) {
    test::TestRig rig;
    StartDemo(rig);
    core::AppState& st = rig.st();
    st.plot_swr = 1;
    st.plot_zmagA = st.plot_rt = st.plot_rsA = st.plot_ZphaseA = 0;
    auto& ops = rig.ui.canvas()->ops;
    auto& pt = rig.p().point;
    const auto run = [&](int style, int points) {
        st.swrstyle = style;
        display::BeginSweepPlot(rig.p());
        ops.clear();
        for (int n = 0; n < points; ++n) {
            pt.freq = 5 + 0.05 * n;
            pt.swr = 1.5;
            display::PlotPointA(rig.p(), n);
        }
    };
    run(0, 9);
    EXPECT_EQ(Count(ops, "line "), 8);
    run(1, 9); // short dash: segments at odd n only
    EXPECT_EQ(Count(ops, "line "), 4);
    run(2, 9); // long dash: all but n = 4, 8
    EXPECT_EQ(Count(ops, "line "), 6);
    run(3, 40); // circles at least 21 pixels apart
    const int circles = Count(ops, "ellipse ");
    const auto& g = rig.p().display.g;
    const int span = core::NearestEven(0.05 * 39 * g.pxPerMHz);
    EXPECT_GE(circles, 1);
    EXPECT_LE(circles, span / 21 + 1);
    run(4, 3);
    EXPECT_EQ(Count(ops, "rect "), 1);
    run(5, 3); // wide line: the trace width + 2
    EXPECT_TRUE(
        Has(ops, "pen " + std::to_string(st.RedColor) + " " + std::to_string(st.traceWidth + 2) + " 0"));

    // A recycle run flips to the light colours for the next sweep; a full redraw resets that.
    st.swrstyle = 0;
    st.recycle = 1;
    display::EndSweepPlot(rig.p());
    EXPECT_EQ(st.LightColorSet, 1);
    run(0, 3);
    EXPECT_TRUE(Has(ops, "pen " + std::to_string(st.LightRed) + " " + std::to_string(st.traceWidth) + " 0"));
    display::DrawGraph(rig.p());
    EXPECT_EQ(st.LightColorSet, 0);
}

TEST(ScanPlot, PortBPhaseWrapIsGreyAndDelayStartsAtTheSecondPoint) {
    test::TestRig rig;
    StartDemo(rig);
    core::AppState& st = rig.st();
    st.PortB_on = 1;
    st.plots21 = 0;
    st.plot_phaseS21 = 1;
    st.plot_delay = 1;
    st.delay_scale = 100;
    display::BeginSweepPlot(rig.p());
    auto& ops = rig.ui.canvas()->ops;
    ops.clear();
    const double phases[] = {3.0, 3.1, -3.1, -3.0};
    for (int n = 0; n < 4; ++n) {
        display::PortBValues v;
        v.freq = 5 + n;
        v.s21phase = phases[n];
        v.delay = 10;
        display::PlotPointB(rig.p(), n, v);
    }
    const std::string grey = "pen " + std::to_string(core::Color(200, 200, 200));
    const std::string magenta = "pen " + std::to_string(st.Magenta);
    EXPECT_EQ(Count(ops, grey), 1) << "only the wrap from 3.1 to -3.1 is grey";
    EXPECT_EQ(Count(ops, magenta), 2);
    // Delay: no segment at points 0 and 1; at point 2 the backward extension and the segment.
    EXPECT_EQ(Count(ops, "pen " + std::to_string(st.Orange)), 3);
}

TEST(ScanPlot, RedrawScanDrawsTheStoredPointsOfTheActivePort) {
    test::TestRig rig;
    StartDemo(rig);
    core::AppState& st = rig.st();
    st.plot_swr = 1;
    st.plot_zmagA = st.plot_rt = st.plot_rsA = st.plot_ZphaseA = 0;
    for (int i = 0; i < 50; ++i) {
        rig.p().scan.scan_swr[static_cast<std::size_t>(i)] = 1.5;
    }
    st.last_scan_index = 49;
    auto& ops = rig.ui.canvas()->ops;
    ops.clear();
    display::RedrawScan(rig.p());
    EXPECT_EQ(Count(ops, "pen " + std::to_string(st.RedColor) + " " + std::to_string(st.traceWidth)), 49);
    // No scan yet: only the empty graph.
    st.last_scan_index = -1;
    ops.clear();
    display::RedrawScan(rig.p());
    EXPECT_EQ(Count(ops, "pen " + std::to_string(st.RedColor) + " " + std::to_string(st.traceWidth)), 0);
}

TEST(SwrRuler, DrawnInXorAndErasedByDrawingAgain) {
    test::TestRig rig;
    StartDemo(rig);
    auto& ops = rig.ui.canvas()->ops;
    display::DrawSwrRuler(rig.p(), 0); // the graph of the start-up shows the ruler of 1.5
    ops.clear();
    display::DrawSwrRuler(rig.p(), 2);
    EXPECT_TRUE(rig.p().display.plot.swrRulerShown);
    EXPECT_EQ(rig.st().swr_ruler, 2);
    EXPECT_EQ(Count(ops, "rop xor"), 1);
    const int dashes = Count(ops, "line ");
    EXPECT_GT(dashes, 5);
    // A new value first erases the old ruler (the same dashes again), then draws the new one.
    ops.clear();
    display::DrawSwrRuler(rig.p(), 3);
    EXPECT_EQ(Count(ops, "line "), 2 * dashes);
    // Below 1: erased, nothing new.
    ops.clear();
    display::DrawSwrRuler(rig.p(), 0);
    EXPECT_EQ(Count(ops, "line "), dashes);
    EXPECT_FALSE(rig.p().display.plot.swrRulerShown);
    EXPECT_EQ(rig.st().swr_ruler, 0);
}
