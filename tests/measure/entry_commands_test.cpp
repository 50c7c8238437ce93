// The band items and the small entries of the measurement settings: what they set, and the slips
// and cancels that must leave the settings as they were.

#include <gtest/gtest.h>

#include "core/cal_table.h"
#include "display/graph_geometry.h"
#include "measure/entry_commands.h"
#include "support/test_rig.h"

using namespace vna;

namespace {

struct EntryRig : test::TestRig {
    EntryRig() {
        core::ResetToDefaults(st(), 2026, 12, 7);
        ui.createMainWindow(0, 0, 1000, 700);
        st().maxScanPoints = 30000;
        p().cal.cal_points = 921;
        core::SetGridInUse(p().cal, 0.005, 180);
        display::ComputeScaleFactors(p());
    }
    void answerForm(std::vector<std::string> texts) {
        ui.formAnswers.push_back([texts](platform::Form& f) {
            std::size_t k = 0;
            for (auto& field : f.fields) {
                if (field.kind != platform::FormField::Kind::Label && k < texts.size()) {
                    field.text = texts[k++];
                }
            }
            return platform::FormOk;
        });
    }
};

} // namespace

TEST(BandItem, SetsTheSweepToTheBandAndRedrawsTheAxis) {
    EntryRig rig;
    auto& st = rig.st();
    st.bandTable[6] = {13.9, 14.5, 0.002, " 20_meters"};
    st.bandTable[7] = {18.0, 18.2, 0, " 17_meters"};
    st.bandTable[3] = {0, 0, 0, " unused"};
    st.bandTable[12] = {143.5, 300, 0.5, " 2_meters"};
    st.start_freq = 5;
    st.end_freq = 25;
    st.delta_freq = 0.1; // 200 steps
    st.scana_ok = 1;

    measure::SelectBand(rig.p(), 6);
    EXPECT_EQ(st.start_freq, 13.9);
    EXPECT_EQ(st.end_freq, 14.5);
    EXPECT_EQ(st.delta_freq, 0.002);
    EXPECT_EQ(rig.p().display.g.axis.plotStart, 13.9) << "the graph follows the band";
    EXPECT_EQ(st.scana_ok, 0) << "the old scan no longer matches the axis";

    // A band without a step of its own keeps the number of points of the sweep before.
    measure::SelectBand(rig.p(), 7);
    EXPECT_EQ(st.start_freq, 18.0);
    EXPECT_NEAR(st.delta_freq, 0.2 / 300, 1e-12);

    // An unused band, a band beyond the table and a band beyond the instrument's range.
    measure::SelectBand(rig.p(), 3);
    measure::SelectBand(rig.p(), 0);
    measure::SelectBand(rig.p(), 17);
    EXPECT_EQ(st.start_freq, 18.0);
    EXPECT_EQ(st.end_freq, 18.2);
    st.maximumfreq = 180;
    measure::SelectBand(rig.p(), 12);
    EXPECT_EQ(st.start_freq, 143.5);
    EXPECT_EQ(st.end_freq, 180) << "the stop stays within the instrument";

    // Nothing changes while a sweep runs.
    st.SweepRunning = 1;
    measure::SelectBand(rig.p(), 6);
    EXPECT_EQ(st.start_freq, 143.5);
}

TEST(DelayOffset, TakesTheValueInItsUnitAndRefusesSlips) {
    EntryRig rig;
    auto& st = rig.st();
    EXPECT_EQ(measure::DelayOffsetText(0).unit, "nsec");
    EXPECT_EQ(measure::DelayOffsetText(2.5e-6).unit, "usec");
    EXPECT_EQ(measure::DelayOffsetText(2.5e-6).value, "2.5");
    EXPECT_EQ(measure::DelayOffsetText(-0.004).unit, "msec");

    rig.answerForm({"2.5", "usec"});
    measure::DelayOffsetDialog(rig.p());
    EXPECT_DOUBLE_EQ(st.PortB_Delay, 2.5e-6);
    ASSERT_EQ(rig.ui.forms.size(), 1u);
    EXPECT_EQ(rig.ui.forms[0].title, " Delay Offset");

    rig.answerForm({"-12", "nsec"});
    measure::DelayOffsetDialog(rig.p());
    EXPECT_DOUBLE_EQ(st.PortB_Delay, -12e-9);
    EXPECT_EQ(rig.ui.forms[1].fields[1].text, "2.5") << "the dialog shows the delay in force";
    EXPECT_EQ(rig.ui.forms[1].fields[2].text, "usec");

    // A text that is no number, a delay of hours, a unit typed wrong, and Cancel: all keep it.
    rig.answerForm({"abc", "nsec"});
    measure::DelayOffsetDialog(rig.p());
    rig.answerForm({"5000", "msec"});
    measure::DelayOffsetDialog(rig.p());
    rig.answerForm({"5", "sec"});
    measure::DelayOffsetDialog(rig.p());
    measure::DelayOffsetDialog(rig.p());
    EXPECT_DOUBLE_EQ(st.PortB_Delay, -12e-9);
    EXPECT_EQ(rig.ui.messages().size(), 3u);
}

TEST(DelaySmoothing, TakesAWholeNumberWithinItsRange) {
    EntryRig rig;
    auto& st = rig.st();
    st.delay_smoothing = 2;
    rig.ui.textAnswers.push_back("7");
    measure::DelaySmoothingDialog(rig.p());
    EXPECT_EQ(st.delay_smoothing, 7);
    rig.ui.textAnswers.push_back("-3");
    measure::DelaySmoothingDialog(rig.p());
    EXPECT_EQ(st.delay_smoothing, -3) << "a negative value is a window in percent of the points";
    for (const char* slip : {"0", "5000", "seven"}) {
        rig.ui.textAnswers.push_back(slip);
        measure::DelaySmoothingDialog(rig.p());
    }
    rig.ui.textAnswers.push_back(std::nullopt);
    measure::DelaySmoothingDialog(rig.p());
    EXPECT_EQ(st.delay_smoothing, -3);
    EXPECT_EQ(rig.ui.messages().size(), 3u);
}

TEST(TemperatureComp, SetsBothValuesOrNeither) {
    EntryRig rig;
    auto& st = rig.st();
    rig.answerForm({"0.35", "77"});
    measure::TemperatureCompDialog(rig.p());
    EXPECT_EQ(st.myvar1, 0.35);
    EXPECT_EQ(st.myvar2, 77);
    rig.answerForm({"0.5", "warm"});
    measure::TemperatureCompDialog(rig.p());
    EXPECT_EQ(st.myvar1, 0.35);
    EXPECT_EQ(st.myvar2, 77);
}
