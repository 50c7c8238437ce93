// The TDR view without an instrument: the transform against a direct sum written apart from it,
// the frequency plan and the dialog's rules at their edges, the TDR file and what a bad one does,
// and the mode switch with what it sets aside and gives back.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <random>
#include <vector>

#include "commands/command_ids.h"
#include "commands/commands.h"
#include "commands/menu_model.h"
#include "core/program.h"
#include "display/cursor.h"
#include "display/graph_geometry.h"
#include "display/tdr_view.h"
#include "files/tdr_file.h"
#include "support/test_rig.h"
#include "tools/tdr.h"
#include "tools/tdr_commands.h"
#include "tools/tdr_transform.h"

using namespace vna;
using Complex = std::complex<double>;

namespace {

// The step response as a textbook inverse DFT of the Hermitian spectrum, summed up apart from the
// program's code: s[k] = 0.0019417 512 / N sum_{j<=k} Re sum_n X[n] e^{+j 2 pi j n / N}.
std::vector<double> IndependentStep(const std::vector<Complex>& gamma, int n) {
    const double pi = std::acos(-1.0);
    std::vector<Complex> x(static_cast<std::size_t>(n));
    for (int i = 0; i <= n / 2; ++i) {
        x[static_cast<std::size_t>(i)] = gamma[static_cast<std::size_t>(i)];
    }
    for (int i = n / 2 + 1; i < n; ++i) {
        x[static_cast<std::size_t>(i)] = std::conj(gamma[static_cast<std::size_t>(n - i)]);
    }
    std::vector<double> s(static_cast<std::size_t>(n) + 1, 0.0);
    double sum = 0;
    for (int k = 1; k < n / 2; ++k) {
        Complex h = 0;
        for (int i = 0; i < n; ++i) {
            h += x[static_cast<std::size_t>(i)] * std::polar(1.0, 2 * pi * k * i / n);
        }
        sum += h.real();
        s[static_cast<std::size_t>(k)] = sum * 0.0019417 * 512 / n;
    }
    return s;
}

} // namespace

TEST(TdrTransform, MatchesAnIndependentDirectSumOnRandomSpectra) {
    std::mt19937 rng(16);
    std::uniform_real_distribution<double> d(-1, 1);
    for (const int n : {256, 512}) {
        std::vector<Complex> gamma(static_cast<std::size_t>(n) / 2 + 1);
        for (auto& g : gamma) {
            g = {d(rng), d(rng)};
        }
        std::vector<double> s(static_cast<std::size_t>(n) + 1, 7.0);
        ASSERT_TRUE(tools::StepResponse(gamma.data(), n, s.data()));
        const std::vector<double> want = IndependentStep(gamma, n);
        for (int k = 0; k <= n; ++k) {
            ASSERT_NEAR(s[static_cast<std::size_t>(k)], want[static_cast<std::size_t>(k)], 1e-9)
                << n << " k=" << k;
        }
        // The smoothing runs in place, each point with the smoothed one before it.
        std::vector<double> smooth = s;
        tools::SmoothStepResponse(smooth.data(), n);
        double prev = s[1];
        for (int k = 2; k <= n / 2 - 2; ++k) {
            prev = (prev + s[static_cast<std::size_t>(k)] + s[static_cast<std::size_t>(k + 1)]) / 3;
            ASSERT_NEAR(smooth[static_cast<std::size_t>(k)], prev, 1e-12) << k;
        }
        EXPECT_EQ(smooth[static_cast<std::size_t>(n / 2 - 1)], s[static_cast<std::size_t>(n / 2 - 1)]);
    }
    // A user's key stops the sum: what is done stays, the rest is 0.
    std::vector<Complex> gamma(129, Complex(0.5, 0.1));
    std::vector<double> s(257);
    int asked = 0;
    EXPECT_FALSE(tools::StepResponse(gamma.data(), 256, s.data(), [&] { return ++asked > 10; }));
    EXPECT_NE(s[10], 0);
    EXPECT_EQ(s[11], 0);
}

