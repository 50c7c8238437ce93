// The scan limits: the check, the custom-cal rule, the snapping without interpolation, the step
// rules and the "Scan Limits" dialog.

#include <gtest/gtest.h>

#include "core/cal_table.h"
#include "display/graph_geometry.h"
#include "measure/scan_limits.h"
#include "support/test_rig.h"

using namespace vna;

namespace {

struct LimitsRig : test::TestRig {
    LimitsRig() {
        core::ResetToDefaults(st(), 2026, 12, 7);
        ui.createMainWindow(0, 0, 1000, 700);
        st().maxScanPoints = 30000;
    }
    // A custom cal over start .. end in steps of `step` is in force.
    void customCal(double start, double end, double step) {
        core::CalTable& c = p().cal;
        c.custom_cal = 1;
        c.custom_start_freq = start;
        c.custom_end_freq = end;
        c.custom_delta_freq = step;
        c.cal_points = static_cast<int>((end - start) / step + 0.5) + 5;
        core::SetGridInUse(c, 0.005, 180);
    }
    void standardCal() {
        core::CalTable& c = p().cal;
        c.custom_cal = 0;
        c.cal_points = 921;
        core::SetGridInUse(c, 0.005, 180);
    }
    void axis() { display::ComputeScaleFactors(p()); }
    std::vector<std::string> captions() {
        std::vector<std::string> out;
        for (const auto& m : ui.messages()) {
            out.push_back(m.caption);
        }
        return out;
    }
    // Answers the next form dialog with these texts (Start, Stop, Step) and the check box.
    void answerLimits(std::string start, std::string stop, std::string step, bool atZero = false) {
        ui.formAnswers.push_back([=](platform::Form& f) {
            f.fields.at(0).text = start;
            f.fields.at(1).text = stop;
            f.fields.at(2).text = step;
            f.fields.at(4).checked = atZero;
            return platform::FormOk;
        });
    }
};

} // namespace

TEST(ScanLimits, ImpossibleLimitsAreReplacedAndReportedOnce) {
    LimitsRig rig;
    auto& st = rig.st();
    st.start_freq = 0.001;
    st.end_freq = -300;
    st.delta_freq = 0;
    measure::CheckScanLimits(rig.p());
    EXPECT_EQ(st.start_freq, 1);
    EXPECT_EQ(st.end_freq, 21);
    EXPECT_DOUBLE_EQ(st.delta_freq, 0.2);
    EXPECT_NE(st.LastError, 0);
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].caption, " Scan Limit Error");
    EXPECT_EQ(rig.ui.messages()[0].text,
              "A scan limit error was found.\r\nBe sure the proper scan limits are set "
              "and\r\nthe correct cal file and config file are loaded.");

    LimitsRig other;
    auto& o = other.st();
    o.start_freq = 200;
    o.end_freq = 0.001;
    o.delta_freq = 40;
    measure::CheckScanLimits(other.p());
    EXPECT_EQ(o.start_freq, 10);
    EXPECT_EQ(o.end_freq, 20);
    EXPECT_DOUBLE_EQ(o.delta_freq, 0.1);
    EXPECT_EQ(other.ui.messages().size(), 1u);

    // Sane limits pass silently; negative ones are taken by their size.
    LimitsRig fine;
    fine.st().start_freq = -3.5;
    fine.st().end_freq = 7.5;
    fine.st().delta_freq = -0.01;
    measure::CheckScanLimits(fine.p());
    EXPECT_EQ(fine.st().LastError, 0);
    EXPECT_EQ(fine.st().start_freq, 3.5);
    EXPECT_EQ(fine.st().delta_freq, 0.01);
    EXPECT_TRUE(fine.ui.messages().empty());

    // A bad step between equal limits still becomes a step a sweep can advance by.
    LimitsRig flat;
    flat.st().start_freq = flat.st().end_freq = 7;
    flat.st().delta_freq = 0;
    measure::CheckScanLimits(flat.p());
    EXPECT_GT(flat.st().delta_freq, 0);
}

