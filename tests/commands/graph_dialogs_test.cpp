// The graph dialogs: acceptance rules of the scales, and the dialogs given odd input.

#include <gtest/gtest.h>

#include "commands/command_ids.h"
#include "commands/graph_dialogs.h"
#include "commands/startup.h"
#include "support/test_rig.h"

using namespace vna;
using platform::Form;

namespace {

void StartDemo(test::TestRig& rig) {
    commands::Startup(rig.p(), core::ParseStartOptions({"vna", "--demo"}));
    rig.ui.calls.clear();
}

std::function<int(Form&)> Fill(std::vector<std::pair<std::string, std::string>> values,
                               int result = platform::FormOk) {
    return [values, result](Form& f) {
        for (const auto& [label, text] : values) {
            const int i = f.find(label);
            EXPECT_GE(i, 0) << "no field " << label;
            if (i >= 0) {
                f.fields[static_cast<std::size_t>(i)].text = text;
            }
        }
        return result;
    };
}

} // namespace

TEST(ScaleRules, AcceptanceOfEveryScale) {
    using namespace commands;
    EXPECT_EQ(AcceptSwrScale("2 Log")->value, 2);
    EXPECT_TRUE(AcceptSwrScale("2 Log")->log);
    EXPECT_TRUE(AcceptSwrScale("100 log")->log);
    EXPECT_EQ(AcceptSwrScale("100 log")->value, 51);
    EXPECT_EQ(AcceptSwrScale("------- ")->value, 11);
    EXPECT_FALSE(AcceptSwrScale("------- ")->log);
    EXPECT_EQ(AcceptSwrScale("-3")->value, 3);
    EXPECT_EQ(AcceptSwrScale("1")->value, 1.1);
    EXPECT_FALSE(AcceptSwrScale("   "));

    EXPECT_EQ(*AcceptZmagScale("-500"), 500);
    EXPECT_FALSE(AcceptZmagScale("0")) << "a zero full scale is refused";
    EXPECT_EQ(*AcceptZmagScale("1e300"), 1e7);
    EXPECT_FALSE(AcceptZmagScale(""));

    EXPECT_EQ(*AcceptPhaseScale("300"), 225);
    EXPECT_EQ(*AcceptPhaseScale("226"), 226);
    EXPECT_EQ(*AcceptPhaseScale("0.5"), 1);

    EXPECT_EQ(*AcceptRtlossScale("-30"), 30);
    EXPECT_EQ(*AcceptRtlossScale("0.5"), 1);
    EXPECT_EQ(*AcceptRtlossScale("1000"), 80);

    EXPECT_EQ(*AcceptQScale("1000"), 500);
    EXPECT_FALSE(AcceptQScale("0"));

    EXPECT_EQ(*AcceptS21GainScale("4"), 3);
    EXPECT_EQ(*AcceptS21GainScale("0.15"), 0.1);
    EXPECT_EQ(*AcceptS21GainScale("0"), 0.1);
    EXPECT_EQ(*AcceptS21GainScale(" 5     (90)"), 5);
    EXPECT_EQ(*AcceptS21GainScale("2 dB"), 2);
    EXPECT_EQ(*AcceptS21GainScale("9.9"), 6);
    EXPECT_EQ(*AcceptS21GainScale("1e9"), 10);

    EXPECT_EQ(*AcceptS21PhaseScale("0.5"), 200);
    EXPECT_EQ(*AcceptS21PhaseScale("-300"), 225);

    EXPECT_EQ(*AcceptTopLineValue("12", 1), 12);
    EXPECT_EQ(*AcceptTopLineValue("6", 2), 3);
    EXPECT_EQ(*AcceptTopLineValue("-6", 2), -3); // -3 + 0.49 rounds to -3
    EXPECT_EQ(*AcceptTopLineValue("1e12", 0.1), 200);
    EXPECT_EQ(*AcceptZeroRefDivisions("25"), 18);
    EXPECT_EQ(*AcceptZeroRefDivisions("-3"), 0);
    EXPECT_EQ(*AcceptZeroRefDivisions("4.6"), 5);

    EXPECT_EQ(*AcceptDelayScale(" 2 us"), 2000);
    EXPECT_EQ(*AcceptDelayScale(" 1 ms"), 1e6);
    EXPECT_EQ(*AcceptDelayScale(" 50 ns"), 50);
    EXPECT_FALSE(AcceptDelayScale("0 us"));
    EXPECT_EQ(*AcceptDelayScale("1e30"), 1e9);

    EXPECT_EQ(*AcceptInsertionLossScale("20"), 10);
    EXPECT_EQ(*AcceptInsertionLossScale("-0.5"), 0.5);
    EXPECT_FALSE(AcceptInsertionLossScale("0"));

    EXPECT_TRUE(IsNumberText(" -3.5"));
    EXPECT_FALSE(IsNumberText("abc"));
}