TEST(TdrTransform, FrequencyPlanAndTheEntriesAtTheirEdges) {
    struct Case {
        double maxDist;
        bool highRes;
        double maximumFreq;
        double delf;
        int points;
        double offset;
    };
    const Case cases[] = {
        {100, false, 180, 1.25, 256, 10},
        {100.9, false, 180, 1.25, 256, 10.09},
        {101, false, 180, 0.75, 256, 10.1},
        {200, false, 180, 0.75, 256, 20},
        {201, false, 180, 0.3, 256, 20.1},
        {500, false, 180, 0.3, 256, 50},
        {501, false, 180, 0.15, 256, 50.1},
        {2000, true, 180, 0.15, 512, 200},
        {5, false, 180, 1.25, 256, 10},
        // 512 points at 1.25 MHz would reach 640 MHz: the step is cut to reach the top exactly.
        {100, true, 180, 0.703125, 512, 10},
    };
    for (const Case& c : cases) {
        const tools::TdrPlan plan = tools::PlanTdr(c.maxDist, c.highRes, c.maximumFreq, 0.66);
        EXPECT_DOUBLE_EQ(plan.delf, c.delf) << c.maxDist;
        EXPECT_EQ(plan.points, c.points);
        EXPECT_DOUBLE_EQ(plan.offset, c.offset) << c.maxDist;
        EXPECT_LE(plan.points * plan.delf / 2, c.maximumFreq + 1e-9);
    }
    const tools::TdrPlan p100 = tools::PlanTdr(100, false, 180, 0.66);
    EXPECT_DOUBLE_EQ(p100.points * p100.delf / 2, 160);
    EXPECT_NEAR(p100.feetPerIndex, 1.056, 1e-12);
    const tools::TdrPlan p2000 = tools::PlanTdr(2000, true, 180, 0.66);
    EXPECT_DOUBLE_EQ(p2000.points * p2000.delf / 2, 38.4);

    // The scales dialog snaps up to its lists; the factors are held to their ranges.
    EXPECT_EQ(tools::SnapTdrDistance(7), 10);
    EXPECT_EQ(tools::SnapTdrDistance(3), 5);
    EXPECT_EQ(tools::SnapTdrDistance(2500), 2000);
    EXPECT_EQ(tools::SnapTdrDistance(100), 100);
    EXPECT_EQ(tools::SnapTdrImpedance(150), 200);
    EXPECT_EQ(tools::SnapTdrImpedance(40), 70);
    EXPECT_EQ(tools::SnapTdrImpedance(1500), 1000);
    EXPECT_EQ(tools::CheckTdrDistanceFactor(2.5), 1);
    EXPECT_EQ(tools::CheckTdrDistanceFactor(0.4), 1);
    EXPECT_EQ(tools::CheckTdrDistanceFactor(1.5), 1.5);
    EXPECT_EQ(tools::LimitVelocityFactor(0.3), 0.5);
    EXPECT_EQ(tools::LimitVelocityFactor(1.4), 1);
    EXPECT_EQ(tools::LimitVelocityFactor(0.8), 0.8);
    // A step of 0.999 or above is drawn as 0.999, about 2000 times the reference.
    EXPECT_EQ(tools::LimitedRho(1.7), 0.999);
    EXPECT_NEAR(tools::ImpedanceOfRho(tools::LimitedRho(0.999), 50), 1999 * 50, 1e-6);
    // The length offset of a short line at 0 Hz keeps the load as it is.
    EXPECT_NEAR(std::abs(tools::OffsetReflection(Complex(75, 0), 0, 10, 0.66, 50) - 0.2), 0, 1e-12);
}