TEST(ScanLimits, TheScanMustStayInsideACustomCal) {
    LimitsRig rig;
    auto& st = rig.st();
    rig.customCal(1, 11, 0.05);
    st.start_freq = 0.5;
    st.end_freq = 10;
    st.delta_freq = 0.1;
    rig.axis();
    EXPECT_EQ(measure::CheckCustomLimits(rig.p()), 1);
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].caption, "Custom Cal problem");
    EXPECT_EQ(
        rig.ui.messages()[0].text,
        "The start frequency ( 0.5000 MHz) is not within the custom cal limits,\rwhich are  1  to   11 MHz");
    // Both wrong: the end is named and the code is 2; the check of all limits adds it to its own.
    st.start_freq = 0.5;
    st.end_freq = 12;
    rig.axis();
    rig.ui.calls.clear();
    measure::CheckScanLimits(rig.p());
    EXPECT_EQ(st.LastError, 2);
    ASSERT_EQ(rig.captions(), (std::vector<std::string>{"Custom Cal problem", " Scan Limit Error"}));
    EXPECT_EQ(rig.ui.messages()[0].text.rfind("The end frequency ( 12 MHz)", 0), 0u);
    st.end_freq = 300;
    rig.ui.calls.clear();
    measure::CheckScanLimits(rig.p());
    EXPECT_EQ(st.LastError, 6); // 4 for the stop above the instrument, 2 for the custom cal
    // Inside: nothing to say.
    st.start_freq = 2;
    st.end_freq = 9;
    rig.axis();
    rig.ui.calls.clear();
    measure::CheckScanLimits(rig.p());
    EXPECT_EQ(st.LastError, 0);
    EXPECT_TRUE(rig.ui.messages().empty());
    // A standard cal has no such rule.
    LimitsRig standard;
    standard.standardCal();
    EXPECT_EQ(measure::CheckCustomLimits(standard.p()), 0);
}

TEST(ScanLimits, WithoutInterpolationTheGridLandsOnCalFrequencies) {
    LimitsRig rig;
    auto& st = rig.st();
    rig.standardCal();
    st.interpolate = 0;
    st.start_freq = 1.1;
    st.end_freq = 10.05;
    st.delta_freq = 0.3;
    measure::SnapToCalGrid(rig.p());
    EXPECT_DOUBLE_EQ(st.delta_freq, 0.2);
    EXPECT_DOUBLE_EQ(st.start_freq, 1.0);
    EXPECT_DOUBLE_EQ(st.end_freq, 1.0 + 0.2 * 46);
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].caption, " Interpolation is off");
    EXPECT_EQ(rig.ui.messages()[0].text,
              "The freq step size will be \r 0.2000 instead of  0.3000\rbecause interpolation is off.\r");
    // A step that already is a whole number of cal steps is not mentioned.
    st.delta_freq = 0.4;
    rig.ui.calls.clear();
    measure::SnapToCalGrid(rig.p());
    EXPECT_TRUE(rig.ui.messages().empty());
    // The stop stays inside the custom cal.
    LimitsRig custom;
    custom.customCal(2, 5, 0.1);
    custom.st().interpolate = 0;
    custom.st().start_freq = 2;
    custom.st().end_freq = 5;
    custom.st().delta_freq = 0.7;
    measure::SnapToCalGrid(custom.p());
    EXPECT_NEAR(custom.st().delta_freq, 0.7, 1e-12);
    EXPECT_LE(custom.st().end_freq, 5 + 1e-9);
    EXPECT_NEAR(custom.st().end_freq, 2 + 0.7 * 4, 1e-9);
    // With interpolation on nothing changes.
    LimitsRig on;
    on.standardCal();
    on.st().start_freq = 1.1;
    on.st().delta_freq = 0.3;
    measure::SnapToCalGrid(on.p());
    EXPECT_EQ(on.st().start_freq, 1.1);
    EXPECT_EQ(on.st().delta_freq, 0.3);
}

