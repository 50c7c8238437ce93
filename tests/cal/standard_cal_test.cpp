// The standard calibration against the simulated unit: the standards the prompts ask for, the
// plausibility checks, every way it can end early, and what the calibration it makes measures.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

#include "cal/cal_rig.h"
#include "cal/cal_session.h"
#include "cal/standard_cal.h"
#include "instrument/raw_reading.h"
#include "measure/correction.h"
#include "measure/interpolation.h"

using namespace vna;
using platform::Answer;
using test::SimTest;
using Complex = std::complex<double>;

namespace {

Complex At(const core::CalArray& re, const core::CalArray& im, int k) {
    return {re[static_cast<std::size_t>(k)], im[static_cast<std::size_t>(k)]};
}

// Measures at f on a one-point grid the way a sweep does and returns the corrected Rs + jXs.
Complex SweepPoint(test::SimRig& r, double f, double& actual) {
    auto& st = r.st();
    st.start_freq = f;
    st.delta_freq = 0.1;
    st.scan_points = 1;
    measure::BuildInterpolation(r.p());
    st.Measuring = 1;
    st.freq = f;
    instrument::MeasurePortAPoint(r.p());
    EXPECT_EQ(st.LastError, 0) << "at " << f << " MHz";
    actual = st.freq;
    st.CalIndex = 0;
    measure::ApplyCorr(r.p());
    st.Measuring = 0;
    return {r.p().point.rs, r.p().point.xs};
}

// The relays of the unit are off.
void ExpectRelaysOff(test::SimRig& r) {
    EXPECT_FALSE(r.serial.unit.state().relay0);
    EXPECT_FALSE(r.serial.unit.state().relay1);
    EXPECT_EQ(r.st().RfActive, 0);
}

// After an early end: the previous calibration in force, unchanged, and nothing new written.
void ExpectPreviousCalBack(test::SimRig& r, const core::CalTable& before, const std::string& previous,
                           const std::string& refused) {
    EXPECT_EQ(r.st().cal_file, previous);
    EXPECT_EQ(r.st().porta_cal_ok, 1);
    EXPECT_EQ(r.st().portb_cal_ok, 1);
    test::ExpectSameCal(r.p().cal, before);
    EXPECT_FALSE(test::Exists(refused));
    EXPECT_EQ(r.st().Measuring, 0);
    EXPECT_EQ(r.st().SweepRunning, 0);
}

} // namespace

TEST(StandardCalGrid, FiveKilohertzStepsToOneHundredKilohertzThenTwoHundred) {
    const auto g = cal::StandardCalGrid(180);
    ASSERT_EQ(g.size(), 921u);
    EXPECT_DOUBLE_EQ(g[0], 0.005);
    EXPECT_DOUBLE_EQ(g[18], 0.095);
    EXPECT_DOUBLE_EQ(g[19], 0.1);
    EXPECT_DOUBLE_EQ(g[20], 0.2);
    EXPECT_DOUBLE_EQ(g[21], 0.4);
    EXPECT_DOUBLE_EQ(g.back(), 180.2);
    for (std::size_t k = 0; k < g.size(); ++k) {
        ASSERT_EQ(g[k], core::StandardGridFreq(static_cast<int>(k))) << k;
    }
    // Another range ends at its own rounded limit + 0.2.
    EXPECT_DOUBLE_EQ(cal::StandardCalGrid(60.3).back(), 60.2);
    // The resistor check: the bridge's 50 ohm arm turns the ratio of load readings into ohms.
    EXPECT_DOUBLE_EQ(cal::ApparentResistor(2000, 1000), 50);
    EXPECT_DOUBLE_EQ(cal::ApparentResistor(2500, 1000), 75);
}