TEST(TdrFile, RoundTripAndBadFilesChangeNothing) {
    test::TestRig rig;
    core::Program& p = rig.p();
    p.st.ProgramFolder = rig.dir.folder();
    p.tdr.points = 256;
    for (int k = 1; k < 128; ++k) {
        p.tdr.s[static_cast<std::size_t>(k)] = k < 40 ? 0.2 : -0.05 + 1e-13 * k;
    }
    p.tdr.delf = 1.25;
    p.tdr.feetPerIndex = 1.056;
    p.tdr.VF = 0.66;
    p.tdr.colorIndex = 3;
    p.tdr.stamp = "Dec 8, 26  11:00:00";
    p.tdr.title = "feed line";
    const files::TdrFileData d = tools::TdrFileOf(p);
    const std::string text = files::TdrFileText(d);
    files::TdrFileProblem problem;
    const auto back = files::ParseTdrFile(text, problem);
    ASSERT_TRUE(back) << problem.text;
    EXPECT_EQ(back->stamp, d.stamp);
    EXPECT_EQ(back->title, "feed line");
    EXPECT_EQ(back->points, 256);
    EXPECT_EQ(back->colorIndex, 3);
    EXPECT_DOUBLE_EQ(back->feetPerIndex, 1.056);
    ASSERT_EQ(back->step.size(), 257u);
    for (int k = 0; k <= 256; ++k) {
        EXPECT_NEAR(back->step[static_cast<std::size_t>(k)], d.step[static_cast<std::size_t>(k)], 1e-15);
    }
    EXPECT_EQ(text.substr(text.find("\r\n") + 2, 5), " 546\r");

    // Bad files: each gives its message and leaves the trace and the settings as they were.
    const std::string good = rig.dir.file("good.tdr");
    test::WriteFile(good, text);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    const auto join = [](const std::vector<std::string>& l, std::size_t count) {
        std::string t;
        for (std::size_t i = 0; i < count && i < l.size(); ++i) {
            t += l[i] + "\r\n";
        }
        return t;
    };
    std::vector<std::string> damaged = lines;
    damaged[40] = "x0.2";
    std::vector<std::string> tooMany = lines;
    tooMany[4] = " 2000";
    std::vector<std::string> badVf = lines;
    badVf[13] = " 1.5";
    struct Bad {
        std::string name;
        std::string text;
        std::string message;
        std::string caption;
    };
    const Bad bad[] = {
        {"short.tdr", join(lines, 100),
         "The TDR file is cut short: it ends at line 100.\r\nNothing was loaded.", " Load TDR Scan File"},
        {"damaged.tdr", join(damaged, damaged.size()),
         "The TDR file is damaged: line 41 is not what a TDR file holds there.\r\nNothing was loaded.",
         " Load TDR Scan File"},
        {"vf.tdr", join(badVf, badVf.size()),
         "The TDR file is damaged: line 14 is not what a TDR file holds there.\r\nNothing was loaded.",
         " Load TDR Scan File"},
        {"many.tdr", join(tooMany, tooMany.size()), "TDR number of points =  2000  Max # of points is 1050.",
         " Too Many Points"},
    };
    p.st.tdrMaxDist = 500;
    const auto before = p.tdr.s;
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.name);
        test::WriteFile(rig.dir.file(b.name), b.text);
        rig.ui.calls.clear();
        EXPECT_FALSE(tools::LoadTdr(p, rig.dir.file(b.name)));
        ASSERT_EQ(rig.ui.messages().size(), 1u);
        EXPECT_EQ(rig.ui.messages()[0].text, b.message);
        EXPECT_EQ(rig.ui.messages()[0].caption, b.caption);
        EXPECT_EQ(p.tdr.s, before);
        EXPECT_EQ(p.tdr.colorIndex, 3);
        EXPECT_EQ(p.st.tdrMaxDist, 500);
    }
    // A file that is not there changes nothing and says nothing; the name without ".tdr" is found.
    rig.ui.calls.clear();
    EXPECT_FALSE(tools::LoadTdr(p, rig.dir.file("missing")));
    EXPECT_TRUE(rig.ui.messages().empty());
    EXPECT_TRUE(tools::LoadTdr(p, rig.dir.file("good")));
    EXPECT_EQ(p.st.tdrMaxDist, 100);
    EXPECT_DOUBLE_EQ(p.st.feetPerIndex, 1.056);
    EXPECT_EQ(p.st.tdrFileName, good);
}

