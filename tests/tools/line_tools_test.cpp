// Distance to fault and the cable tools against the simulated unit in-process: what each finds on
// open and shorted lines, and what a line it cannot measure, a falling-silent unit or a slip in an
// entry does, always with the scan limits, the averaging and the constant frequency given back.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "commands/command_ids.h"
#include "commands/commands.h"
#include "measure/sweep_support.h"
#include "sim/control.h"
#include "tools/distance_to_fault.h"
#include "tools/line_tools.h"
#include "tools/tdr.h"
#include "tools/tdr_commands.h"

using namespace vna;
using test::SimTest;

namespace {

struct Kept {
    double start, end, delta, freq;
    int interpolate, average;
};

Kept KeptOf(const core::AppState& st) {
    return {st.start_freq, st.end_freq, st.delta_freq, st.freq, st.interpolate, st.average};
}

void ExpectKept(const core::AppState& st, const Kept& k) {
    EXPECT_EQ(st.start_freq, k.start);
    EXPECT_EQ(st.end_freq, k.end);
    EXPECT_EQ(st.delta_freq, k.delta);
    EXPECT_EQ(st.freq, k.freq);
    EXPECT_EQ(st.interpolate, k.interpolate);
    EXPECT_EQ(st.average, k.average);
    EXPECT_EQ(st.SweepRunning, 0);
}

} // namespace

TEST_F(SimTest, DistanceToFaultFindsTheQuarterWaveAndGivesEverythingBack) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "line:len=12,z0=50,vf=0.8,end=open"));
    core::AppState& st = r.st();
    st.interpolate = 0;
    st.freq = 7.1;
    const Kept kept = KeptOf(st);
    const tools::DtfResult res = tools::MeasureDistanceToFault(r.p(), 0.8);
    ASSERT_EQ(res.status, tools::DtfStatus::Ok) << tools::DtfMessage(res);
    // Within 1 %: the quarter wave of 12 m at 0.8 is 4.996 MHz, below the refining limit of 6.
    EXPECT_NEAR(res.quarterWave, 0.25 * 299.7925 * 0.8 / 12, 0.01 * res.quarterWave);
    EXPECT_NEAR(res.metres, 12, 0.12);
    EXPECT_NEAR(res.feet, 12 * 3.2808, 0.4);
    EXPECT_NEAR(res.zo, 50, 2.5);
    EXPECT_GT(res.maxPhase, 80);
    ExpectKept(st, kept);
    EXPECT_FALSE(r.serial.unit.state().relay0) << "the relays are off afterwards";
    const std::string text = tools::DtfMessage(res);
    EXPECT_EQ(text.rfind("Quarter wavelength (90 deg) =", 0), 0u) << text;
    EXPECT_NE(text.find(" MHz\r\nDistance to fault ="), std::string::npos) << text;
    EXPECT_NE(text.find(" meters  ="), std::string::npos);
    EXPECT_NE(text.find(" feet\r\nZo ="), std::string::npos);
}

