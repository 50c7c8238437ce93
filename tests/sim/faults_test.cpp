// The program against the simulated instrument: start-up, identification, and every injected
// fault ending in its documented code and message within its budget.

#include <gtest/gtest.h>

#include "commands/startup.h"
#include "instrument/health.h"
#include "instrument/identification.h"
#include "instrument/raw_reading.h"
#include "instrument/serial_link.h"
#include "sim/control.h"
#include "sim/sim_cal.h"
#include "support/sim_rig.h"

using namespace vna;
using test::SimTest;

namespace {

void Fault(test::SimRig& r, const std::string& line) {
    const auto result = sim::ApplyControl(r.serial.unit, line, 0);
    ASSERT_TRUE(result.ok) << result.text;
}

void Measure(test::SimRig& r, double f = 10) {
    r.st().LastError = 0;
    r.st().freq = f;
    r.serial.emptyReads = 0;
    instrument::MeasurePortAPoint(r.p());
}

} // namespace

TEST_F(SimTest, StartUpIdentifiesProgramsTheDateCodeAndNegotiatesTheHighSpeed) {
    test::TempDir flash;
    sim::UnitConfig config;
    config.flashFile = flash.file("flash.txt");
    std::string firstId;
    {
        auto& r = rig(config);
        r.st().SerialDevice = "sim";
        test::LeaveSettingsOfAnEarlierRun(r.p());
        commands::Startup(r.p(), core::ParseStartOptions({"vna"}));
        EXPECT_EQ(r.st().InstrumentPresent, 1);
        EXPECT_EQ(r.st().IdentState, 1);
        EXPECT_EQ(r.st().ProgramRunning, 1);
        EXPECT_EQ(r.ui.title().find("DEMO"), std::string::npos);
        // The erased flash was programmed without a question; there is no cal file yet.
        const auto messages = r.ui.messages();
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_EQ(messages[0].caption, "90131");
        EXPECT_EQ(messages[1].caption, "Cal Required");
        EXPECT_EQ(r.st().porta_cal_ok, 0);
        firstId = r.st().instrument_id;
        EXPECT_EQ(firstId.size(), 12u);
        EXPECT_NE(r.st().VersionText.find("    ID= " + firstId), std::string::npos);
        EXPECT_TRUE(
            test::ReadFile(r.dir.file("version" + firstId + ".txt")).starts_with("ID= " + firstId + "\r\n"));
        EXPECT_NEAR(r.st().SupplyVolts, 12, 0.01);
        EXPECT_EQ(r.st().LastError, 0);
        // The instrument's state after start-up: relays off, the user's averaging, full amplitude.
        const auto& unit = r.serial.unit.state();
        EXPECT_FALSE(unit.relay0);
        EXPECT_EQ(unit.averaging, r.st().average);
        EXPECT_EQ(unit.amplitudeWord, 1023);
        EXPECT_EQ(unit.protocolErrors, 0);
    }
    // The next start reads the same ID and asks nothing; with HighBaud the link ends at 115000.
    // The cal file the unit writes of its own standards names the same ID and is taken at once.
    {
        auto& r = rig(config);
        r.st().SerialDevice = "sim";
        test::WriteFile(r.dir.file("x.cfg"), "");
        r.st().HighBaud = 1; // read from the config file in a real run; set after the defaults here
        test::LeaveSettingsOfAnEarlierRun(r.p());
        const std::string calFile = r.dir.file("unit.acal");
        ASSERT_TRUE(sim::WriteUnitCalFile(r.serial.unit, calFile, r.clock.now()));
        commands::Startup(r.p(), core::ParseStartOptions({"vna", "--cal", calFile}));
        EXPECT_EQ(r.st().instrument_id, firstId);
        EXPECT_TRUE(r.ui.messages().empty());
        EXPECT_EQ(r.st().porta_cal_ok, 1);
        EXPECT_EQ(r.st().portb_cal_ok, 1);
        EXPECT_EQ(r.st().cal_file, calFile);
        EXPECT_EQ(r.st().cal_file_name, "unit.acal");
    }
}

TEST_F(SimTest, HighSpeedNegotiationFollowedAndStuck) {
    auto& r = rig();
    r.st().HighBaud = 1;
    instrument::ConnectInstrument(r.p());
    EXPECT_EQ(r.st().BaudRate, 115000);
    EXPECT_EQ(r.serial.unit.baud(), 115000);
    EXPECT_EQ(r.st().IdentState, 1);
    r.connect("resistor:r=50");
    Measure(r);
    EXPECT_EQ(r.st().LastError, 0);

    auto& stuck = rig();
    stuck.st().HighBaud = 1;
    Fault(stuck, "fault stuckbaud");
    instrument::ConnectInstrument(stuck.p());
    EXPECT_EQ(stuck.st().BaudRate, 57600);
    EXPECT_EQ(stuck.st().IdentState, 1);
    EXPECT_EQ(stuck.st().LastError, 0);
    EXPECT_EQ(stuck.serial.opens, 1 + 3);
}

