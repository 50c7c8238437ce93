// The frequency calibration in the constant-frequency window, and the amplitude commands that warn
// about the calibration.

#include <gtest/gtest.h>

#include <cmath>

#include "cal/amplitude.h"
#include "cal/cal_rig.h"
#include "cal/freq_cal.h"
#include "core/atomic_file.h"
#include "instrument/commands.h"
#include "support/test_rig.h"

using namespace vna;
using platform::Answer;
using test::SimTest;

namespace {

// Presses the window's button with this caption.
std::function<int(platform::Form&)> Press(const std::string& caption) {
    return [caption](platform::Form& f) {
        for (std::size_t k = 0; k < f.extraButtons.size(); ++k) {
            if (f.extraButtons[k] == caption) {
                return platform::FormExtraButton + static_cast<int>(k);
            }
        }
        ADD_FAILURE() << "no button " << caption;
        return platform::FormCancelled;
    };
}

std::function<int(platform::Form&)> Type(const std::string& text) {
    return [text](platform::Form& f) {
        f.fields[static_cast<std::size_t>(f.find("Frequency (MHz)"))].text = text;
        return platform::FormOk;
    };
}

// The frequency the unit puts out now (MHz).
double OutputMHz(test::SimRig& r) {
    return r.serial.unit.frontEnd.FrequencyHz(r.serial.unit.state().tuningWord) / 1e6;
}

} // namespace

TEST(FreqCal, TheFactorFollowsTheStandardAndRepeatedCalibrationsMultiply) {
    test::TestRig rig;
    auto& st = rig.st();
    core::ResetToDefaults(st, 2026, 12, 7);
    st.instrument_id = "  261207 1042";
    // Window at the standard: nothing changes.
    st.freq = 10;
    rig.ui.textAnswers = {std::string("10")};
    cal::FrequencyCalibration(rig.p());
    EXPECT_EQ(st.freq_comp, 1);
    EXPECT_EQ(rig.ui.messages().back().text,
              "Freq Calibration is complete.\r\rCompensation Factor = 1.000000000  ( 0.00 ppm)");
    EXPECT_EQ(rig.ui.messages().back().caption, " Freq Cal");
    EXPECT_EQ(rig.ui.calls[1].text, " Enter Standard Frequency (MHz)");

    // Tuned to 10.000150 to meet a 10 MHz standard: 15 ppm, and the window shows the standard.
    st.freq = 10.00015;
    rig.ui.textAnswers = {std::string("10")};
    cal::FrequencyCalibration(rig.p());
    EXPECT_NEAR(st.freq_comp, 1.000015, 1e-12);
    EXPECT_EQ(st.freq, 10);
    EXPECT_EQ(st.FreqCalStandard, 10);
    EXPECT_EQ(st.FreqCalUnitID, "  261207 1042");
    EXPECT_EQ(rig.ui.messages().back().text,
              "Freq Calibration is complete.\r\rCompensation Factor = 1.000015000  (15.00 ppm)");
    // Kept in the settings file at once.
    std::string init;
    ASSERT_TRUE(core::ReadWholeFile(rig.dir.file("VNA_Init_Data.ini"), init));
    EXPECT_NE(init.find("1.000015"), std::string::npos);

    // A second calibration starts from the first factor; the last standard is proposed.
    st.freq = 10.00001;
    rig.ui.textAnswers = {std::nullopt};
    cal::FrequencyCalibration(rig.p());
    EXPECT_EQ(rig.ui.messages().back().text, "Freq Calibration was not done");
    EXPECT_NEAR(st.freq_comp, 1.000015, 1e-12);
    rig.ui.textAnswers = {std::string("10")};
    cal::FrequencyCalibration(rig.p());
    EXPECT_NEAR(st.freq_comp, 1.000015 * 1.000001, 1e-12);

    // 3 kHz away: not the frequency tuned to. "No": not done. Neither changes anything.
    const double factor = st.freq_comp;
    st.freq = 10.003;
    rig.ui.textAnswers = {std::string("10")};
    cal::FrequencyCalibration(rig.p());
    EXPECT_EQ(rig.ui.messages().back().text,
              "Present frequency is not close enough for calibration (+/-2KHz tolerance)");
    rig.ui.messageAnswers = {Answer::No};
    cal::FrequencyCalibration(rig.p());
    EXPECT_EQ(rig.ui.messages().back().text, "Freq Calibration was not done");
    EXPECT_EQ(st.freq_comp, factor);
    EXPECT_EQ(st.freq, 10.003);
}

TEST_F(SimTest, ConstantFrequencyWindowTunesTheUnitOntoAStandardAndCalibratesItsClock) {
    auto& r = rig();
    auto& st = r.st();
    r.serial.unit.frontEnd.clockPpm = 15;
    st.freq = 10;
    instrument::SetRelays(r.p(), 3);
    // The unit's clock is 15 ppm fast: asked for 10 MHz it makes 150 Hz more. The user tunes down
    // until the carrier meets the standard, then calibrates.
    r.ui.formAnswers = {Press("-0.0001")};
    for (int i = 0; i < 5; ++i) {
        r.ui.formAnswers.push_back(Press("-0.00001"));
    }
    double before = 0;
    double tuned = 0;
    r.ui.formAnswers.push_back([&](platform::Form& f) {
        tuned = OutputMHz(r);
        return Press("Freq Cal")(f);
    });
    r.ui.textAnswers = {std::string("10")};
    r.ui.formAnswers.push_back([&](platform::Form& f) {
        EXPECT_EQ(f.fields[0].label, "Frequency =  10.000000 MHz");
        return platform::FormCancelled;
    });
    bool first = true;
    r.ui.onDialog = [&](const platform::fake::UiCall& c) {
        if (first && c.kind == "form") {
            first = false;
            before = OutputMHz(r);
            EXPECT_TRUE(r.serial.unit.state().relay0);
            EXPECT_FALSE(r.serial.unit.state().relay1);
            EXPECT_EQ(r.serial.unit.state().bank2, 1);
        }
    };
    cal::ConstantFrequencyWindow(r.p());
    EXPECT_NEAR(before, 10.00015, 1e-6);
    EXPECT_NEAR(tuned, 10, 1e-6);
    EXPECT_NEAR(st.freq_comp, 0.999985, 1e-12);
    EXPECT_EQ(st.freq, 10);
    EXPECT_NEAR(OutputMHz(r), 10, 1e-7) << "asked for 10 MHz, the unit now makes 10 MHz";
    EXPECT_EQ(r.serial.unit.state().bank2, 3) << "Exit";
    EXPECT_EQ(r.serial.unit.state().amplitudeWord, 1023);
}