TEST(ScanLimits, StepAndFrequencyTexts) {
    EXPECT_DOUBLE_EQ(measure::StepFromText("10%", 1, 11), 1);
    EXPECT_DOUBLE_EQ(measure::StepFromText("0%", 1, 11), 0.1);
    EXPECT_DOUBLE_EQ(measure::StepFromText("50p", 1, 11), 0.2);
    EXPECT_DOUBLE_EQ(measure::StepFromText("50P", 1, 11), 0.2);
    EXPECT_DOUBLE_EQ(measure::StepFromText("0p", 1, 11), 2);
    EXPECT_DOUBLE_EQ(measure::StepFromText("50", 1, 11), 0.2); // 20 or more: a number of points
    EXPECT_DOUBLE_EQ(measure::StepFromText("5", 1, 11), 5);
    EXPECT_DOUBLE_EQ(measure::StepFromText("500k", 1, 11), 0.5);
    EXPECT_DOUBLE_EQ(measure::StepFromText("90000", 0, 30010), 1); // at most 30010 points
    EXPECT_DOUBLE_EQ(measure::StepFromText("0.000001", 0, 100), 100.0 / 30010);
    EXPECT_DOUBLE_EQ(measure::StepFromText("50", 11, 1), 0.2); // the limits are put in order later
    EXPECT_DOUBLE_EQ(measure::FrequencyFromText("500k"), 0.5);
    EXPECT_DOUBLE_EQ(measure::FrequencyFromText("500K"), 0.5);
    EXPECT_DOUBLE_EQ(measure::FrequencyFromText("-14.2"), 14.2);
}

TEST(ScanLimits, TheDialogTakesNewLimits) {
    LimitsRig rig;
    auto& st = rig.st();
    rig.standardCal();
    st.plot_at_zero = 1;
    st.scana_ok = 1;
    st.RefToAntenna = 1;
    rig.answerLimits("500k", "11", "10%", true);
    measure::ScanLimitsCommand(rig.p());
    ASSERT_EQ(rig.ui.forms.size(), 1u);
    const platform::Form& f = rig.ui.forms[0];
    EXPECT_EQ(f.title, " Scan Limits");
    EXPECT_EQ(f.fields.at(0).text, "5");
    EXPECT_EQ(f.fields.at(1).text, "25");
    EXPECT_EQ(f.fields.at(2).text, "0.202");
    EXPECT_EQ(f.fields.at(3).label, "Frequencies in MHz");
    EXPECT_EQ(f.fields.at(4).label, "Start Plot at Zero");
    EXPECT_TRUE(f.fields.at(4).checked);
    EXPECT_EQ(f.fields.at(5).label, "Center");
    EXPECT_EQ(f.fields.at(6).label, "Span");
    EXPECT_DOUBLE_EQ(st.start_freq, 0.5);
    EXPECT_DOUBLE_EQ(st.end_freq, 11);
    EXPECT_DOUBLE_EQ(st.delta_freq, 1.05);
    EXPECT_EQ(st.plot_at_zero, 1); // 0.5 is below a quarter of 11
    EXPECT_EQ(st.scana_ok, 0);
    EXPECT_EQ(st.RefToAntenna, 0);
    EXPECT_TRUE(rig.ui.messages().empty());
    // The neutral ramp waits in the scan arrays for the next sweep.
    EXPECT_DOUBLE_EQ(rig.p().scan.scan_swr[7], 0.0007);
    EXPECT_DOUBLE_EQ(rig.p().scan.s21_db[30000], 3.0);

    // Start 5, stop 4 are swapped; a start above a quarter of the stop switches "plot at zero" off.
    rig.answerLimits("5", "4", "50", true);
    measure::ScanLimitsCommand(rig.p());
    EXPECT_DOUBLE_EQ(st.start_freq, 4);
    EXPECT_DOUBLE_EQ(st.end_freq, 5);
    EXPECT_DOUBLE_EQ(st.delta_freq, 0.02);
    EXPECT_EQ(st.plot_at_zero, 0);
    // Too few steps: five steps over the span.
    rig.answerLimits("1", "2", "0.5");
    measure::ScanLimitsCommand(rig.p());
    EXPECT_DOUBLE_EQ(st.delta_freq, (1 - 0.001) / 5);
    // Limits beyond the instrument.
    rig.answerLimits("0.001", "500", "100");
    measure::ScanLimitsCommand(rig.p());
    EXPECT_DOUBLE_EQ(st.start_freq, 0.005);
    EXPECT_DOUBLE_EQ(st.end_freq, 180);
    // Center and Span rewrite Start and Stop when changed.
    rig.ui.formAnswers.push_back([](platform::Form& f) {
        f.fields.at(5).text = "14.2";
        f.fields.at(6).text = "400k";
        f.fields.at(2).text = "40";
        return platform::FormOk;
    });
    measure::ScanLimitsCommand(rig.p());
    EXPECT_NEAR(st.start_freq, 14.0, 1e-9);
    EXPECT_NEAR(st.end_freq, 14.4, 1e-9);
    EXPECT_NEAR(st.delta_freq, 0.01, 1e-12);
}

