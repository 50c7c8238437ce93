// The Port B calibration and the multichannel calibration against the simulated unit.

#include <gtest/gtest.h>

#include <cmath>

#include "cal/cal_rig.h"
#include "cal/multichannel_cal.h"
#include "cal/portb_cal.h"
#include "cal/standard_cal.h"
#include "sim/front_end.h"

using namespace vna;
using platform::Answer;
using test::SimTest;

namespace {

constexpr double Pi = 3.141592653589793;

void ExpectInstrumentSettingsBack(test::SimRig& r) {
    const auto& s = r.serial.unit.state();
    EXPECT_FALSE(s.relay0);
    EXPECT_FALSE(s.relay1);
    EXPECT_EQ(s.averaging, 4);
    EXPECT_EQ(s.amplitudeWord, 1023);
    EXPECT_EQ(s.gainB, 1);
    EXPECT_EQ(s.sensB, 1);
    EXPECT_EQ(r.st().average, 4);
    EXPECT_EQ(r.st().PortBMode, 0);
    EXPECT_EQ(r.st().PortB_on, 0);
    EXPECT_EQ(r.st().SweepRunning, 0);
}

} // namespace

TEST(PortBCalGrid, FiveKilohertzTwoHundredKilohertzThenOneMegahertzSteps) {
    const auto g = cal::PortBCalGrid(180);
    ASSERT_EQ(g.size(), 206u);
    EXPECT_DOUBLE_EQ(g[0].freq, 0.005);
    EXPECT_DOUBLE_EQ(g[19].freq, 0.1);
    EXPECT_EQ(g[19].tag, 1);
    EXPECT_DOUBLE_EQ(g[20].freq, 0.2);
    EXPECT_EQ(g[20].tag, 2);
    EXPECT_DOUBLE_EQ(g[23].freq, 0.8);
    EXPECT_DOUBLE_EQ(g[24].freq, 1);
    EXPECT_EQ(g[24].tag, 3);
    EXPECT_DOUBLE_EQ(g.back().freq, 182);

    // A wrap from about -pi to +pi continues the phase; a sign change near zero does not.
    cal::PhaseUnwrapper u;
    EXPECT_DOUBLE_EQ(u.next(-0.001), -0.001);
    EXPECT_DOUBLE_EQ(u.next(0.001), 0.001);
    EXPECT_DOUBLE_EQ(u.next(-3.1), -3.1);
    EXPECT_NEAR(u.next(3.1), 3.1 - 2 * 3.141592654, 1e-9);
    EXPECT_NEAR(u.next(2.0), 2.0 - 2 * 3.141592654, 1e-9);
}