TEST_F(SimTest, ConstantFrequencyWindowButtonsStayInsideTheRange) {
    auto& r = rig();
    auto& st = r.st();
    st.freq = 175;
    std::vector<double> seen;
    auto note = [&](std::function<int(platform::Form&)> action) {
        return [&seen, &r, action](platform::Form& f) {
            seen.push_back(r.st().freq);
            return action(f);
        };
    };
    r.ui.formAnswers = {note(Press("+10 MHz")),
                        note(Press("14 MHz")),
                        note(Press("3.5 MHz")),
                        note(Press("-10 MHz")),
                        note(Press("+1")),
                        note(Type("abc")),
                        note(Type("500")),
                        note(Type(" 7.1 ")),
                        note(Press("-0.000001")),
                        note(Press("50%")),
                        note(Type("")),
                        note(Press("0%")),
                        note([](platform::Form&) { return platform::FormCancelled; })};
    cal::ConstantFrequencyWindow(r.p());
    const std::vector<double> expected = {175,   180, 14,       3.5,      0.005,    1.005,   1.005,
                                          1.005, 7.1, 7.099999, 7.099999, 7.099999, 7.099999};
    ASSERT_EQ(seen.size(), expected.size());
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_NEAR(seen[i], expected[i], 1e-12) << i;
    }
    const auto m = r.ui.messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_NE(m[0].text.find("is not a number"), std::string::npos);
    EXPECT_NE(m[1].text.find("between"), std::string::npos);
    EXPECT_NEAR(OutputMHz(r), 7.099999, 1e-6);
    EXPECT_EQ(r.serial.unit.state().amplitudeWord, 1023) << "Exit puts the source back to full amplitude";
}

TEST(Amplitude, ALargeChangeAsksForARecalibrationOfThePortInUse) {
    test::TestRig rig;
    auto& st = rig.st();
    core::ResetToDefaults(st, 2026, 12, 7);
    st.porta_cal_ok = st.portb_cal_ok = 1;
    st.DDS_Amplitude = 100;
    cal::AmplitudeCheck(rig.p(), 96);
    EXPECT_TRUE(rig.ui.messages().empty()) << "4 percent is within the threshold";
    EXPECT_EQ(st.DDS_Amplitude, 96);

    rig.ui.messageAnswers = {Answer::Yes};
    cal::AmplitudeCheck(rig.p(), 48);
    auto m = rig.ui.messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].text,
              "The present calibrated amplitude is  96%.\rThe VNA should be recalibrated if the amplitude "
              "is changed to  48%.\r\rDo you want to recalibrate?");
    EXPECT_EQ(m[0].caption, "Amplitude check");
    EXPECT_EQ(m[1].text, "Recalibrate both ports ");
    EXPECT_EQ(m[1].caption, "Cal required");
    EXPECT_EQ(st.porta_cal_ok, 0);
    EXPECT_EQ(st.portb_cal_ok, 1);
    EXPECT_EQ(st.DDS_Amplitude, 48);

    // Port B in use: its cal is the one marked; "No" keeps both.
    st.PortB_on = 1;
    rig.ui.messageAnswers = {Answer::No};
    cal::AmplitudeCheck(rig.p(), 100);
    EXPECT_EQ(st.portb_cal_ok, 1);
    EXPECT_EQ(st.DDS_Amplitude, 100);
    rig.ui.messageAnswers = {Answer::Yes};
    cal::AmplitudeCheck(rig.p(), 20);
    EXPECT_EQ(st.portb_cal_ok, 0);

    // The entry: refused without an instrument; values below 5 percent become 5.
    rig.ui.calls.clear();
    st.InstrumentPresent = 0;
    cal::EnterAmplitude(rig.p());
    EXPECT_EQ(rig.ui.messages().at(0).text, "This function requires the hardware");
    st.InstrumentPresent = 1;
    rig.ui.calls.clear();
    rig.ui.messageAnswers = {Answer::Yes, Answer::No};
    rig.ui.textAnswers = {std::string("3")};
    cal::EnterAmplitude(rig.p());
    m = rig.ui.messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].caption, "Cal data alert");
    EXPECT_EQ(m[0].text,
              "Note: The present cal data may not be accurate if the output amplitude is changed.\r\rDo "
              "you want to enter a new amplitude value?");
    EXPECT_EQ(st.DDS_Amplitude, 5);
    rig.ui.messageAnswers = {Answer::No};
    cal::EnterAmplitude(rig.p());
    EXPECT_EQ(st.DDS_Amplitude, 5);
}