TEST_F(SimTest, StandardCalMadeByTheProgramMeasuresKnownDevicesAndAgreesWithTheUnitsOwn) {
    auto& r = rig();
    const std::string previous = test::PrepareWithUnitCal(r);
    auto& st = r.st();
    st.average = 16;
    const std::string path = r.dir.file("made.acal");
    test::AttachStandards(r);
    r.ui.messageAnswers = {Answer::No}; // Port B is not calibrated this time
    r.ui.textAnswers = {std::string("50")};
    r.ui.fileAnswers = {path};
    ASSERT_TRUE(cal::Cal_A(r.p())) << test::Dialogs(r);

    // No warning: only the Port B question and the completion.
    const auto texts = test::MessageTexts(r);
    ASSERT_EQ(texts.size(), 2u) << test::Dialogs(r);
    EXPECT_EQ(texts[0], "  ***** DO YOU WANT TO CAL PORT B? *****");
    EXPECT_EQ(texts[1].rfind("Calibration is complete.    Zo= 50    Amplitude= 100%  ", 0), 0u) << texts[1];
    EXPECT_EQ(r.ui.calls.front().kind, "prompt");
    EXPECT_EQ(r.ui.calls.front().text, " Attach short circuit to the Port A connector.  ");
    EXPECT_EQ(r.ui.calls.front().caption, " Standard Cal Port A");
    // The window shows each standard's progress, outside diagnostic mode too.
    ASSERT_EQ(st.DiagMode, 0);
    ASSERT_NE(r.ui.canvas(), nullptr);
    for (const char* standard : {"Short circuit", "Open circuit", "Standard resistor"}) {
        for (const char* point : {": point 1 of 921", ": point 921 of 921"}) {
            const std::string shown = std::string(standard) + point;
            bool found = false;
            for (const std::string& t : r.ui.canvas()->texts()) {
                found = found || t.rfind(shown, 0) == 0;
            }
            EXPECT_TRUE(found) << shown;
        }
    }

    // The new file is the cal in force, for Port A only, and the settings name it.
    EXPECT_EQ(st.cal_file, path);
    EXPECT_EQ(st.porta_cal_ok, 1);
    EXPECT_EQ(st.portb_cal_ok, 0);
    EXPECT_EQ(st.average, 16);
    EXPECT_EQ(st.start_freq, 2);
    EXPECT_EQ(st.end_freq, 180);
    EXPECT_EQ(st.delta_freq, 2);
    ExpectRelaysOff(r);
    ASSERT_EQ(r.p().cal.cal_points, 921);

    // Against the unit's own standards, point by point (the points the interpolation averages at
    // the low end are left out): within the noise of a reading at 16 averages.
    auto unit = std::make_unique<core::CalTable>();
    sim::FillUnitCalTable(*unit, r.serial.unit, st.instrument_id, st.maximumfreq);
    double worst[3] = {0, 0, 0};
    for (int k = 4; k < 921; ++k) {
        if (k == 19) {
            continue;
        }
        const core::CalTable& t = r.p().cal;
        const Complex pairs[3][2] = {{At(t.short_re, t.short_im, k), At(unit->short_re, unit->short_im, k)},
                                     {At(t.open_re, t.open_im, k), At(unit->open_re, unit->open_im, k)},
                                     {At(t.std_re, t.std_im, k), At(unit->std_re, unit->std_im, k)}};
        for (int s = 0; s < 3; ++s) {
            // A reading's noise relative to the value grows with the raw impedance: the open's
            // load channel is only a few converter steps at the low end.
            const double bound = 0.002 + 8e-6 * std::abs(pairs[s][1]);
            const double rel = std::abs(pairs[s][0] - pairs[s][1]) / std::abs(pairs[s][1]);
            worst[s] = std::max(worst[s], rel / bound);
        }
    }
    RecordProperty("worst_short", std::to_string(worst[0]));
    RecordProperty("worst_open", std::to_string(worst[1]));
    RecordProperty("worst_std", std::to_string(worst[2]));
    EXPECT_LT(worst[0], 1);
    EXPECT_LT(worst[1], 1);
    EXPECT_LT(worst[2], 1);

    // Known devices measured with it.
    double worstDevice = 0;
    auto noise = [](Complex z) {
        const double m = std::abs(z);
        return 0.01 + 0.003 * m + 3e-6 * m * m;
    };
    for (const auto& [device, ohms] :
         std::vector<std::pair<std::string, double>>{{"resistor:r=2", 2},
                                                     {"resistor:r=50", 50},
                                                     {"resistor:r=200", 200},
                                                     {"resistor:r=1000", 1000}}) {
        r.connect(device);
        for (double f : {1.0, 3.55, 14.2, 88.05, 177.77}) {
            double actual = 0;
            Complex sum = 0;
            constexpr int N = 4;
            for (int i = 0; i < N; ++i) {
                sum += SweepPoint(r, f, actual);
            }
            const Complex mean = sum / double(N);
            // The noise of the reading and of the three standards it was corrected with.
            const double bound = 3 * noise(ohms) + 0.0005 * ohms;
            worstDevice = std::max(worstDevice, std::abs(mean - Complex(ohms, 0)) / bound);
            EXPECT_LT(std::abs(mean - Complex(ohms, 0)), bound) << device << " at " << f << " MHz: " << mean;
        }
    }
    r.connect("rlc-series:r=30,l=1.2u,c=80p");
    for (double f : {2.0, 10.3, 50.0}) {
        double actual = 0;
        const Complex z = SweepPoint(r, f, actual);
        const double w = 2 * std::numbers::pi * actual * 1e6;
        const Complex expected(30, w * 1.2e-6 - 1 / (w * 80e-12));
        EXPECT_LT(std::abs(z - expected), 3 * noise(expected) + 0.0005 * std::abs(expected)) << f;
    }
    RecordProperty("worst_device_over_bound", std::to_string(worstDevice));
    EXPECT_TRUE(test::Exists(previous)) << "the previous file is left as it was";
}