TEST(TdrMode, SwitchSetsAsideAveragingAndSmoothingAndGreysWhatDoesNotApply) {
    test::TestRig rig;
    core::AppState& st = rig.st();
    core::ResetToDefaults(st, 2026, 12, 8);
    st.ProgramFolder = rig.dir.folder();
    rig.ui.createMainWindow(0, 0, 1000, 700);
    st.InstrumentPresent = 0;
    st.average = 8;
    st.trend = 3;
    st.trendOn = 1;
    const auto enabled = [&](int id) {
        for (const auto& b : commands::BuildButtonRow(st, {30, 12, 14})) {
            if (b.id == id) {
                return b.enabled;
            }
        }
        return true;
    };
    commands::RunCommand(rig.p(), commands::cmd::TdrMode);
    EXPECT_EQ(st.TdrActive, 1);
    EXPECT_EQ(st.average, 1);
    EXPECT_EQ(st.trend, 0);
    for (const int id : {commands::cmd::ButtonRecycle, commands::cmd::ButtonLimits,
                         commands::cmd::ButtonSmith, commands::cmd::ButtonPortAB}) {
        EXPECT_FALSE(enabled(id)) << id;
    }
    EXPECT_FALSE(commands::BuildMenuModel(st).menus[0].items[2].enabled) << "Swap Graphs";
    // The options redraw the view; the scales dialog snaps what was typed.
    rig.ui.formAnswers.push_back([](platform::Form& f) {
        f.fields[0].text = "7";
        f.fields[1].text = "150";
        f.fields[2].text = "3";
        return platform::FormOk;
    });
    commands::RunCommand(rig.p(), commands::cmd::ButtonScales);
    EXPECT_EQ(st.tdrMaxDist, 10);
    EXPECT_EQ(st.tdrZScale, 200);
    EXPECT_EQ(st.tdrDistFactor, 1);
    rig.ui.textAnswers.push_back("0.2");
    commands::RunCommand(rig.p(), commands::cmd::TdrVelocityFactor);
    EXPECT_EQ(st.VF, 0.5);

    commands::RunCommand(rig.p(), commands::cmd::TdrMode);
    EXPECT_EQ(st.TdrActive, 0);
    EXPECT_EQ(st.average, 8);
    EXPECT_EQ(st.trend, 3);
    EXPECT_EQ(st.trendOn, 1);
    EXPECT_TRUE(enabled(commands::cmd::ButtonRecycle));
    EXPECT_TRUE(enabled(commands::cmd::ButtonLimits));
    EXPECT_TRUE(commands::BuildMenuModel(st).menus[0].items[2].enabled);
}

TEST(TdrView, CursorReadsTheDistanceAndImpedanceAndCursorDataTheirDifferences) {
    test::TestRig rig;
    core::Program& p = rig.p();
    core::AppState& st = p.st;
    core::ResetToDefaults(st, 2026, 12, 8);
    st.ProgramFolder = rig.dir.folder();
    rig.ui.createMainWindow(0, 0, 1000, 700);
    display::ComputeGraphGeometry(p);
    st.TdrActive = 1;
    tools::ApplyTdrPlan(st);
    // 75 ohm up to index 40, then 50 ohm.
    p.tdr.points = 256;
    for (int k = 1; k < 128; ++k) {
        p.tdr.s[static_cast<std::size_t>(k)] = k < 40 ? 0.2 : 0;
    }
    display::DrawTdrView(p);
    const display::TdrScale s = display::TdrScaleFactors(p);
    const core::GraphBox& b = p.display.g.box;
    const auto readoutAt = [&](int k) {
        rig.ui.canvas()->ops.clear();
        const int x = display::TdrIndexX(p, s, k);
        display::CursorToMouse(p, x, b.top + 5);
        EXPECT_NEAR(p.display.cursor.values.distance, st.tdrMaxDist * (x - b.left) / (b.right - b.left),
                    1e-9);
        return rig.ui.canvas()->texts();
    };
    const auto has = [](const std::vector<std::string>& texts, const std::string& t) {
        return std::find(texts.begin(), texts.end(), t) != texts.end();
    };
    auto texts = readoutAt(20);
    EXPECT_TRUE(has(texts, "Z_Line = 75.00"));
    EXPECT_TRUE(has(texts, "Refl coef = 0.200"));
    EXPECT_TRUE(has(texts, "VF = 0.660"));
    EXPECT_TRUE(has(texts, "Resolution = 0.53 ft"));
    EXPECT_TRUE(has(texts, "Zref =   50.000"));
    display::SelectCursor(p, 1);
    st.tdrMetres = 1;
    texts = readoutAt(60);
    EXPECT_TRUE(has(texts, "Z_Line = 50.00"));
    EXPECT_TRUE(has(texts, "Resolution = 0.16 m"));
    display::SelectCursor(p, 2);
    const std::vector<std::string> rows = display::CursorDataLines(p);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].rfind(" Distance2 = ", 0), 0u);
    EXPECT_NE(rows[0].find("  Z2=   50.00     Rho2= 0.000"), std::string::npos) << rows[0];
    EXPECT_NE(rows[1].find("  Z1=   75.00     Rho1= 0.200"), std::string::npos) << rows[1];
    const double dx =
        (p.display.cursor.frozen[1].values.distance - p.display.cursor.frozen[0].values.distance) * 0.3048;
    char dxText[32];
    std::snprintf(dxText, sizeof dxText, "%.2f", dx);
    EXPECT_EQ(rows[2], std::string("     Del_Z = -25.00 Del_DX = ") + dxText);
}
