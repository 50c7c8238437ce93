// vna-cli's commands in-process, against the simulated instrument.

#include <gtest/gtest.h>

#include <cstdio>

#include "app/cli.h"
#include "cli_capture.h"
#include "sim/control.h"
#include "sim/sim_cal.h"
#include "support/sim_rig.h"

using namespace vna;

namespace {

using test::Captured;

Captured Cli(test::SimRig& rig, const std::vector<std::string>& args) {
    return test::RunCliCaptured(rig.p(), args);
}

} // namespace

TEST(Cli, OptionsAndTheirMistakes) {
    std::string error;
    auto o = app::ParseCliOptions(
        {"--serial", "/dev/x", "point", "--port", "B", "--freq", "14.2", "--average", "8"}, nullptr, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->command, "point");
    EXPECT_EQ(o->serial, "/dev/x");
    EXPECT_EQ(o->port, 'b');
    EXPECT_EQ(o->freq, 14.2);
    EXPECT_EQ(o->average, 8);
    o = app::ParseCliOptions({"generator", "--start", "1", "--stop", "11", "--step", "50", "--marker", "5",
                              "--marker", "0", "--settling", "3"},
                             nullptr, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->markers, (std::vector<double>{5, 0}));
    EXPECT_EQ(o->settling, 3);
    EXPECT_EQ(o->step, 50);
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{}, "no command given"},
        {{"point"}, "point needs --freq"},
        {{"point", "--freq", "abc"}, "--freq needs a frequency in MHz"},
        {{"point", "--freq", "-3"}, "--freq needs a frequency in MHz"},
        {{"identify", "--average", "0"}, "--average is 1 to 1024"},
        {{"identify", "--serial"}, "--serial needs a value"},
        {{"identify", "sweep"}, "unknown argument sweep"},
        {{"point", "--port", "b", "--freq", "1", "--cal", "x.acal"},
         "--cal corrects a Port A point (point --port a, monitor)"},
        {{"identify", "--cal", "x.acal"}, "--cal corrects a Port A point (point --port a, monitor)"},
        {{"bandscan", "--start", "14", "--stop", "13", "--step", "0.001"}, "--stop must lie above --start"},
        {{"bandscan", "--start", "1", "--stop", "30", "--step", "0.001"},
         "--step gives more than 10000 levels: a band scan takes at least 0.002900 MHz steps over this span"},
        {{"generator", "--start", "1", "--stop", "11"}, "generator needs --start, --stop and --step"},
        {{"generator", "--start", "1", "--stop", "11", "--step", "0"}, "--step needs a frequency in MHz"},
        {{"generator", "--start", "1", "--stop", "11", "--step", "1", "--settling", "-3"},
         "--settling needs a whole number of 0 or more"},
        {{"generator", "--start", "1", "--stop", "11", "--step", "1", "--marker", "abc"},
         "--marker needs a frequency in MHz (at most four markers)"},
        {{"identify", "--high"}, "--high belongs to bandscan"},
        {{"point", "--freq", "1", "--freq", "2"}, "--freq is given more than once"},
        {{"-v", "identify", "--verbose"}, "--verbose is given more than once"},
        {{"point", "--cal", "--freq", "2"}, "--cal needs a value"},
        {{"identify", "--colour"}, "unknown argument --colour"},
        {{"tone", "--swr", "0.5", "--out", "t.wav"}, "--swr is an SWR from 1 to 999"},
        {{"speak", "--swr", "2", "--decimals", "3", "--out", "s.wav"}, "--decimals is 1 or 2"},
        {{"tone", "--swr", "2"}, "tone needs --swr and --out FILE.wav"},
        {{"monitor", "--tone"}, "monitor needs --freq"},
        {{"point", "--freq", "1", "--voice"}, "--tone and --voice belong to monitor"},
    };
    for (const auto& [args, why] : bad) {
        EXPECT_FALSE(app::ParseCliOptions(args, nullptr, error));
        EXPECT_EQ(error, why);
    }
    // Help and version need nothing else, not even what the command needs.
    o = app::ParseCliOptions({"sweep", "--start", "abc", "-h"}, nullptr, error);
    ASSERT_TRUE(o) << error;
    EXPECT_TRUE(o->help);
    EXPECT_EQ(o->command, "sweep");
    o = app::ParseCliOptions({"help", "cal"}, nullptr, error);
    ASSERT_TRUE(o && o->help);
    EXPECT_EQ(o->command, "cal");
    EXPECT_TRUE(app::ParseCliOptions({"--version"}, nullptr, error)->version);
    EXPECT_TRUE(app::ParseCliOptions({"-q", "identify"}, nullptr, error)->quiet);
    // The environment names the device when the command line does not.
    auto env = [](const char* name) -> const char* {
        return std::string(name) == "VNA_SERIAL" ? "/dev/env" : nullptr;
    };
    EXPECT_EQ(app::ParseCliOptions({"identify"}, env, error)->serial, "/dev/env");
}