TEST_F(SimTest, PlausibilityChecksFireOnTheWrongStandardAndUseThisDataSilencesTheRest) {
    // A 75 ohm resistor declared as 50: the resistor check fires; "No" puts the previous cal back.
    {
        auto& r = rig();
        const std::string previous = test::PrepareWithUnitCal(r);
        const auto before = std::make_unique<core::CalTable>(r.p().cal);
        test::Standards s;
        s.resistor = "resistor:r=75";
        test::AttachStandards(r, s);
        r.ui.textAnswers = {std::string("50")};
        r.ui.messageAnswers = {Answer::No};
        const std::string path = r.dir.file("refused.acal");
        r.ui.fileAnswers = {path};
        EXPECT_FALSE(cal::Cal_A(r.p()));
        const auto m = r.ui.messages();
        ASSERT_EQ(m.size(), 2u) << test::Dialogs(r);
        EXPECT_EQ(m[0].caption, "  Cal Problem");
        EXPECT_EQ(m[0].text.rfind("Make sure the Port A resistor is  50.\rIt appears to be =  7", 0), 0u)
            << m[0].text;
        EXPECT_NE(m[0].text.find(" ohms.\r\rDo you want to use this data?"), std::string::npos);
        EXPECT_EQ(m[1].text, "Calibration has been aborted. Previous cal data will be used.");
        ExpectPreviousCalBack(r, *before, previous, path);
        ExpectRelaysOff(r);
    }
    // A 55 ohm resistor (10 % off) passes silently.
    {
        auto& r = rig();
        test::PrepareWithUnitCal(r);
        test::Standards s;
        s.resistor = "resistor:r=55";
        test::AttachStandards(r, s);
        r.ui.textAnswers = {std::string("50")};
        r.ui.messageAnswers = {Answer::No};
        r.ui.fileAnswers = {r.dir.file("55.acal")};
        EXPECT_TRUE(cal::Cal_A(r.p())) << test::Dialogs(r);
        EXPECT_EQ(r.ui.messages().size(), 2u) << test::Dialogs(r);
    }
    // An open where the short is asked: the short check fires. "Use this data" silences the open
    // check (a short attached) and the resistor check (75 ohm) of the same run; the next run checks
    // again.
    {
        auto& r = rig();
        const std::string previous = test::PrepareWithUnitCal(r);
        const auto before = std::make_unique<core::CalTable>(r.p().cal);
        test::Standards s;
        s.shortCircuit = "open";
        s.openCircuit = "short";
        s.resistor = "resistor:r=75";
        test::AttachStandards(r, s);
        r.ui.textAnswers = {std::string("50")};
        r.ui.messageAnswers = {Answer::Yes, Answer::No};
        r.ui.promptAnswers = {true, true, true, false}; // the new data is not saved
        EXPECT_FALSE(cal::Cal_A(r.p()));
        const auto m = r.ui.messages();
        ASSERT_EQ(m.size(), 3u) << test::Dialogs(r);
        EXPECT_EQ(m[0].text, "Make sure the Port A connector is shorted.\nDo you want to use this data?");
        EXPECT_EQ(m[0].caption, "  Cal Problem");
        EXPECT_EQ(m[1].caption, " Cal B Option ");
        EXPECT_EQ(m[2].text, "Cal data was not saved.\rThe original cal data will be used.");
        EXPECT_EQ(m[2].caption, " Calibration aborted");
        // The unsaved calibration is replaced by the one in force before.
        ExpectPreviousCalBack(r, *before, previous, r.dir.file("none.acal"));

        r.ui.calls.clear();
        s.shortCircuit = "short";
        test::AttachStandards(r, s);
        r.ui.textAnswers = {std::string("50")};
        r.ui.messageAnswers = {Answer::No};
        r.ui.promptAnswers.clear();
        EXPECT_FALSE(cal::Cal_A(r.p()));
        ASSERT_GE(r.ui.messages().size(), 1u);
        EXPECT_EQ(r.ui.messages()[0].text,
                  "Make sure the Port A connector is open\rDo you want to use this data?");
    }
}