TEST_F(SimTest, SilenceIsDemoModeAtStartAndCodeTenLater) {
    auto& r = rig();
    Fault(r, "fault silence");
    r.st().SerialDevice = "sim";
    test::LeaveSettingsOfAnEarlierRun(r.p());
    commands::Startup(r.p(), core::ParseStartOptions({"vna"}));
    EXPECT_EQ(r.st().InstrumentPresent, 0);
    EXPECT_NE(r.ui.title().find("     DEMO MODE   "), std::string::npos);
    ASSERT_EQ(r.ui.messages().size(), 1u);
    EXPECT_EQ(r.ui.messages()[0].text, commands::NotRespondingText(r.st()));
    // Budgets bounded the wait: the version query twice at 200 ms each, plus the settling pauses.
    EXPECT_LT(r.clock.sleptMs, 2000);

    auto& later = rig();
    later.connect("short");
    Fault(later, "fault silence");
    Measure(later);
    EXPECT_EQ(later.st().LastError, 10);
    EXPECT_EQ(later.serial.emptyReads, 501);
    EXPECT_EQ(later.ui.messages().back().caption, "Hardware Reset"); // the relays were on
    later.serial.emptyReads = 0;
    instrument::CheckSupply(later.p());
    EXPECT_EQ(later.st().LastError, 10);
    EXPECT_EQ(later.serial.emptyReads, 10001);
}

TEST_F(SimTest, TruncatedRepliesAndBadChecksums) {
    auto& r = rig();
    r.connect("resistor:r=50");
    Fault(r, "fault truncate=40:1");
    Measure(r);
    EXPECT_EQ(r.st().LastError, 10);
    EXPECT_EQ(r.st().ReadingValid, 0);
    EXPECT_EQ(r.serial.emptyReads, 501);
    Measure(r); // the fault was for one reply; the next point is whole again
    EXPECT_EQ(r.st().LastError, 0);
    EXPECT_EQ(r.st().ReadingValid, 1);

    Fault(r, "fault badsum=3");
    Measure(r);
    EXPECT_EQ(r.st().LastError, 0);
    EXPECT_EQ(r.st().ReadingValid, 1);
    EXPECT_TRUE(r.printed("  retry: 3"));

    const auto messages = r.ui.messages().size();
    Fault(r, "fault badsum=5");
    Measure(r);
    EXPECT_EQ(r.st().ReadingValid, 0);
    EXPECT_EQ(r.st().LastError, 17);
    EXPECT_EQ(r.ui.messages().size(), messages); // no box for checksum failures
    EXPECT_EQ(r.serial.unit.faults.badChecksum, 0);

    // Garbage after every reply costs nothing.
    Fault(r, "fault clear");
    Fault(r, "fault extra=13");
    for (int i = 0; i < 3; ++i) {
        Measure(r);
        EXPECT_EQ(r.st().ReadingValid, 1);
        EXPECT_EQ(r.st().LastError, 0);
    }
}

TEST_F(SimTest, OverloadReferenceLossAndDeadConverter) {
    auto& r = rig();
    r.connect("short");
    Fault(r, "fault overload");
    r.st().Measuring = 1;
    Measure(r);
    EXPECT_EQ(r.st().LastError, 1274);
    EXPECT_EQ(r.st().Measuring, 0);
    EXPECT_EQ(r.ui.messages().back().text, "OVERLOAD at the RF Input.");
    EXPECT_FALSE(r.serial.unit.state().relay0); // the program switched the relays off

    auto& ref = rig();
    ref.connect("short");
    Fault(ref, "fault refloss");
    Measure(ref);
    EXPECT_EQ(ref.st().LastError & 0x80, 0x80);
    EXPECT_EQ(ref.st().MagRef, 10);
    EXPECT_TRUE(ref.printed("*** No Reference signal at "));

    auto& dead = rig();
    dead.connect("short");
    Fault(dead, "fault deadadc");
    Measure(dead);
    EXPECT_EQ(dead.st().LastError, 17);
    EXPECT_EQ(dead.st().ReadingValid, 0);
}

TEST_F(SimTest, SupplyVoltageFaultsAndTheVanishedAdapter) {
    auto& high = rig();
    Fault(high, "set supply 16.6");
    instrument::CheckSupply(high.p());
    EXPECT_EQ(high.st().LastError, 17);
    EXPECT_FALSE(high.serial.unit.powered()); // the program switched it off
    EXPECT_EQ(high.ui.messages().back().caption, " WARNING: HIGH DC VOLTAGE ");

    auto& low = rig();
    Fault(low, "set supply 9.4");
    instrument::CheckSupply(low.p());
    EXPECT_EQ(low.st().LastError, 17);
    EXPECT_EQ(low.st().InstrumentPresent, 0);
    EXPECT_EQ(low.ui.messages().back().caption, " WARNING: LOW DC VOLTAGE ");

    // The adapter is pulled out mid-session: every exchange fails at once with code 10.
    auto& gone = rig();
    gone.connect("short");
    gone.serial.unplugged = true;
    Measure(gone);
    EXPECT_EQ(gone.st().LastError, 10);
    instrument::IdentifyInstrument(gone.p(), 0);
    EXPECT_EQ(gone.st().IdentState, 0);
    instrument::OpenPort(gone.p());
    EXPECT_EQ(gone.st().LinkOk, 0);
    EXPECT_TRUE(gone.printed("Could not open "));
}

TEST_F(SimTest, TemperatureAndTheVersionQueryAgainstTheUnit) {
    auto& r = rig();
    instrument::IdentifyInstrument(r.p(), 1);
    EXPECT_EQ(r.st().TempSensor, 1);
    Fault(r, "set temp 95");
    EXPECT_NEAR(instrument::ReadTemperature(r.p()), 95, 0.6);
    Fault(r, "set temp 96");
    const double t = instrument::ReadTemperature(r.p());
    EXPECT_GT(t, 95 - 0.6);
    EXPECT_LT(t, 96 - 0.5); // a small change only moves the value a tenth of the way

    sim::UnitConfig old;
    old.firmware = "2.41";
    auto& o = rig(old);
    instrument::IdentifyInstrument(o.p(), 1);
    o.st().ProgramRunning = 1;
    instrument::CheckFirmware(o.p());
    EXPECT_EQ(o.st().ProgramRunning, 0);
}
