// The cal file the simulated unit writes of its own standards.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

#include "core/cal_table.h"
#include "instrument/commands.h"
#include "instrument/date_code.h"
#include "sim/instrument_model.h"
#include "sim/sim_cal.h"
#include "support/test_rig.h"

using namespace vna;
using sim::Complex;

TEST(SimCal, TheTableHoldsTheBridgeValuesOfTheThreeStandardsOnTheStandardGrid) {
    sim::Instrument unit;
    auto t = std::make_unique<core::CalTable>();
    sim::FillUnitCalTable(*t, unit, " 7", 180);
    // 0.005 .. 0.1 MHz in 5 kHz steps, then 0.2 .. 180.2 MHz in 0.2 MHz steps.
    ASSERT_EQ(t->cal_points, 921);
    EXPECT_EQ(t->instrument_id, " 7");
    EXPECT_EQ(t->cal_max_freq, 180);
    EXPECT_EQ(t->PortA_Sens, 2);
    EXPECT_EQ(t->gain_code, 1);
    EXPECT_EQ(t->cal_resistor, 50);
    EXPECT_EQ(t->caldelta, 0.2);
    core::AppState st;
    st.Measuring = 1;
    for (int k : {0, 3, 19, 20, 100, 269 /* 50 MHz: nudged off the spur */, 920}) {
        const double f = core::StandardGridFreq(k);
        const double fHz =
            unit.frontEnd.FrequencyHz(instrument::TuningWord(st, f, instrument::SpurNudge(st, f)));
        const auto u = static_cast<std::size_t>(k);
        const Complex s = unit.frontEnd.bridge.Raw(0, fHz);
        const Complex r = unit.frontEnd.bridge.Raw(50, fHz);
        EXPECT_NEAR(t->short_re[u], s.real(), 1e-9) << k;
        EXPECT_NEAR(t->short_im[u], s.imag(), 1e-9) << k;
        EXPECT_NEAR(t->std_re[u], r.real(), 1e-9) << k;
        EXPECT_NEAR(t->std_im[u], r.imag(), 1e-9) << k;
        EXPECT_GT(std::hypot(t->open_re[u], t->open_im[u]), 2500) << k;
    }
    // At 50 MHz the unit is asked for 49.99 MHz during a calibration, as in a sweep.
    EXPECT_NEAR(unit.frontEnd.FrequencyHz(instrument::TuningWord(st, 50, instrument::SpurNudge(st, 50))),
                49.99e6, 1);
    // Port B: the through cable over 5 kHz .. 182 MHz, its phase kept continuous.
    ASSERT_GT(t->bcal_points, 200);
    EXPECT_EQ(t->bcal[0].freq, 0.005);
    EXPECT_EQ(t->bcal[static_cast<std::size_t>(t->bcal_points - 1)].freq, 182);
    for (int i = 1; i < t->bcal_points; ++i) {
        const auto& a = t->bcal[static_cast<std::size_t>(i - 1)];
        const auto& b = t->bcal[static_cast<std::size_t>(i)];
        EXPECT_GT(b.freq, a.freq);
        EXPECT_LT(std::fabs(b.lowPhase - a.lowPhase), 1.0) << b.freq;
        EXPECT_NEAR(b.highMag / b.lowMag, std::pow(10.0, sim::HighSensitivityDb / 20), 1e-6);
    }
    EXPECT_LT(t->bcal[static_cast<std::size_t>(t->bcal_points - 1)].lowPhase, -std::numbers::pi);
}

TEST(SimCal, TheIdIsTheUnitsDateCodeOrItsSerialNumber) {
    test::TempDir dir;
    sim::UnitConfig config;
    config.flashFile = dir.file("flash.txt");
    sim::Instrument unit(config);
    const platform::LocalTime now{2026, 3, 4, 5, 6, 7, 0};
    // An erased flash is programmed as the program's identification would do it.
    EXPECT_EQ(sim::UnitInstrumentId(unit, now), "260304050607");
    instrument::DateCode words{};
    for (std::size_t i = 0; i < 4; ++i) {
        words[i] = unit.flash.at(static_cast<std::uint16_t>(4096 + i));
    }
    EXPECT_TRUE(instrument::DateCodeValid(words));
    // Kept in the unit's flash file, and not programmed again later.
    sim::Instrument again(config);
    EXPECT_EQ(sim::UnitInstrumentId(again, {2030, 1, 1, 0, 0, 0, 0}), "260304050607");
    // A unit without flash is known by its serial number, with the number rule's blank.
    sim::UnitConfig noFlash;
    noFlash.flash = false;
    noFlash.serialNumber = 77;
    sim::Instrument plain(noFlash);
    EXPECT_EQ(sim::UnitInstrumentId(plain, now), " 77");
    // The file is written whole, with that ID.
    ASSERT_TRUE(sim::WriteUnitCalFile(plain, dir.file("plain.acal"), now));
    const std::string text = test::ReadFile(dir.file("plain.acal"));
    EXPECT_TRUE(text.starts_with(" 13800\r\n  03-04-2026  05:06:07\r\n 50   //  _ID= 77  || "));
    EXPECT_TRUE(text.ends_with(" high\r\n"));
    std::string error;
    EXPECT_FALSE(sim::WriteUnitCalFile(plain, dir.file("no folder/x.acal"), now, &error));
    EXPECT_FALSE(error.empty());
}