TEST(GraphScalesDialog, TextZeroNegativeAndHugeValues) {
    test::TestRig rig;
    StartDemo(rig);
    core::AppState& st = rig.st();
    st.zmag_scale = 1000;
    st.phase_scale = 100;
    st.Q_scale = 100;
    rig.ui.formAnswers.push_back(Fill({{"SWR", "5 Log"},
                                       {"Impedance (ohms)", "abc"},
                                       {"Phase (degrees)", "-50"},
                                       {"Return Loss (dB)", "1e308"},
                                       {"Q", "0"}}));
    rig.ui.deliver(platform::Event{platform::EventType::Button, 0, 0, 0, commands::cmd::ButtonScales});
    ASSERT_EQ(rig.ui.forms.size(), 1u);
    EXPECT_EQ(rig.ui.forms[0].title, " Graph Scales");
    EXPECT_EQ(rig.ui.forms[0].fields[0].label, "Any full scale value can be");
    EXPECT_EQ(rig.ui.forms[0].fields[1].label, "entered in the edit box.");
    EXPECT_EQ(st.swr_scale, 5);
    EXPECT_EQ(st.swrLog, 1);
    EXPECT_EQ(st.zmag_scale, 1000) << "text is refused";
    EXPECT_NE(rig.ui.messages().back().text.find("\"abc\" is not a number."), std::string::npos);
    EXPECT_EQ(st.phase_scale, 50);
    EXPECT_EQ(st.rtloss_scale, 80);
    EXPECT_EQ(st.Q_scale, 100) << "zero is refused";

    // Cancelled: nothing changes.
    rig.ui.formAnswers.push_back(Fill({{"SWR", "3"}}, platform::FormCancelled));
    commands::GraphScalesDialog(rig.p());
    EXPECT_EQ(st.swr_scale, 5);
}

TEST(GraphScalesDialog, PortBFieldsAndTheZeroLine) {
    test::TestRig rig;
    StartDemo(rig);
    core::AppState& st = rig.st();
    st.PortB_on = 1;
    st.Zero_Ref = 2;
    st.s21gain_scale = 10;
    rig.ui.formAnswers.push_back(Fill({{"S21 (dB/div)", " 2     (36)"},
                                       {"S21 (dB) value at top line of graph.", "6"},
                                       {"Group Delay", " 5 us"},
                                       {"Insertion Loss (dB/div)", "-3"},
                                       {"Phase (degrees)", "0"}}));
    commands::GraphScalesDialog(rig.p());
    const Form& f = rig.ui.forms.back();
    const auto& gains = f.fields[static_cast<std::size_t>(f.find("S21 (dB/div)"))].choices;
    EXPECT_EQ(gains[0], " 1     (18)") << "the bracket holds dB/div x (20 - Zero_Ref)";
    EXPECT_EQ(st.s21gain_scale, 2);
    EXPECT_EQ(st.Zero_Ref, 3);
    EXPECT_EQ(st.delay_scale, 5000);
    EXPECT_EQ(st.insertionLossScale, 3);
    EXPECT_EQ(st.s21phase_scale, 200);
    // The direct entry of the zero line wins when it was changed.
    rig.ui.formAnswers.push_back(Fill({{"0_dB Ref Line (Div from Top 0-18)", "40"}}));
    commands::GraphScalesDialog(rig.p());
    EXPECT_EQ(st.Zero_Ref, 18);
}