TEST_F(SimTest, CancelAtEveryPromptLeavesThePreviousCalibrationInForce) {
    // Which dialog the user cancels: the three prompts, the resistor's value, the save prompt and
    // the file dialog.
    for (int step = 0; step < 6; ++step) {
        auto& r = rig();
        const std::string previous = test::PrepareWithUnitCal(r);
        const auto before = std::make_unique<core::CalTable>(r.p().cal);
        auto& st = r.st();
        st.average = 2;
        st.start_freq = 3;
        st.end_freq = 30;
        st.delta_freq = 0.5;
        test::AttachStandards(r);
        r.ui.promptAnswers = {step != 0, step != 1, step != 2, step != 4};
        if (step != 3) {
            r.ui.textAnswers = {std::string("50")};
        }
        r.ui.messageAnswers = {Answer::No};
        const std::string path = r.dir.file("new.acal");
        if (step != 5) {
            r.ui.fileAnswers = {path};
        }
        EXPECT_FALSE(cal::Cal_A(r.p())) << step;
        const auto m = r.ui.messages();
        ASSERT_FALSE(m.empty()) << step;
        if (step < 4) {
            EXPECT_EQ(m.back().text, "The original cal data will be used.") << step;
            EXPECT_EQ(st.start_freq, 3) << "an abort puts the scan limits back";
            EXPECT_EQ(st.delta_freq, 0.5);
        } else {
            EXPECT_EQ(m.back().text, "Cal data was not saved.\rThe original cal data will be used.") << step;
        }
        EXPECT_EQ(m.back().caption, " Calibration aborted");
        ExpectPreviousCalBack(r, *before, previous, path);
        ExpectRelaysOff(r);
        EXPECT_EQ(st.average, 2) << "the averaging count comes back";
        EXPECT_EQ(r.serial.unit.state().averaging, 2);
    }
}

TEST_F(SimTest, AReadingErrorTheReferenceLostOrTheInstrumentGoneEndsWithThePreviousCal) {
    enum Fault { Silence, ReferenceLoss, WeakReference, Unplugged, UserStop };
    for (Fault fault : {Silence, ReferenceLoss, WeakReference, Unplugged, UserStop}) {
        auto& r = rig();
        const std::string previous = test::PrepareWithUnitCal(r);
        const auto before = std::make_unique<core::CalTable>(r.p().cal);
        test::AttachStandards(r);
        r.ui.textAnswers = {std::string("50")};
        const std::string path = r.dir.file("new.acal");
        r.ui.fileAnswers = {path};
        // The fault strikes in the middle of the open circuit.
        r.ui.onPump = [&r, fault](int) {
            if (r.serial.unit.dut.kind != sim::DutKind::Open || r.serial.unit.state().measurements < 1500) {
                return;
            }
            switch (fault) {
                case Silence:
                    r.serial.unit.faults.silence = true;
                    break;
                case ReferenceLoss:
                    r.serial.unit.faults.referenceLoss = true;
                    break;
                case WeakReference:
                    r.serial.unit.frontEnd.referenceLevel = 8;
                    break;
                case Unplugged:
                    r.serial.unplugged = true;
                    break;
                case UserStop:
                    r.st().SweepRunning = 0;
                    break;
            }
        };
        EXPECT_FALSE(cal::Cal_A(r.p())) << fault;
        r.ui.onPump = nullptr;
        const auto m = r.ui.messages();
        switch (fault) {
            case Silence:
            case ReferenceLoss:
            case Unplugged:
                ASSERT_FALSE(m.empty()) << fault;
                EXPECT_EQ(m.back().caption, "37453") << test::Dialogs(r);
                EXPECT_EQ(m.back().text.rfind("Cal Data Error  freq= ", 0), 0u) << m.back().text;
                break;
            case WeakReference:
                EXPECT_TRUE(m.empty()) << test::Dialogs(r);
                EXPECT_TRUE(r.printed(" **** There is no reference signal from the VNA at ")) << fault;
                EXPECT_NE(test::PrintedLine(r, " **** There").find("  //error= 17836"), std::string::npos);
                break;
            case UserStop:
                EXPECT_TRUE(m.empty()) << test::Dialogs(r);
                break;
        }
        ExpectPreviousCalBack(r, *before, previous, path);
        EXPECT_EQ(r.st().RelayBit0, 0);
        EXPECT_EQ(r.st().RelayBit1, 0);
        if (fault != Unplugged && fault != Silence) {
            ExpectRelaysOff(r);
        }
    }
}

