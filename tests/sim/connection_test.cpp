// Connecting to the simulated instrument from the main window: start-up and the menu's port and
// baud-rate commands, the checks an instrument must pass, and what a power-off leaves behind.

#include <gtest/gtest.h>

#include "commands/command_ids.h"
#include "commands/startup.h"
#include "sim/control.h"
#include "sim/sim_cal.h"
#include "support/sim_rig.h"

using namespace vna;
using test::SimTest;

namespace {

void Control(test::SimRig& r, const std::string& line) {
    const auto result = sim::ApplyControl(r.serial.unit, line, 0);
    ASSERT_TRUE(result.ok) << result.text;
}

void Start(test::SimRig& r, std::vector<std::string> args = {"vna"}) {
    r.st().SerialDevice = "sim";
    test::LeaveSettingsOfAnEarlierRun(r.p());
    commands::Startup(r.p(), core::ParseStartOptions(args));
}

void Menu(test::SimRig& r, int id) {
    r.ui.deliver(platform::Event{platform::EventType::Menu, 0, 0, 0, id});
}

bool Shown(const test::SimRig& r, const std::string& text) {
    for (const auto& m : r.ui.messages()) {
        if (m.text == text || m.caption == text) {
            return true;
        }
    }
    return false;
}

// Every message shown, as text|caption.
std::vector<std::string> Messages(const test::SimRig& r) {
    std::vector<std::string> out;
    for (const auto& m : r.ui.messages()) {
        out.push_back(m.text + "|" + m.caption);
    }
    return out;
}

bool InDemoMode(test::SimRig& r) {
    return r.st().InstrumentPresent == 0 && r.st().porta_cal_ok == 1 && r.st().portb_cal_ok == 1 &&
           r.ui.title().ends_with("     DEMO MODE   ");
}

std::string CheckedBaudRate(const test::SimRig& r) {
    const platform::MenuItem* menu = r.ui.findMenuItem({"Setup", "Baud Rate"});
    std::string checked;
    for (const auto& item : menu ? menu->children : std::vector<platform::MenuItem>{}) {
        if (item.checked) {
            checked += item.caption + " ";
        }
    }
    return checked;
}

} // namespace

TEST_F(SimTest, LeavingDemoModeIdentifiesTheInstrumentAndChecksTheCalFile) {
    // A cal file of another unit, taken unchecked in demo mode.
    sim::UnitConfig otherConfig;
    otherConfig.flash = false;
    otherConfig.serialNumber = 77;
    sim::Instrument other(otherConfig);
    auto& r = rig();
    const std::string calFile = r.dir.file("other.acal");
    ASSERT_TRUE(sim::WriteUnitCalFile(other, calFile, r.clock.now()));
    Start(r, {"vna", "--demo", "--cal", calFile});
    ASSERT_TRUE(InDemoMode(r));

    r.ui.textAnswers = {std::string("/dev/sim")};
    Menu(r, commands::cmd::EnterCommPort);
    EXPECT_EQ(r.st().InstrumentPresent, 1);
    EXPECT_EQ(r.ui.title().find("DEMO"), std::string::npos);
    // Identified as at start-up: the date code of the unit's flash is its ID, in the version file.
    EXPECT_EQ(r.st().instrument_id.size(), 12u);
    EXPECT_TRUE(test::ReadFile(r.dir.file("version" + r.st().instrument_id + ".txt")).starts_with("ID= "));
    // The cal file is now checked against this unit, refused and forgotten; the demo flags are gone.
    EXPECT_TRUE(Shown(r, "Invalid cal file"));
    EXPECT_EQ(r.st().porta_cal_ok, 0);
    EXPECT_EQ(r.st().portb_cal_ok, 0);
    EXPECT_TRUE(r.st().cal_file.empty());
    // So a sweep asks for a calibration instead of showing uncorrected readings as corrected.
    const long before = r.serial.unit.state().measurements;
    r.ui.deliver(platform::Event{platform::EventType::Button, 0, 0, 0, commands::cmd::ButtonScan});
    EXPECT_TRUE(Shown(r, "The instrument needs to be calibrated."));
    EXPECT_EQ(r.serial.unit.state().measurements, before);
}

TEST_F(SimTest, ADeviceThatFailsTheIdentityChecksLeavesTheProgramInDemoMode) {
    // No "sn=" in the version text: the model check refuses it, and nothing takes that back.
    sim::UnitConfig noSerial;
    noSerial.flash = false;
    noSerial.serialNumber = 0;
    auto& r = rig(noSerial);
    Start(r);
    EXPECT_EQ(Messages(r), (std::vector<std::string>{"This program is only valid for the VNA.| "}));
    EXPECT_TRUE(InDemoMode(r));

    // A device that answers without "vna" is no instrument of ours: said so, and full demo mode.
    sim::UnitConfig foreign;
    foreign.model = "XYZ";
    auto& f = rig(foreign);
    Start(f);
    EXPECT_EQ(Messages(f), (std::vector<std::string>{commands::NotRespondingText(f.st()) + "|"}));
    EXPECT_TRUE(InDemoMode(f));
}