TEST(PlotParametersDialog, TogglesTracesWithTheirExclusions) {
    test::TestRig rig;
    StartDemo(rig);
    core::AppState& st = rig.st();
    rig.ui.formAnswers.push_back([](Form& f) {
        for (auto& field : f.fields) {
            field.checked = true;
        }
        return platform::FormOk;
    });
    commands::PlotParametersDialog(rig.p());
    EXPECT_EQ(rig.ui.forms.back().title, " Plot Parameters");
    EXPECT_EQ(st.plot_Q, 1);
    EXPECT_EQ(st.plot_rsA, 1);
    EXPECT_EQ(st.plot_rpA, 0) << "Rs/Xs wins over Rp/Xp";
    EXPECT_EQ(st.plot_at_zero, 1);
    st.PortB_on = 1;
    rig.ui.formAnswers.push_back([](Form& f) {
        for (auto& field : f.fields) {
            field.checked = field.label != "S21 phase";
        }
        return platform::FormOk;
    });
    commands::PlotParametersDialog(rig.p());
    EXPECT_EQ(st.plot_phaseS21, 0);
    EXPECT_EQ(st.plot_phaseS11, 1);
    EXPECT_EQ(st.plot_ZphaseB, 0) << "one phase trace at a time";
    EXPECT_EQ(st.plotInsertionLoss, 1);
}

TEST(StyleAndColourDialogs, SetResetAndRestore) {
    test::TestRig rig;
    StartDemo(rig);
    core::AppState& st = rig.st();
    rig.ui.formAnswers.push_back(Fill({{"Style", "Circle"}}));
    rig.ui.deliver(platform::Event{platform::EventType::Menu, 0, 0, 0, commands::cmd::StyleXs});
    EXPECT_EQ(st.xsstyle, 3);
    const Form& f = rig.ui.forms.back();
    EXPECT_EQ(f.title, " Graph Style");
    EXPECT_EQ(f.fields[0].label, "Xs");
    EXPECT_EQ(f.fields[1].choices, (std::vector<std::string>{"Plain line", "Short Dash", "Long Dash",
                                                             "Circle", "Square", "Wide Line"}));
    st.delaystyle = 5;
    rig.ui.deliver(platform::Event{platform::EventType::Menu, 0, 0, 0, commands::cmd::ClearAllStyles});
    EXPECT_EQ(st.xsstyle, 0);
    EXPECT_EQ(st.delaystyle, 0);

    // Colours: OK takes the edited swatches, Cancel keeps the old ones, Restore takes the defaults.
    rig.ui.formAnswers.push_back([](Form& form) {
        form.fields[0].color = core::Color(1, 2, 3);
        return platform::FormOk;
    });
    commands::ColorSelectionDialog(rig.p());
    EXPECT_EQ(st.RedColor, core::Color(1, 2, 3));
    EXPECT_EQ(rig.ui.forms.back().extraButtons, (std::vector<std::string>{"Restore Default Colors"}));
    rig.ui.formAnswers.push_back([](Form& form) {
        form.fields[0].color = core::Color(9, 9, 9);
        return platform::FormCancelled;
    });
    commands::ColorSelectionDialog(rig.p());
    EXPECT_EQ(st.RedColor, core::Color(1, 2, 3));
    st.defaultColors[1] = core::Color(240, 0, 0);
    rig.ui.formAnswers.push_back([](Form&) { return platform::FormExtraButton; });
    commands::ColorSelectionDialog(rig.p());
    EXPECT_EQ(st.RedColor, core::Color(240, 0, 0));
    EXPECT_EQ(st.LightBlue, st.defaultColors[9]);
}
