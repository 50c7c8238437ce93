// The custom calibration: the texts of its limits dialog, its grid with the points below the
// start, and the procedure against the simulated unit.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "cal/cal_rig.h"
#include "cal/custom_cal.h"
#include "instrument/raw_reading.h"
#include "measure/correction.h"
#include "measure/interpolation.h"
#include "platform/form.h"

using namespace vna;
using platform::Answer;
using test::SimTest;

namespace {

// Fills the limits dialog with the texts given (start, stop, step, amplitude) and presses OK.
std::function<int(platform::Form&)> Limits(const std::string& start, const std::string& stop,
                                           const std::string& step, const std::string& amplitude = "100") {
    return [=](platform::Form& f) {
        f.fields[static_cast<std::size_t>(f.find("Start"))].text = start;
        f.fields[static_cast<std::size_t>(f.find("Stop"))].text = stop;
        f.fields[static_cast<std::size_t>(f.find("Step"))].text = step;
        f.fields[static_cast<std::size_t>(f.find("Amplitude (%)"))].text = amplitude;
        return platform::FormOk;
    };
}

} // namespace

TEST(CustomCal, LimitTextsGridExtrapolationAndMaximumUsableFrequency) {
    EXPECT_NEAR(cal::CustomStepFromText("500p", 1, 11), 0.02, 1e-12);
    EXPECT_NEAR(cal::CustomStepFromText("50", 1, 11), 0.2, 1e-12);
    EXPECT_NEAR(cal::CustomStepFromText("0.5", 1, 11), 0.5, 1e-12);
    EXPECT_NEAR(cal::CustomStepFromText("2P", 1, 11), 2, 1e-12) << "at least 5 points";
    EXPECT_NEAR(cal::CustomStepFromText("99999p", 0, 30), 0.001, 1e-12) << "at most 30000 points";
    EXPECT_NEAR(cal::CustomStepFromText("0.2k", 1, 11), 0.001, 1e-12) << "at least 1 kHz";
    EXPECT_NEAR(cal::CustomFrequencyFromText("100k"), 0.1, 1e-12);
    EXPECT_NEAR(cal::CustomFrequencyFromText("-14.2"), 14.2, 1e-12);

    core::CalArray a{};
    a[2] = 1;
    a[3] = 2;
    a[4] = 4;
    cal::ExtrapolateBelowStart(a);
    EXPECT_EQ(a[1], 1);
    EXPECT_EQ(a[0], 2);

    // The short stays inductive up to 37 MHz, then reads capacitive: the cal is usable to 37 MHz.
    cal::MufFinder muf(180);
    muf.add(0.3, 20); // a large value below 0.5 MHz counts for the maximum...
    muf.add(0.4, -1); // ...but a negative one there does not end the usable range
    muf.add(10, 12);
    muf.add(37.33, -0.5);
    muf.add(40, -3);
    EXPECT_DOUBLE_EQ(muf.muf(), 37.2);
    cal::MufFinder never(180);
    never.add(5, 8);
    never.add(6, -1);
    EXPECT_EQ(never.muf(), 180) << "a short whose reading never rose above 10 has no limit";
}

TEST_F(SimTest, CustomCalOverChosenLimitsMeasuresWithItsOwnGrid) {
    auto& r = rig();
    test::PrepareWithUnitCal(r);
    auto& st = r.st();
    st.average = 16;
    test::AttachStandards(r);
    r.ui.formAnswers = {Limits("1", "30", "0.5")};
    r.ui.textAnswers = {std::string("50")};
    r.ui.messageAnswers = {Answer::No};
    const std::string path = r.dir.file("custom.acal");
    r.ui.fileAnswers = {path};
    ASSERT_TRUE(cal::CustomCal(r.p())) << test::Dialogs(r);
    ASSERT_EQ(r.ui.forms.size(), 1u);
    EXPECT_EQ(r.ui.forms[0].title, " Custom Cal Limits");
    EXPECT_EQ(r.ui.forms[0].extraButtons, std::vector<std::string>{"Standard Cal"});
    const auto m = r.ui.messages();
    ASSERT_EQ(m.size(), 2u) << test::Dialogs(r);
    EXPECT_EQ(m[1].text, "Calibration is complete.\r  Zo = 50     Amplitude = 100%");
    EXPECT_EQ(r.ui.calls[1].text, " Attach short circuit to Port A");
    EXPECT_EQ(r.ui.calls[1].caption, "Custom Cal Port A");

    // In force, custom, its points: 1 to 31 MHz (two above the end) and two below the start.
    EXPECT_EQ(st.cal_file, path);
    const core::CalTable& t = r.p().cal;
    EXPECT_EQ(t.custom_cal, 1);
    EXPECT_EQ(t.custom_start_freq, 1);
    EXPECT_EQ(t.custom_end_freq, 30);
    EXPECT_EQ(t.custom_delta_freq, 0.5);
    EXPECT_EQ(t.cal_points, 63);
    EXPECT_EQ(t.MUF, 180);
    EXPECT_EQ(st.start_freq, 1);
    EXPECT_EQ(st.end_freq, 30);
    EXPECT_EQ(st.delta_freq, 0.5);
    EXPECT_EQ(st.porta_cal_ok, 1);
    EXPECT_EQ(st.average, 16);

    // A resistor between the cal points.
    r.connect("resistor:r=100");
    st.start_freq = 7.3;
    st.delta_freq = 0.1;
    st.scan_points = 1;
    measure::BuildInterpolation(r.p());
    ASSERT_EQ(st.porta_cal_ok, 1);
    std::complex<double> sum = 0;
    for (int i = 0; i < 4; ++i) {
        st.freq = 7.3;
        st.Measuring = 1;
        instrument::MeasurePortAPoint(r.p());
        st.CalIndex = 0;
        measure::ApplyCorr(r.p());
        sum += std::complex<double>(r.p().point.rs, r.p().point.xs);
    }
    EXPECT_LT(std::abs(sum / 4.0 - std::complex<double>(100, 0)), 0.5) << sum / 4.0;
}