TEST_F(SimTest, DistanceToFaultSaysWhyItCannotMeasure) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "line:len=10,z0=50,vf=0.66,end=50"));
    core::AppState& st = r.st();
    const Kept kept = KeptOf(st);
    // A terminated line: the explanation is accepted, a velocity factor above 1 is taken as 1.
    r.ui.textAnswers.push_back("1.3");
    commands::RunCommand(r.p(), commands::cmd::DistanceToFault);
    ASSERT_EQ(r.ui.messages().size(), 2u);
    EXPECT_EQ(r.ui.messages()[0].caption, "Distance to Fault");
    EXPECT_EQ(r.ui.messages()[0].text,
              "This measurement assumes a uniform cable is open or shorted.\r\nMax cable length approx 1000 "
              "meters.\r\nMin cable length approx 1 meter (3 feet).");
    EXPECT_EQ(r.ui.messages()[1].caption, " Lossy Cable");
    EXPECT_EQ(r.ui.messages()[1].text.rfind(
                  "Cable seems to be lossy or it is terminated in a load.  Maximum phase =", 0),
              0u);
    EXPECT_NE(r.ui.messages()[1].text.find("deg.\r\nIt should be closer to 90 deg."), std::string::npos);
    EXPECT_EQ(st.VF, 1);
    ExpectKept(st, kept);

    // Cancel at the explanation measures nothing.
    r.ui.calls.clear();
    const long readings = r.serial.unit.state().measurements;
    r.ui.messageAnswers.push_back(platform::Answer::Cancel);
    commands::RunCommand(r.p(), commands::cmd::DistanceToFault);
    EXPECT_EQ(r.serial.unit.state().measurements, readings);

    // The unit falls silent during the search: its code, and everything given back.
    ASSERT_NO_FATAL_FAILURE(r.connect("line:len=10,z0=50,vf=0.66,end=short"));
    ASSERT_TRUE(sim::ApplyControl(r.serial.unit, "fault silence=20", 0).ok);
    const tools::DtfResult res = tools::MeasureDistanceToFault(r.p(), 0.66);
    EXPECT_EQ(res.status, tools::DtfStatus::ReadingFailed);
    EXPECT_EQ(tools::DtfMessage(res), "Distance to Fault cannot be measured\r\nError = 10");
    ExpectKept(st, kept);
    ASSERT_TRUE(sim::ApplyControl(r.serial.unit, "fault clear", 0).ok);

    // An open port with no cable: the phase of its huge impedance is noise, and a "cable" of
    // hundreds of kilohms is none.
    for (const char* bare : {"open", "short"}) {
        ASSERT_NO_FATAL_FAILURE(r.connect(bare));
        const tools::DtfResult none = tools::MeasureDistanceToFault(r.p(), 0.66);
        std::string caption;
        const std::string text = tools::DtfMessage(none, &caption);
        if (none.status != tools::DtfStatus::Lossy) {
            EXPECT_EQ(text, "No fault was found. Make sure the cable is open or shorted at the far end.")
                << bare;
            EXPECT_EQ(caption, "Measurement Problem");
        }
        EXPECT_NE(none.status, tools::DtfStatus::Ok) << bare << ": " << text;
        ExpectKept(st, kept);
    }
}

TEST_F(SimTest, CableToolsMeasureTheVelocityFactorAndTheLengthAndCutAStub) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "line:len=25,z0=75,vf=0.82,end=short"));
    core::AppState& st = r.st();
    const auto pick = [&](int tool, const std::string& length, const std::string& vf, const std::string& f) {
        r.ui.formAnswers.push_back([=](platform::Form& form) {
            form.fields[0].text = form.fields[0].choices[static_cast<std::size_t>(tool)];
            form.fields[1].text = length;
            form.fields[2].text = vf;
            form.fields[3].text = f;
            return platform::FormOk;
        });
        r.ui.calls.clear();
        commands::RunCommand(r.p(), commands::cmd::QuarterWaveStub);
        return r.ui.messages().empty() ? std::string() : r.ui.messages().back().text;
    };
    // Known length (in feet here): the velocity factor, within 1 %.
    std::string text = pick(0, "82.021 ft", "0.66", "7");
    const auto at = text.find("Velocity factor =");
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_NEAR(std::stod(text.substr(at + 17)), 0.82, 0.0082) << text;
    EXPECT_NEAR(st.VF, 0.82, 0.0082);
    // Known velocity factor: the length.
    text = pick(1, "", "0.82", "7");
    const auto len = text.find("Cable length =");
    ASSERT_NE(len, std::string::npos) << text;
    EXPECT_NEAR(std::stod(text.substr(len + 14)), 25, 0.25) << text;
    // The stub: a quarter wave at 14.2 MHz on foam cable, no measurement.
    const long readings = r.serial.unit.state().measurements;
    text = pick(2, "", "0.8", "14.2");
    EXPECT_EQ(r.serial.unit.state().measurements, readings);
    EXPECT_NE(text.find("Length = 4.222 meters"), std::string::npos) << text;
    EXPECT_NEAR(tools::QuarterWaveMetres(14.2, 0.8), 0.25 * 299.7925 / 14.2 * 0.8, 1e-12);
    // Slips: a length that is not one, a frequency out of range.
    text = pick(0, "long", "0.66", "7");
    EXPECT_EQ(text, "The cable length must be a length above 0 (metres, or with ft, in or cm).");
    text = pick(2, "", "0.8", "0");
    EXPECT_EQ(text, "The frequency must lie between 0.001 and 100000 MHz.");
    EXPECT_EQ(*tools::LengthMetresFromText("10 ft"), 10 / 3.2808);
    EXPECT_NEAR(*tools::LengthMetresFromText("39.37\""), 1, 1e-5);
    EXPECT_FALSE(tools::LengthMetresFromText("-3"));
}