TEST_F(SimTest, PortBCalAloneMeasuresTheThroughCableAndTheGainStepPhases) {
    auto& r = rig();
    test::PrepareWithUnitCal(r);
    auto& st = r.st();
    st.Rng2 = st.Rng3 = st.Rng4 = st.Rng5 = 0;
    test::AttachStandards(r);
    const std::string path = r.dir.file("with_b.acal");
    r.ui.fileAnswers = {path};
    ASSERT_TRUE(cal::PortBCal(r.p(), 1)) << test::Dialogs(r);
    const auto m = r.ui.messages();
    ASSERT_EQ(m.size(), 2u) << test::Dialogs(r);
    EXPECT_EQ(
        m[0].text,
        "Port B will be calibrated and the data will be\r\ncombined with the present cal data for Port A.");
    EXPECT_EQ(m[0].caption, " Cal Port B only ");
    EXPECT_EQ(m[1].text, "Port B Cal is Complete");
    EXPECT_TRUE(test::ShownMessage(r, "Port B Cal is Complete", " Port B Cal"));
    EXPECT_EQ(r.ui.calls[1].text, " Attach Through-Cable from Port A to Port B.  ");
    ExpectInstrumentSettingsBack(r);

    // The gain steps' phases as the unit's amplifiers have them; steps 4 and 5 follow step 3.
    constexpr double Rad = 3.141592653589793 / 180;
    // One reading each; the reference channel at 4 % amplitude limits step 3 to about 0.1 degree.
    EXPECT_NEAR(st.Rng2, sim::GainStepPhaseDeg[1] * Rad, 0.1 * Rad);
    EXPECT_NEAR(st.Rng3, sim::GainStepPhaseDeg[2] * Rad, 0.3 * Rad);
    EXPECT_NEAR(st.Rng4, st.Rng3 + 3.8 / 57.3, 1e-12);
    EXPECT_NEAR(st.Rng5, st.Rng4 + 0.5 / 57.3, 1e-12);
    EXPECT_EQ(st.PortB_LevelDb[3], 27.3);

    // The through table against the unit's own, within the noise of 16 averages.
    auto unit = std::make_unique<core::CalTable>();
    sim::FillUnitCalTable(*unit, r.serial.unit, st.instrument_id, st.maximumfreq);
    const core::CalTable& t = r.p().cal;
    ASSERT_EQ(t.bcal_points, unit->bcal_points);
    double worstMag = 0;
    double worstPhase = 0;
    for (int i = 0; i < t.bcal_points; ++i) {
        const auto& a = t.bcal[static_cast<std::size_t>(i)];
        const auto& b = unit->bcal[static_cast<std::size_t>(i)];
        ASSERT_EQ(a.freq, b.freq) << i;
        ASSERT_EQ(a.tag, b.tag) << i;
        worstMag =
            std::max({worstMag, std::fabs(a.lowMag / b.lowMag - 1), std::fabs(a.highMag / b.highMag - 1)});
        worstPhase =
            std::max({worstPhase, std::fabs(a.lowPhase - b.lowPhase), std::fabs(a.highPhase - b.highPhase)});
    }
    RecordProperty("worst_ratio", std::to_string(worstMag));
    RecordProperty("worst_phase", std::to_string(worstPhase));
    EXPECT_LT(worstMag, 0.003);
    EXPECT_LT(worstPhase, 0.003);

    // Written with the Port A data it joined, and in force when read back, with the same gain-step
    // levels as right after the calibration (a restart starts from other levels).
    EXPECT_EQ(st.cal_file, path);
    const auto levels = st.PortB_LevelDb;
    st.portb_cal_ok = 0;
    st.PortB_LevelDb = core::AppState().PortB_LevelDb;
    ASSERT_NE(st.PortB_LevelDb, levels);
    cal::LoadCalFile(r.p(), 0);
    EXPECT_EQ(st.PortB_LevelDb, levels);
    EXPECT_EQ(st.LastError, 0);
    EXPECT_EQ(st.portb_cal_ok, 1);
    EXPECT_EQ(r.p().cal.bcal_points, 206);
    EXPECT_EQ(r.p().cal.cal_points, unit->cal_points);
}

TEST_F(SimTest, PortBCalRefusesWithoutPortACalAndKeepsItsDataWhenItFails) {
    {
        auto& r = rig();
        r.st().porta_cal_ok = 0;
        EXPECT_FALSE(cal::PortBCal(r.p(), 1));
        ASSERT_EQ(r.ui.messages().size(), 1u);
        EXPECT_EQ(r.ui.messages()[0].text, "A valid calibration file must be loaded first.");
        EXPECT_EQ(r.ui.messages()[0].caption, " No valid cal file");
        EXPECT_EQ(r.serial.unit.state().measurements, 0);
    }
    // No through cable: the check at the tenth point; "No" ends it with the old Port B data.
    // A reference lost in the high range; a cancelled prompt.
    for (int c = 0; c < 3; ++c) {
        auto& r = rig();
        const std::string previous = test::PrepareWithUnitCal(r);
        const auto before = std::make_unique<core::CalTable>(r.p().cal);
        test::Standards s;
        if (c == 0) {
            s.through = "open";
        }
        test::AttachStandards(r, s);
        if (c == 1) {
            r.ui.onPump = [&r](int) {
                if (r.serial.unit.state().sensB == 2) {
                    r.serial.unit.frontEnd.referenceLevel = 10;
                }
            };
        }
        if (c == 2) {
            r.ui.promptAnswers = {false};
        }
        r.ui.messageAnswers = {Answer::Ok, Answer::No};
        r.ui.fileAnswers = {r.dir.file("never.acal")};
        EXPECT_FALSE(cal::PortBCal(r.p(), 1)) << c;
        r.ui.onPump = nullptr;
        const auto m = r.ui.messages();
        if (c == 0) {
            ASSERT_EQ(m.size(), 3u) << test::Dialogs(r);
            EXPECT_EQ(m[1].caption, "Check through cable");
            EXPECT_EQ(
                m[1].text.rfind(
                    " Be sure the Through Cable is properly connected from A to B.\rPort B signal = ", 0),
                0u);
            EXPECT_NE(m[1].text.find(". (Should be approx 1.0)\r\rDo you want to continue?"),
                      std::string::npos);
            EXPECT_EQ(m[2].text, "Calibration has been aborted.");
            EXPECT_EQ(m[2].caption, "  Cal Problem");
        } else if (c == 1) {
            EXPECT_EQ(m.size(), 1u) << test::Dialogs(r);
            EXPECT_TRUE(r.printed(" **** There is no reference signal from the VNA at "));
            EXPECT_NE(test::PrintedLine(r, " **** There").find("  //error= 17833"), std::string::npos);
        } else {
            EXPECT_EQ(m.size(), 1u) << test::Dialogs(r);
        }
        EXPECT_EQ(r.st().portb_cal_ok, 1) << c;
        EXPECT_EQ(r.st().cal_file, previous);
        test::ExpectSameCal(r.p().cal, *before);
        EXPECT_FALSE(test::Exists(r.dir.file("never.acal")));
        ExpectInstrumentSettingsBack(r);
    }
}