TEST_F(SimTest, CustomCalLimitsAreCheckedAndEveryEarlyEndRestoresTheSweep) {
    struct Case {
        std::function<int(platform::Form&)> limits;
        std::deque<Answer> answers;
        std::string caption; // of the message expected last
        std::string text;
    };
    const std::vector<Case> cases = {
        {Limits("0.1", "180", "0.001"),
         {Answer::Ok},
         "Cal points = 1004",
         "The cal step size has been adjusted to  0.0060 MHz\r so the number of cal points will be  30000\r"
         "Calibration will continue with this step size."},
        {Limits("1", "30", "0.5", "3%"),
         {Answer::No},
         " Amplitude Too Low",
         "The DDS amplitude cannot be less than 5 percent of full scale.\rIt has been set to 5 percent.\r\r"
         "Do you want to continue?"},
        {Limits("1k", "30", "0.5"),
         {},
         "Start Freq too Low",
         "Start Freq is too low. Start must be greater than  0.0050 MHz"},
        {[](platform::Form&) { return platform::FormCancelled; }, {}, "", ""},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        auto& r = rig();
        const std::string previous = test::PrepareWithUnitCal(r);
        const auto before = std::make_unique<core::CalTable>(r.p().cal);
        auto& st = r.st();
        st.start_freq = 3;
        st.end_freq = 9;
        st.delta_freq = 0.25;
        test::AttachStandards(r);
        r.ui.formAnswers = {cases[i].limits};
        r.ui.messageAnswers = cases[i].answers;
        r.ui.promptAnswers = {false}; // the short is never attached
        EXPECT_FALSE(cal::CustomCal(r.p())) << i;
        const auto m = r.ui.messages();
        if (cases[i].caption.empty()) {
            EXPECT_TRUE(m.empty()) << test::Dialogs(r);
        } else {
            ASSERT_FALSE(m.empty()) << i;
            EXPECT_EQ(m.back().caption, cases[i].caption) << i;
            EXPECT_EQ(m.back().text, cases[i].text) << i;
        }
        if (i == 2) {
            EXPECT_EQ(st.LastError, 13);
        }
        EXPECT_EQ(st.start_freq, 3) << i;
        EXPECT_EQ(st.end_freq, 9) << i;
        EXPECT_EQ(st.delta_freq, 0.25) << i;
        EXPECT_EQ(st.cal_file, previous);
        EXPECT_EQ(st.porta_cal_ok, 1);
        test::ExpectSameCal(r.p().cal, *before);
        EXPECT_EQ(r.serial.unit.state().measurements, 0) << "nothing measured";
        EXPECT_EQ(r.serial.unit.state().amplitudeWord, 1023) << "the amplitude comes back";
    }
}

TEST_F(SimTest, CustomCalLeadsToTheStandardCalAndStopsWhenAStandardFails) {
    {
        auto& r = rig();
        test::PrepareWithUnitCal(r);
        r.ui.formAnswers = {[](platform::Form&) { return platform::FormExtraButton; }};
        r.ui.promptAnswers = {false};
        EXPECT_FALSE(cal::CustomCal(r.p()));
        ASSERT_GE(r.ui.calls.size(), 2u);
        EXPECT_EQ(r.ui.calls[1].text, " Attach short circuit to the Port A connector.  ");
    }
    {
        // The adapter pulled out during the open: the documented message, no file, limits back.
        auto& r = rig();
        const std::string previous = test::PrepareWithUnitCal(r);
        const auto before = std::make_unique<core::CalTable>(r.p().cal);
        test::AttachStandards(r);
        r.ui.formAnswers = {Limits("1", "30", "0.1")};
        r.ui.onPump = [&r](int) {
            if (r.serial.unit.dut.kind == sim::DutKind::Open && r.serial.unit.state().measurements > 400) {
                r.serial.unplugged = true;
            }
        };
        r.ui.fileAnswers = {r.dir.file("c.acal")};
        EXPECT_FALSE(cal::CustomCal(r.p()));
        r.ui.onPump = nullptr;
        EXPECT_EQ(r.ui.messages().back().caption, "37453") << test::Dialogs(r);
        EXPECT_EQ(r.st().cal_file, previous);
        test::ExpectSameCal(r.p().cal, *before);
        EXPECT_FALSE(test::Exists(r.dir.file("c.acal")));
        EXPECT_EQ(r.st().RfActive, 0);
    }
}