TEST_F(SimTest, AnInstrumentLeftAtTheHighRateIsFoundThereAndTheBaudRateMenuFollowsTheLink) {
    auto& r = rig();
    Control(r, "set baud 115000");
    Start(r);
    EXPECT_FALSE(Shown(r, commands::NotRespondingText(r.st())));
    EXPECT_EQ(r.st().InstrumentPresent, 1);
    EXPECT_EQ(r.st().BaudRate, 115000);
    EXPECT_EQ(CheckedBaudRate(r), "115000 ");
    const platform::MenuItem* menu = r.ui.findMenuItem({"Setup", "Baud Rate"});
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->children.size(), 4u);
    EXPECT_EQ(menu->children[2].caption, "230000");
    EXPECT_EQ(menu->children[3].caption, "460000");

    // 57600 cannot be had until the unit's power is cycled.
    Menu(r, commands::cmd::BaudRateItem + 0);
    EXPECT_EQ(r.ui.messages().back().text,
              "The instrument stays at 115000 baud until its power is switched off and on.");
    EXPECT_EQ(CheckedBaudRate(r), "115000 ");
    Control(r, "power on");
    Menu(r, commands::cmd::BaudRateItem + 0);
    EXPECT_EQ(r.st().BaudRate, 57600);
    EXPECT_EQ(CheckedBaudRate(r), "57600 ");
    // 115000 is asked for, and the unit follows.
    Menu(r, commands::cmd::BaudRateItem + 1);
    EXPECT_EQ(r.st().HighBaud, 1);
    EXPECT_EQ(r.serial.unit.baud(), 115000);
    EXPECT_EQ(CheckedBaudRate(r), "115000 ");
    // The unit knows no higher speed.
    Menu(r, commands::cmd::BaudRateItem + 3);
    EXPECT_EQ(r.ui.messages().back().text, "The instrument runs at 57600 or 115000 baud.");
    EXPECT_EQ(r.st().BaudRate, 115000);
    EXPECT_EQ(r.st().InstrumentPresent, 1);
}

TEST_F(SimTest, AfterAPowerOffTheInstrumentIsAbsentAndTheExitWaitsForNothing) {
    auto& r = rig();
    Start(r);
    ASSERT_EQ(r.st().InstrumentPresent, 1);
    Menu(r, commands::cmd::DcPowerOff); // answered Yes
    EXPECT_FALSE(r.serial.unit.powered());
    EXPECT_EQ(r.st().InstrumentPresent, 0);
    r.serial.emptyReads = 0;
    Menu(r, commands::cmd::Quit);
    commands::Shutdown(r.p());
    EXPECT_FALSE(Shown(r, " Expansion Port Data Error"));
    EXPECT_LT(r.serial.emptyReads, 100);

    // The power-off the program sends itself at a supply above 16 V counts the same.
    auto& high = rig();
    Control(high, "set supply 17");
    Start(high);
    EXPECT_TRUE(Shown(high, " WARNING: HIGH DC VOLTAGE "));
    EXPECT_FALSE(high.serial.unit.powered());
    EXPECT_EQ(high.st().InstrumentPresent, 0);
    high.serial.emptyReads = 0;
    commands::Shutdown(high.p());
    EXPECT_FALSE(Shown(high, " Expansion Port Data Error"));
    EXPECT_LT(high.serial.emptyReads, 100);
}

TEST_F(SimTest, StartUpOffersTheOnlyUsbDeviceWhenThePortOfTheSettingsIsMissing) {
    const std::vector<platform::SerialDeviceInfo> present = {
        {"/dev/ttyACM0", "2341", "0043", "Arduino", "Uno"}};
    const std::string offer =
        "The comm port of the settings, port 6 (/dev/ttyUSB5), does not exist.\r\nThe one "
        "USB serial device present is /dev/ttyACM0 (Arduino Uno, USB 2341:0043).\r\n\r\n"
        "Use it?";
    auto& r = rig();
    r.serial.devices = present;
    Start(r);
    // The offer comes first; the usual messages of a new unit without a cal file follow.
    ASSERT_FALSE(Messages(r).empty());
    EXPECT_EQ(Messages(r).front(), offer + "| Comm Port");
    EXPECT_EQ(r.st().SerialDevice, "/dev/ttyACM0"); // no number names it: for this run
    EXPECT_EQ(r.st().PortName, "/dev/ttyACM0");
    EXPECT_EQ(r.st().InstrumentPresent, 1);

    // Declined, the port of the settings is tried as before.
    auto& d = rig();
    d.serial.devices = present;
    d.ui.onDialog = [&d, &offer](const platform::fake::UiCall& call) {
        if (call.text == offer) {
            d.ui.messageAnswers.push_front(platform::Answer::No);
        }
    };
    Start(d);
    EXPECT_EQ(d.st().SerialDevice, "");
    EXPECT_EQ(d.st().PortName, "/dev/ttyUSB5");
}