TEST_F(SimTest, LargeAveragingIsAskedAndTheCountComesBack) {
    for (int average : {32, 2}) {
        auto& r = rig();
        test::PrepareWithUnitCal(r);
        instrument::SetAveraging(r.p(), average);
        test::AttachStandards(r);
        int during = 0;
        auto attach = r.ui.onDialog;
        r.ui.onDialog = [&](const platform::fake::UiCall& c) {
            attach(c);
            if (c.text.find("open circuit") != std::string::npos) {
                during = r.serial.unit.state().averaging;
            }
        };
        r.ui.textAnswers = {std::string("50")};
        // 32: "No" to the large averaging; then no Port B.
        r.ui.messageAnswers =
            average > 16 ? std::deque<Answer>{Answer::No, Answer::No} : std::deque<Answer>{Answer::No};
        r.ui.fileAnswers = {r.dir.file("avg.acal")};
        EXPECT_TRUE(cal::Cal_A(r.p())) << test::Dialogs(r);
        if (average > 16) {
            EXPECT_EQ(r.ui.messages()[0].text,
                      "The Averaging value is 32.\r\nDo you want to use such a large value ?");
            EXPECT_EQ(r.ui.messages()[0].caption, " Large Averaging");
        }
        EXPECT_EQ(during, 4) << average;
        EXPECT_EQ(r.st().average, average);
        EXPECT_EQ(r.serial.unit.state().averaging, average);
    }
}

TEST_F(SimTest, ReferenceCheckAsksCancelTryAgainOrContinue) {
    // Cancel: code 12680 and nothing measured.
    {
        auto& r = rig();
        const std::string previous = test::PrepareWithUnitCal(r);
        const auto before = std::make_unique<core::CalTable>(r.p().cal);
        test::AttachStandards(r);
        r.serial.unit.faults.referenceLoss = true;
        r.ui.messageAnswers = {Answer::Cancel};
        EXPECT_FALSE(cal::Cal_A(r.p()));
        const auto m = r.ui.messages();
        ASSERT_EQ(m.size(), 1u) << test::Dialogs(r);
        EXPECT_EQ(m[0].caption, " Cal Load Warning ");
        EXPECT_EQ(m[0].buttons, platform::Buttons::CancelTryContinue);
        EXPECT_EQ(m[0].text.rfind("The Load impedance is approximately ", 0), 0u);
        EXPECT_NE(m[0].text.find(" instead of 0 ohms.\r\rDo you want to continue?"), std::string::npos);
        ExpectPreviousCalBack(r, *before, previous, r.dir.file("x.acal"));
        EXPECT_EQ(r.serial.unit.state().measurements, 1) << "only the reference check was measured";
    }
    // Try Again after the cable was put right: the calibration goes on.
    {
        auto& r = rig();
        test::PrepareWithUnitCal(r);
        test::AttachStandards(r);
        r.serial.unit.faults.referenceLoss = true;
        auto attach = r.ui.onDialog;
        r.ui.onDialog = [&](const platform::fake::UiCall& c) {
            attach(c);
            if (c.caption == " Cal Load Warning ") {
                r.serial.unit.faults.referenceLoss = false;
            }
        };
        r.ui.messageAnswers = {Answer::Retry, Answer::No};
        r.ui.textAnswers = {std::string("50")};
        r.ui.fileAnswers = {r.dir.file("retry.acal")};
        EXPECT_TRUE(cal::Cal_A(r.p())) << test::Dialogs(r);
    }
}