TEST_F(SimTest, PortBCalThatCannotBeWrittenLeavesTheSettingsNamingTheFileInForce) {
    auto& r = rig();
    const std::string previous = test::PrepareWithUnitCal(r);
    test::AttachStandards(r);
    const std::string locked = r.dir.file("locked.acal");
    test::WriteFile(locked, "old");
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read);
    r.ui.fileAnswers = {locked};
    EXPECT_TRUE(cal::PortBCal(r.p(), 1));
    EXPECT_NE(r.ui.messages().back().text.find("is a Read-Only file."), std::string::npos)
        << test::Dialogs(r);
    EXPECT_EQ(r.st().cal_file, previous);
    EXPECT_EQ(test::ReadFile(locked), "old");
    // The new Port B data stays in force for this run.
    EXPECT_EQ(r.st().portb_cal_ok, 1);
}

TEST_F(SimTest, StandardCalWithPortBSavesBothPorts) {
    auto& r = rig();
    test::PrepareWithUnitCal(r);
    test::AttachStandards(r);
    r.ui.textAnswers = {std::string("50")};
    r.ui.messageAnswers = {Answer::Yes};
    const std::string path = r.dir.file("both.acal");
    r.ui.fileAnswers = {path};
    ASSERT_TRUE(cal::Cal_A(r.p())) << test::Dialogs(r);
    EXPECT_TRUE(test::ShownMessage(r, "Port B Cal is Complete", " Port B Cal"));
    bool titled = false;
    for (const auto& c : r.ui.calls) {
        titled |= c.kind == "prompt" && c.caption == " Standard Cal Port A & Port B";
    }
    EXPECT_TRUE(titled) << test::Dialogs(r);
    EXPECT_EQ(r.st().cal_file, path);
    EXPECT_EQ(r.st().porta_cal_ok, 1);
    EXPECT_EQ(r.st().portb_cal_ok, 1);
    EXPECT_EQ(r.p().cal.bcal_points, 206);
    EXPECT_EQ(r.st().PortB_on, 0);
}