TEST(ScanLimits, TheDialogRefusesSlipsAndIsNotOfferedDuringASweep) {
    LimitsRig rig;
    auto& st = rig.st();
    rig.answerLimits("abc", "11", "10%");
    measure::ScanLimitsCommand(rig.p());
    EXPECT_EQ(st.start_freq, 5);
    EXPECT_EQ(st.end_freq, 25);
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].text, "\"abc\" is not a number.\r\nThe setting is unchanged.");
    // Cancelled: nothing changes.
    rig.ui.formAnswers.push_back([](platform::Form&) { return platform::FormCancelled; });
    measure::ScanLimitsCommand(rig.p());
    EXPECT_EQ(st.start_freq, 5);
    // Not while a sweep runs or the TDR is shown.
    st.SweepRunning = 1;
    measure::ScanLimitsCommand(rig.p());
    st.SweepRunning = 0;
    st.TdrActive = 1;
    measure::ScanLimitsCommand(rig.p());
    EXPECT_EQ(rig.ui.forms.size(), 2u);
}

TEST(ScanLimits, CustomCalLimitsAreOfferedOrTheOldLimitsComeBack) {
    LimitsRig rig;
    auto& st = rig.st();
    rig.customCal(1, 11, 0.05);
    st.start_freq = 2;
    st.end_freq = 9;
    st.delta_freq = 0.1;
    // Yes to both questions: the custom limits are taken.
    rig.answerLimits("0.5", "15", "0.1");
    rig.ui.messageAnswers = {platform::Answer::Yes, platform::Answer::Yes};
    measure::ScanLimitsCommand(rig.p());
    EXPECT_TRUE(
        rig.ui.forms.at(0).title.starts_with(" Scan Limits    Custom Cal: Start= 1 Stop= 11 Step= 0.0500"));
    ASSERT_GE(rig.captions().size(), 2u);
    EXPECT_EQ(rig.captions()[0], "Custom Cal Start Limit");
    EXPECT_EQ(rig.ui.messages()[0].text,
              "The Start Frequency cannot be less than  1.\rDo you want to set it to this value?");
    EXPECT_EQ(rig.captions()[1], "Custom Cal Stop Limit");
    EXPECT_DOUBLE_EQ(st.start_freq, 1);
    EXPECT_DOUBLE_EQ(st.end_freq, 11);
    // No: "Enter scan limits again." and the limits before the dialog come back.
    rig.ui.calls.clear();
    rig.answerLimits("0.5", "10", "0.1", true);
    rig.ui.messageAnswers = {platform::Answer::No};
    measure::ScanLimitsCommand(rig.p());
    ASSERT_EQ(rig.captions(), (std::vector<std::string>{"Custom Cal Start Limit", "New Limits"}));
    EXPECT_EQ(rig.ui.messages()[1].text, "Enter scan limits again.");
    EXPECT_DOUBLE_EQ(st.start_freq, 1);
    EXPECT_DOUBLE_EQ(st.end_freq, 11);
    EXPECT_EQ(st.plot_at_zero, 0);
}
