// The point-data monitor against the simulated unit: what it shows, how a key, Halt or silence
// ends it, and what it refuses.

#include <gtest/gtest.h>

#include <string>

#include "commands/commands.h"
#include "measure/point_data.h"
#include "sweep_support.h"

using namespace vna;
using test::SimTest;

namespace {

// The value after `label` on the first line of the canvas's texts that holds it.
double ShownValue(test::SimRig& r, const std::string& label) {
    const auto texts = r.ui.canvas()->texts();
    for (auto it = texts.rbegin(); it != texts.rend(); ++it) {
        const auto at = it->find(label);
        if (at != std::string::npos) {
            return std::stod(it->substr(at + label.size()));
        }
    }
    ADD_FAILURE() << "no \"" << label << "\" shown";
    return -1;
}

} // namespace

TEST_F(SimTest, PointDataShowsTheCorrectedPointUntilAKey) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "rlc-series:r=30,l=1.2u,c=80p"));
    core::AppState& st = r.st();
    r.ui.textAnswers.push_back("16.244");
    const long before = r.serial.unit.state().measurements;
    test::AfterReadings(r, 25, [&r] {
        r.ui.events.push_back(platform::Event{platform::EventType::KeyDown, 'X', 0, 0, 0});
    });
    measure::PointDataCommand(r.p());
    r.ui.onPump = nullptr;
    const long readings = r.serial.unit.state().measurements - before;
    EXPECT_GE(readings, 25);
    EXPECT_LT(readings, 30) << "the key ends the readings at once";
    EXPECT_EQ(st.SweepRunning, 0);
    EXPECT_NEAR(st.freq, 16.244, 1e-6);
    EXPECT_FALSE(r.serial.unit.state().relay0) << "the relays are off afterwards";
    EXPECT_TRUE(r.ui.messages().empty());
    // At the series resonance: 30 ohm, SWR 5/3.
    const test::Complex z = test::TrueZ(r, 16.244);
    EXPECT_NEAR(ShownValue(r, "Rs= "), z.real(), test::ZTolerance(z));
    EXPECT_NEAR(ShownValue(r, "Xs= "), z.imag(), test::ZTolerance(z));
    EXPECT_NEAR(ShownValue(r, "SWR= "), test::SwrOf(z), test::SwrTolerance(z) + 0.001);
}

TEST_F(SimTest, PointDataEndsWithAMessageWhenTheUnitFallsSilentAndRefusesSlips) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "resistor:r=100"));
    core::AppState& st = r.st();
    st.ProgramRunning = 1;
    r.ui.textAnswers.push_back("7.1");
    test::AfterReadings(r, 10, [&r] { r.serial.unit.faults.silence = true; });
    measure::PointDataCommand(r.p());
    r.ui.onPump = nullptr;
    EXPECT_EQ(st.SweepRunning, 0);
    EXPECT_EQ(st.ProgramRunning, 1);
    bool told = false;
    for (const auto& m : r.ui.messages()) {
        told = told || (m.caption == " Point Data" && m.text.find("No reading at 7.1") == 0);
    }
    EXPECT_TRUE(told) << "the silence is reported";
    EXPECT_NE(st.LastError, 0);

    // A frequency beyond the instrument, a slip and a cancel: no reading is taken.
    r.serial.unit.faults.silence = false;
    r.ui.calls.clear();
    const long before = r.serial.unit.state().measurements;
    for (const char* entry : {"500000", "abc"}) {
        r.ui.textAnswers.push_back(entry);
        measure::PointDataCommand(r.p());
    }
    r.ui.textAnswers.push_back(std::nullopt);
    measure::PointDataCommand(r.p());
    EXPECT_EQ(r.serial.unit.state().measurements, before);
    EXPECT_EQ(r.ui.messages().size(), 2u);

    // Without the instrument the command says why and does nothing.
    st.InstrumentPresent = 0;
    r.ui.calls.clear();
    measure::PointDataCommand(r.p());
    ASSERT_EQ(r.ui.messages().size(), 1u);
    EXPECT_EQ(r.ui.messages()[0].text, "This function requires the hardware");
}