TEST_F(SimTest, MultichannelCalWritesOneFilePerChannelWithTheChannelsAgainstChannelOne) {
    auto& r = rig();
    const std::string previous = test::PrepareWithUnitCal(r);
    r.serial.unit.muxFitted = true;
    test::AttachStandards(r);
    auto& st = r.st();
    st.start_freq = 5;
    st.end_freq = 15;
    // Channel 2 referred to channel 1, channel 3 independent, then finished.
    r.ui.messageAnswers = {Answer::Yes, Answer::No, Answer::Yes, Answer::Yes, Answer::No};
    r.ui.fileAnswers = {r.dir.file("array.chan1")};
    ASSERT_TRUE(cal::CalMultiChannel(r.p())) << test::Dialogs(r);
    EXPECT_TRUE(r.printed("CLEANING RELAY CONTACTS..."));
    EXPECT_EQ(r.ui.calls[0].text, " Connect the Line used for the Reference to MUX Chan 1.");
    EXPECT_EQ(r.ui.calls[0].caption, " Reference Chan 1");
    const auto m = r.ui.messages();
    ASSERT_EQ(m.size(), 6u) << test::Dialogs(r);
    EXPECT_EQ(m[0].text,
              "Be sure Line 2 is connected to MUX Chan 2.\r\n\r\n   Click 'NO' to finish the cal procedure.");
    EXPECT_EQ(m[0].caption, "Chan 2");
    EXPECT_EQ(m[1].caption, "Independent channel");
    EXPECT_NE(m[1].text.find("This channel is not referenced to channel 1."), std::string::npos);
    EXPECT_EQ(m[4].caption, "Chan 4");
    EXPECT_EQ(m[5].text, "Multichannel cal for 3 channels is complete.");
    EXPECT_EQ(m[5].caption, "Multichan Cal Complete");

    for (int k = 1; k <= 3; ++k) {
        EXPECT_TRUE(test::Exists(r.dir.file("array.chan" + std::to_string(k)))) << k;
    }
    EXPECT_FALSE(test::Exists(r.dir.file("array.chan4")));
    EXPECT_TRUE(test::Exists(previous));
    // Channel 1 is in force, its MUX channel selected.
    EXPECT_EQ(st.cal_file, r.dir.file("array.chan1"));
    EXPECT_EQ(st.porta_cal_ok, 1);
    EXPECT_EQ(st.portb_cal_ok, 1);
    EXPECT_EQ(st.multichan_number, 0);
    EXPECT_EQ(r.serial.unit.state().expansion[1] & 7, 1);
    // The unit's MUX paths: channel 2 is 0.5 dB and 15 degrees below channel 1, with 0.4 ns more
    // line (1.44 degrees at the 10 MHz of the references); channel 3 is independent.
    const core::CalTable& t = r.p().cal;
    EXPECT_NEAR(t.chan_ref_mag[1], std::pow(10.0, -0.5 / 20), 0.002);
    EXPECT_NEAR(t.chan_ref_phase[1], -16.44 * Pi / 180, 0.003);
    EXPECT_EQ(t.chan_ref_mag[2], 0);
    EXPECT_EQ(t.chan_ref_mag[3], 0);
    // Channel 3's own file holds its own line: 1 dB below channel 1's.
    const double ratio1 = t.bcal[100].lowMag;
    st.cal_file = r.dir.file("array.chan3");
    cal::LoadCalFile(r.p(), 0);
    EXPECT_NEAR(r.p().cal.bcal[100].lowMag / ratio1, std::pow(10.0, -1.0 / 20), 0.003);
    EXPECT_NEAR(r.p().cal.chan_ref_mag[1], std::pow(10.0, -0.5 / 20), 0.002);
    // Channel 2, referred to channel 1, is corrected with channel 1's line.
    st.cal_file = r.dir.file("array.chan2");
    cal::LoadCalFile(r.p(), 0);
    EXPECT_EQ(r.p().cal.bcal[100].lowMag, ratio1);
}

TEST_F(SimTest, MultichannelCalCancelledAtTheReferenceWritesNothing) {
    auto& r = rig();
    const std::string previous = test::PrepareWithUnitCal(r);
    const auto before = std::make_unique<core::CalTable>(r.p().cal);
    r.serial.unit.muxFitted = true;
    r.ui.promptAnswers = {false};
    r.ui.fileAnswers = {r.dir.file("array.chan1")};
    EXPECT_FALSE(cal::CalMultiChannel(r.p()));
    EXPECT_FALSE(test::Exists(r.dir.file("array.chan1")));
    EXPECT_EQ(r.st().cal_file, previous);
    EXPECT_EQ(r.st().multichan_number, 0);
    test::ExpectSameCal(r.p().cal, *before);
    // Without a Port A calibration it does not start.
    r.st().porta_cal_ok = 0;
    r.ui.calls.clear();
    EXPECT_FALSE(cal::CalMultiChannel(r.p()));
    EXPECT_EQ(r.ui.messages().at(0).text, "A valid calibration file must be loaded first.");
}