TEST(Cli, IdentifyAndPointAgainstTheSimulator) {
    test::SimRig rig;
    rig.st().SerialDevice.clear();
    auto c = Cli(rig, {"--serial", "sim", "identify"});
    EXPECT_EQ(c.status, 0) << c.err;
    EXPECT_NE(c.out.find("firmware:    2.60"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("supply:      12.00 V"), std::string::npos);
    ASSERT_TRUE(sim::ApplyControl(rig.serial.unit, "dut resistor:r=50", 0).ok);
    c = Cli(rig, {"--serial", "sim", "point", "--freq", "1"});
    EXPECT_EQ(c.status, 0) << c.err;
    EXPECT_NE(c.out.find("raw Z:"), std::string::npos);
    // The relays are switched off again after the point.
    EXPECT_FALSE(rig.serial.unit.state().relay0);
}

TEST(Cli, FailuresGiveTheMessageAndCode) {
    {
        sim::UnitConfig old;
        old.firmware = "2.31";
        test::SimRig rig(old);
        const auto c = Cli(rig, {"--serial", "sim", "identify"});
        EXPECT_EQ(c.status, 1);
        EXPECT_NE(c.err.find("This program requires firmware version 2.50 or higher."), std::string::npos)
            << c.err;
    }
    {
        test::SimRig rig;
        ASSERT_TRUE(sim::ApplyControl(rig.serial.unit, "set supply 17", 0).ok);
        const auto c = Cli(rig, {"--serial", "sim", "identify"});
        EXPECT_EQ(c.status, 1);
        EXPECT_NE(c.err.find("error 17"), std::string::npos) << c.err;
        EXPECT_FALSE(rig.serial.unit.powered()); // over-voltage switched it off
    }
    {
        test::SimRig rig;
        ASSERT_TRUE(sim::ApplyControl(rig.serial.unit, "fault deadadc", 0).ok);
        const auto c = Cli(rig, {"--serial", "sim", "point", "--freq", "2"});
        EXPECT_EQ(c.status, 1);
        EXPECT_NE(c.err.find("vna-cli: error 17: the reading at  2 MHz failed"), std::string::npos) << c.err;
    }
    {
        test::SimRig rig;
        rig.serial.unplugged = true;
        const auto c = Cli(rig, {"--serial", "sim", "identify"});
        EXPECT_EQ(c.status, 1);
        EXPECT_NE(c.err.find("vna-cli: error 10: the VNA is not responding: sim does not exist"),
                  std::string::npos)
            << c.err;
    }
}

namespace {

// The number printed after `label` in the tool's output.
double Value(const std::string& out, const std::string& label) {
    const auto pos = out.find(label);
    EXPECT_NE(pos, std::string::npos) << label << " in\n" << out;
    return pos == std::string::npos ? 0 : std::stod(out.substr(pos + label.size()));
}

} // namespace

TEST(Cli, APointCorrectedWithTheUnitsOwnCalFile) {
    test::SimRig rig;
    const std::string cal = rig.dir.file("unit.acal");
    ASSERT_TRUE(sim::WriteUnitCalFile(rig.serial.unit, cal, rig.clock.now()));
    ASSERT_TRUE(sim::ApplyControl(rig.serial.unit, "dut rlc-series:r=30,l=1.2u,c=80p", 0).ok);
    auto c = Cli(rig, {"--serial", "sim", "point", "--freq", "16.24", "--average", "16", "--cal", cal});
    ASSERT_EQ(c.status, 0) << c.err;
    // Near the series resonance (16.24 MHz) the circuit is its 30 ohm resistor.
    const double rs = Value(c.out, "Rs:");
    const double xs = Value(c.out, "Xs:");
    EXPECT_NEAR(rs, 30, 0.15) << c.out;
    EXPECT_NEAR(xs, 0, 1.0) << c.out;
    EXPECT_NEAR(Value(c.out, "|Z|:"), std::hypot(rs, xs), 1e-3);
    EXPECT_NEAR(Value(c.out, "phase:"), std::atan(xs / rs) * 57.296, 1e-2);
    EXPECT_NEAR(Value(c.out, "Rp:"), (rs * rs + xs * xs) / rs, 1e-2 * rs);
    EXPECT_NE(c.out.find("Xp:"), std::string::npos);

    // A cal file of another range is refused with its message and code.
    std::string text = test::ReadFile(cal);
    const auto range = text.find(" 180    MUF=");
    ASSERT_NE(range, std::string::npos);
    text.replace(range, 4, " 200");
    test::WriteFile(rig.dir.file("other.acal"), text);
    c = Cli(rig, {"--serial", "sim", "point", "--freq", "10", "--cal", rig.dir.file("other.acal")});
    EXPECT_EQ(c.status, 1);
    EXPECT_NE(c.err.find("vna-cli: error 42165: the cal file"), std::string::npos) << c.err;
    // (The tool's console prints the message box; here the scripted Ui holds it.)
    ASSERT_FALSE(rig.ui.messages().empty());
    EXPECT_NE(rig.ui.messages().back().text.find("The cal file has a range of  200 MHz."), std::string::npos);
}

TEST(Cli, TheSerialDevicesAndTheOnlyUsbDeviceWhenThePortOfTheSettingsIsMissing) {
    test::SimRig rig;
    rig.st().SerialDevice.clear();
    rig.serial.devices = {{"/dev/ttyACM0", "2341", "0043", "Arduino", "Uno"},
                          {"/dev/ttyUSB0", "0403", "6001", "FTDI", "FT232R USB UART"}};
    auto c = Cli(rig, {"ports"});
    EXPECT_EQ(c.status, 0) << c.err;
    EXPECT_EQ(c.out, "/dev/ttyACM0 (Arduino Uno, USB 2341:0043)\n"
                     "/dev/ttyUSB0 (FTDI FT232R USB UART, USB 0403:6001)  port 1\n"
                     "selected: /dev/ttyUSB5 (port 6 of the settings), not present\n");
    EXPECT_EQ(rig.serial.transcript(), "") << "ports talks to no instrument";

    // The settings' port 6 is not there and one USB serial device is: offered, taken with --yes.
    rig.serial.devices = {{"/dev/ttyUSB2", "0403", "6001", "FTDI", "FT232R USB UART"}};
    rig.ui.onDialog = [&rig](const platform::fake::UiCall& call) {
        if (call.text.find("Use it?") != std::string::npos) {
            rig.ui.messageAnswers.push_front(platform::Answer::No);
        }
    };
    Cli(rig, {"identify"});
    EXPECT_EQ(rig.st().commport, 6);
    std::string offer;
    for (const auto& m : rig.ui.messages()) {
        offer = m.text.find("Use it?") != std::string::npos ? m.text : offer;
    }
    EXPECT_EQ(offer,
              "The comm port of the settings, port 6 (/dev/ttyUSB5), does not exist.\r\nThe one USB serial "
              "device present is /dev/ttyUSB2 (FTDI FT232R USB UART, USB 0403:6001).\r\n\r\nUse it? (vna-cli "
              "takes it with --yes; --serial names any device.)");
    rig.ui.calls.clear();
    rig.ui.onDialog = nullptr; // Yes, as --yes answers
    c = Cli(rig, {"identify"});
    EXPECT_EQ(c.status, 0) << c.err;
    EXPECT_NE(c.err.find("vna-cli: using /dev/ttyUSB2"), std::string::npos) << c.err;
    EXPECT_EQ(rig.st().commport, 3); // a ttyUSB device is a numbered port the settings keep

    // A device of the settings that is there, or two to choose from: nothing is asked.
    for (const auto& present : {std::vector<platform::SerialDeviceInfo>{{"/dev/ttyUSB5", "", "", "", ""}},
                                std::vector<platform::SerialDeviceInfo>{{"/dev/ttyACM0", "", "", "", ""},
                                                                        {"/dev/ttyACM1", "", "", "", ""}}}) {
        rig.serial.devices = present;
        rig.ui.calls.clear();
        Cli(rig, {"identify"});
        for (const auto& m : rig.ui.messages()) {
            EXPECT_EQ(m.text.find("Use it?"), std::string::npos) << m.text;
        }
    }
}

TEST(Cli, ItsMessagesNeverPointAtTheWindow) {
    // A first run: no settings, no config file, and a cal file that is not there.
    test::SimRig rig;
    rig.st().SerialDevice.clear();
    const auto c = Cli(rig, {"--serial", "sim", "point", "--freq", "1"});
    EXPECT_EQ(c.status, 0) << c.err;
    const auto messages = rig.ui.messages();
    ASSERT_GE(messages.size(), 2u);
    for (const auto& m : messages) {
        EXPECT_EQ(m.text.find(".exe"), std::string::npos) << m.text;
        EXPECT_EQ(m.text.find("Click"), std::string::npos) << m.text;
        EXPECT_EQ(m.text.find("menu"), std::string::npos) << m.text;
    }
    EXPECT_EQ(messages[0].text, "There is no settings file " + rig.dir.file("VNA_Init_Data.ini") +
                                    ": the default settings are used.");
}
