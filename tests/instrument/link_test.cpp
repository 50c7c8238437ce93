// The serial link and the set-up commands, against a scripted far end.

#include <gtest/gtest.h>

#include <cmath>

#include "instrument/commands.h"
#include "instrument/identification.h"
#include "instrument/protocol.h"
#include "instrument/serial_link.h"
#include "support/port_rig.h"
#include "support/scripted_serial_port.h"

using namespace vna;
using instrument::CommandBytes;
using Rig = test::PortRig<test::ScriptedSerialPort>;

namespace {

std::vector<std::uint8_t> Text(const std::string& s) {
    return {s.begin(), s.end()};
}

// An instrument that answers the version query only at the given line speed.
void AnswerVersionAt(Rig& rig, int baud) {
    rig.serial.answer = [&rig, baud](const std::vector<std::uint8_t>& c) {
        const bool atBaud =
            !rig.serial.opened.empty() && rig.serial.opened.back().ends_with("@" + std::to_string(baud));
        if (c == std::vector<std::uint8_t>{'V'} && atBaud) {
            return Text("vna ver 2.60 sn=42 temp@");
        }
        return std::vector<std::uint8_t>{};
    };
}

std::string W(const CommandBytes& c) {
    return c.text();
}

} // namespace

TEST(SerialLink, PortNamesAndTheDeviceOverride) {
    EXPECT_EQ(instrument::ComPortName(12), "\\\\.\\COM12");
    EXPECT_EQ(instrument::ComPortName(3), "\\\\.\\COM3");
#ifndef _WIN32
    EXPECT_EQ(instrument::DeviceForPort(12), "/dev/ttyUSB11");
    EXPECT_EQ(instrument::DeviceForPort(1), "/dev/ttyUSB0");
#endif
    Rig rig;
    rig.st().commport = 12;
    instrument::OpenPort(rig.p());
    ASSERT_EQ(rig.serial.opened.size(), 1u);
    EXPECT_EQ(rig.serial.opened[0], instrument::DeviceForPort(12) + "@57600");
    EXPECT_EQ(rig.st().LinkOk, 1);
    EXPECT_TRUE(rig.printed(instrument::DeviceForPort(12) + " port open"));

    rig.st().SerialDevice = "/tmp/sim-tty";
    instrument::OpenPort(rig.p());
    EXPECT_EQ(rig.serial.opened.back(), "/tmp/sim-tty@57600");
    EXPECT_EQ(rig.st().PortName, "/tmp/sim-tty");
}

TEST(SerialLink, OpenFailuresAndRefusedSettingsKeepTheProgramGoing) {
    Rig rig;
    rig.serial.openSucceeds = false;
    rig.st().SerialDevice = "/dev/nothing";
    const auto before = rig.clock.sleptMs;
    instrument::OpenPort(rig.p());
    EXPECT_EQ(rig.st().LinkOk, 0);
    EXPECT_TRUE(rig.printed("Could not open /dev/nothing" + std::string(28, ' ')));
    EXPECT_GE(rig.clock.sleptMs - before, 600); // 500 ms pause, then the closing 100 ms

    Rig refused;
    refused.serial.settingsAccepted = false;
    instrument::OpenPort(refused.p());
    EXPECT_EQ(refused.st().LinkOk, 1);
    EXPECT_TRUE(refused.serial.isOpen());
    EXPECT_GE(refused.clock.sleptMs, 300); // 200 ms pause for the settings, 100 ms at the end

    // Without an instrument the port is not touched at all.
    Rig demo;
    demo.st().InstrumentPresent = 0;
    instrument::OpenPort(demo.p());
    EXPECT_TRUE(demo.serial.opened.empty());
}

TEST(SerialLink, HighSpeedNegotiationAndItsFallback) {
    // The instrument follows the switch: the link ends at 115000.
    {
        Rig rig;
        rig.st().HighBaud = 1;
        rig.serial.answer = [](const std::vector<std::uint8_t>& c) {
            return c == std::vector<std::uint8_t>{'V'} ? Text("VNA ver 2.60 sn=42@")
                                                       : std::vector<std::uint8_t>{};
        };
        instrument::ConnectInstrument(rig.p());
        EXPECT_EQ(rig.st().BaudRate, 115000);
        EXPECT_EQ(rig.st().IdentState, 1);
        EXPECT_EQ(rig.st().LastError, 0);
        const auto texts = rig.serial.writtenTexts();
        ASSERT_EQ(texts.size(), 3u);
        EXPECT_EQ(texts[0], "V");
        EXPECT_EQ(texts[1], W(instrument::HighBaudCommand()));
        EXPECT_EQ(texts[2], "V");
    }
    // The instrument does not follow: back to 57600, identified.
    {
        Rig rig;
        rig.st().HighBaud = 1;
        AnswerVersionAt(rig, 57600);
        instrument::ConnectInstrument(rig.p());
        EXPECT_EQ(rig.st().BaudRate, 57600);
        EXPECT_EQ(rig.st().IdentState, 1);
        EXPECT_EQ(rig.st().LastError, 0);
        const std::vector<std::string> expected = {instrument::DeviceForPort(6) + "@57600",
                                                   instrument::DeviceForPort(6) + "@115000",
                                                   instrument::DeviceForPort(6) + "@57600"};
        EXPECT_EQ(rig.serial.opened, expected);
    }
    // An instrument left at the high speed by an earlier run is found there.
    {
        Rig rig;
        rig.st().HighBaud = 1;
        AnswerVersionAt(rig, 115000);
        instrument::ConnectInstrument(rig.p());
        EXPECT_EQ(rig.st().BaudRate, 115000);
        EXPECT_EQ(rig.st().IdentState, 1);
        EXPECT_EQ(rig.serial.opened.size(), 2u);
    }
    // Without HighBaud nothing but the version query is sent.
    {
        Rig rig;
        AnswerVersionAt(rig, 57600);
        instrument::ConnectInstrument(rig.p());
        EXPECT_EQ(rig.serial.writtenTexts(), std::vector<std::string>{"V"});
        EXPECT_EQ(rig.st().BaudRate, 57600);
    }
}

TEST(SerialLink, NoInstrumentLeavesThePortOpenAndIdentStateZero) {
    Rig rig;
    instrument::ConnectInstrument(rig.p());
    EXPECT_TRUE(rig.serial.isOpen());
    EXPECT_EQ(rig.st().IdentState, 0);
    EXPECT_EQ(rig.st().LastError, 10);
    EXPECT_EQ(rig.st().InstrumentPresent, 1); // only the start-up decides on demo mode
    // Asked at 57600, then at the high rate an earlier run may have left it at; the port ends at
    // 57600 again.
    const std::vector<std::string> expected = {instrument::DeviceForPort(6) + "@57600",
                                               instrument::DeviceForPort(6) + "@115000",
                                               instrument::DeviceForPort(6) + "@57600"};
    EXPECT_EQ(rig.serial.opened, expected);
    EXPECT_EQ(rig.serial.writtenTexts(), (std::vector<std::string>{"V", "V"}));
    EXPECT_EQ(rig.st().BaudRate, 57600);
    // Each query waited its 200 ms and no more.
    EXPECT_GE(rig.clock.sleptMs, 2 * 200);
    EXPECT_LT(rig.clock.sleptMs, 2 * (200 + 30 + 100) + 100 + 50);
}

TEST(SerialLink, ReplyBudgetsCountEmptyReadsAndAPartialReplyIsATimeOut) {
    Rig rig;
    rig.serial.open("x", 57600);
    std::vector<std::uint8_t> partial(40, 0x55);
    rig.serial.queue(partial);
    std::array<std::uint8_t, 72> buffer{};
    rig.st().LinkOk = -1;
    const int got = instrument::ReadReplyBytes(rig.p(), buffer, 72, 500);
    EXPECT_EQ(got, 40);
    EXPECT_EQ(rig.serial.emptyReads, 501); // more than the budget ends it
    EXPECT_EQ(rig.st().LinkOk, 0);

    // A vanished device ends the read just as surely.
    rig.serial.gone = true;
    rig.serial.emptyReads = 0;
    EXPECT_EQ(instrument::ReadReplyBytes(rig.p(), buffer, 2, 10000), 0);
    EXPECT_EQ(rig.serial.emptyReads, 10001);
}

TEST(SerialLink, TextReplyTimingFirstByteThenGapsBetweenBytes) {
    Rig rig;
    rig.serial.clock = &rig.clock;
    rig.serial.open("x", 57600);
    // First byte at 190 ms, the next ones 90 ms apart: all arrive.
    rig.serial.queueAt(Text("vna@"), 190, 90);
    auto reply = instrument::ReadTextReply(rig.p(), '@', rig.clock.ticks);
    EXPECT_EQ(reply.text, "vna@");
    EXPECT_TRUE(reply.terminated);

    // A gap of 110 ms after a byte ends the reply without its terminator.
    rig.serial.queueAt(Text("v"), 10, 0);
    rig.serial.queueAt(Text("na@"), 130, 1);
    reply = instrument::ReadTextReply(rig.p(), '@', rig.clock.ticks);
    EXPECT_EQ(reply.text, "v");
    EXPECT_FALSE(reply.terminated);
    rig.serial.discardInput();

    // Nothing within 200 ms: empty.
    rig.serial.queueAt(Text("vna@"), 210, 1);
    reply = instrument::ReadTextReply(rig.p(), '@', rig.clock.ticks);
    EXPECT_TRUE(reply.text.empty());
    rig.serial.discardInput();

    // Garbage that never brings the terminator stops at 255 characters.
    rig.serial.queue(std::vector<std::uint8_t>(1000, 'x'));
    reply = instrument::ReadTextReply(rig.p(), '@', rig.clock.ticks);
    EXPECT_EQ(reply.text.size(), 255u);
    EXPECT_FALSE(reply.terminated);
}

TEST(SerialLink, CommPortEntryRule) {
    Rig rig;
    AnswerVersionAt(rig, 57600);
    EXPECT_TRUE(instrument::ApplyCommPortEntry(rig.p(), std::string("-5")));
    EXPECT_EQ(rig.st().commport, 5);
    EXPECT_EQ(rig.serial.opened.back(), instrument::DeviceForPort(5) + "@57600");
    EXPECT_EQ(rig.st().IdentState, 1);

    for (const char* bad : {"0", "70000", "abc"}) {
        const auto opens = rig.serial.opened.size();
        EXPECT_FALSE(instrument::ApplyCommPortEntry(rig.p(), std::string(bad)));
        EXPECT_EQ(rig.st().commport, 5);
        EXPECT_EQ(rig.serial.opened.size(), opens);
        ASSERT_FALSE(rig.ui.messages().empty());
        EXPECT_EQ(rig.ui.messages().back().text, "Comm port must between 1 and 65000");
        EXPECT_EQ(rig.ui.messages().back().caption, "");
    }
    const auto messages = rig.ui.messages().size();
    EXPECT_FALSE(instrument::ApplyCommPortEntry(rig.p(), std::nullopt));
    EXPECT_FALSE(instrument::ApplyCommPortEntry(rig.p(), std::string()));
    EXPECT_EQ(rig.ui.messages().size(), messages);

    // 2.6 rounds to 3; a path names the device directly.
    EXPECT_TRUE(instrument::ApplyCommPortEntry(rig.p(), std::string(" 2.6")));
    EXPECT_EQ(rig.st().commport, 3);
    EXPECT_TRUE(instrument::ApplyCommPortEntry(rig.p(), std::string("/dev/pts/7")));
    EXPECT_EQ(rig.st().SerialDevice, "/dev/pts/7");
    EXPECT_EQ(rig.serial.opened.back(), "/dev/pts/7@57600");

    // From demo mode a port that answers brings the instrument back; one that does not keeps demo.
    rig.st().InstrumentPresent = 0;
    EXPECT_TRUE(instrument::ApplyCommPortEntry(rig.p(), std::string("4")));
    EXPECT_EQ(rig.st().InstrumentPresent, 1);
    rig.serial.answer = nullptr;
    EXPECT_TRUE(instrument::ApplyCommPortEntry(rig.p(), std::string("8")));
    EXPECT_EQ(rig.st().InstrumentPresent, 0);
    EXPECT_EQ(rig.st().LastError, 10);

    // The menu command asks through the Ui.
    rig.ui.textAnswers.push_back(std::string("9"));
    instrument::EnterCommPort(rig.p());
    EXPECT_EQ(rig.st().commport, 9);
}

TEST(Commands, TuningWordsAndTheSpurNudge) {
    Rig rig;
    auto& st = rig.st();
    st.osc_freq = 400;
    st.freq_comp = 1;
    // 100 MHz is exactly 2^30: the half added before rounding to even keeps it.
    EXPECT_EQ(instrument::TuningWord(st, 100, 0), 1073741824u);
    // Otherwise the word is the next integer above x.
    const double x = 4294967296.0 * 14.2 / 400;
    EXPECT_EQ(instrument::TuningWord(st, 14.2, 0), static_cast<std::uint32_t>(std::ceil(x)));

    st.Measuring = 1;
    EXPECT_EQ(instrument::TuningWord(st, 125.000), instrument::TuningWord(st, 124.990, 0));
    EXPECT_EQ(instrument::TuningWord(st, 125.005), instrument::TuningWord(st, 125.015, 0));
    EXPECT_DOUBLE_EQ(instrument::SpurNudge(st, 50.0), -0.01);
    EXPECT_DOUBLE_EQ(instrument::SpurNudge(st, 99.995), -0.01);
    EXPECT_DOUBLE_EQ(instrument::SpurNudge(st, 160.009), 0.01);
    EXPECT_DOUBLE_EQ(instrument::SpurNudge(st, 125.02), 0);
    EXPECT_DOUBLE_EQ(instrument::SpurNudge(st, 119.999), 0); // 125 is not a centre below 120
    st.Measuring = 0;
    EXPECT_EQ(instrument::TuningWord(st, 125.000), instrument::TuningWord(st, 125.000, 0));

    // The frequency compensation scales the word.
    st.freq_comp = 1.000015;
    const double xc = 4294967296.0 * 10 * 1.000015 / 400;
    EXPECT_NEAR(static_cast<double>(instrument::TuningWord(st, 10, 0)), xc, 1.0);
}

TEST(Commands, AveragingAmplitudeRelaysGainsAndPowerOffBytes) {
    Rig rig;
    auto& st = rig.st();
    rig.serial.open("x", 57600);

    instrument::SetAveraging(rig.p(), 300);
    instrument::SetAveraging(rig.p(), 1);
    instrument::SetAveraging(rig.p(), 0);
    EXPECT_EQ(st.average, 1);
    st.LastError = 17;
    instrument::SetAveraging(rig.p(), 256);
    EXPECT_EQ(st.LastError, 0);
    EXPECT_EQ(st.average, 256);
    std::vector<std::string> expected = {
        W(instrument::AveragingCommand(210)), W(instrument::AveragingCommand(1)),
        W(instrument::AveragingCommand(1)), W(instrument::AveragingCommand(200))};
    EXPECT_EQ(rig.serial.writtenTexts(), expected);

    rig.serial.writes.clear();
    instrument::SetAmplitude(rig.p(), 50);  // 511.5 rounds to the even 512
    instrument::SetAmplitude(rig.p(), 50);  // unchanged: not sent again
    instrument::SetAmplitude(rig.p(), 120); // above 100 % is held to 1023
    expected = {"M0200", "M03FF"};
    EXPECT_EQ(rig.serial.writtenTexts(), expected);
    EXPECT_EQ(st.DDS_Amplitude, 120);

    rig.serial.writes.clear();
    instrument::SetRelays(rig.p(), 3);
    EXPECT_EQ(st.RfActive, 1);
    instrument::SetRelays(rig.p(), 0);
    EXPECT_EQ(st.RfActive, 0);
    instrument::SetRelays(rig.p(), 2);
    instrument::SetRelays(rig.p(), 1); // bit 1 stays set
    EXPECT_EQ(st.RelaysSet, 1);
    expected = {"K" + std::string(1, char(43)), "K" + std::string(1, char(171)),
                "K" + std::string(1, char(40)), "K" + std::string(1, char(168)),
                "K" + std::string(1, char(42)), "K" + std::string(1, char(171)),
                "K" + std::string(1, char(43)), "K" + std::string(1, char(171))};
    EXPECT_EQ(rig.serial.writtenTexts(), expected);

    // Low-current mode parks the source before the second bank, which then stays on.
    rig.serial.writes.clear();
    st.DdsPowerOn = 0;
    st.freq = 14;
    instrument::SetRelays(rig.p(), 0);
    const auto texts = rig.serial.writtenTexts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[1], W(instrument::SetFrequencyCommand(instrument::TuningWord(st, 3.313, 0))));
    EXPECT_EQ(texts[2], "K" + std::string(1, char(171)));
    EXPECT_EQ(st.freq, 14);
    st.DdsPowerOn = 1;

    // Recomputing a stored scan holds back relays and averaging.
    rig.serial.writes.clear();
    st.HardwareEnabled = 0;
    instrument::SetRelays(rig.p(), 3);
    instrument::SetAveraging(rig.p(), 8);
    instrument::SendSweepStart(rig.p());
    EXPECT_TRUE(rig.serial.writes.empty());
    st.HardwareEnabled = 1;

    rig.serial.writes.clear();
    instrument::SendGains(rig.p());
    st.autopoweroff = 0;
    st.LastError = 12;
    instrument::ToggleAutoPowerOff(rig.p());
    EXPECT_EQ(st.LastError, 0);
    EXPECT_EQ(st.autopoweroff, 1);
    EXPECT_FALSE(instrument::LowPwrMode(st));
    instrument::ToggleAutoPowerOff(rig.p());
    EXPECT_TRUE(instrument::LowPwrMode(st));
    instrument::SendSweepStart(rig.p());
    instrument::SendSyncPulse(rig.p()); // not supported until identified: not sent
    st.SyncSupported = 1;
    instrument::SendSyncPulse(rig.p());
    expected = {"A" + std::string(1, char(134)) + char(5), "D1", "D0", W(instrument::SweepStartCommand()),
                "Z2"};
    EXPECT_EQ(rig.serial.writtenTexts(), expected);

    // Without an instrument nothing goes out, but the settings are kept.
    rig.serial.writes.clear();
    st.InstrumentPresent = 0;
    instrument::SetAveraging(rig.p(), 32);
    instrument::SetAmplitude(rig.p(), 70);
    instrument::SetRelays(rig.p(), 3);
    instrument::SendGains(rig.p());
    EXPECT_TRUE(rig.serial.writes.empty());
    EXPECT_EQ(st.average, 32);
    EXPECT_EQ(st.DDS_Amplitude, 70);
}

TEST(Commands, ExpansionPortReplyAndSilence) {
    Rig rig;
    auto& st = rig.st();
    rig.serial.open("x", 57600);
    rig.serial.answer = [](const std::vector<std::uint8_t>& c) {
        return c[0] == 'L' ? std::vector<std::uint8_t>{0x08, 0x00} : std::vector<std::uint8_t>{};
    };
    st.ExpansionAnalog = 1;
    st.ExpansionReg0 = 4;
    st.ExpansionReg2 = 9;
    EXPECT_TRUE(instrument::SetExpansionPort(rig.p(), 3));
    EXPECT_EQ(rig.serial.writtenTexts().back(), std::string("L") + char(10) + char(0x84) + char(5));
    EXPECT_EQ(st.ExpansionValue, 2048);
    EXPECT_EQ(instrument::ExpansionValueText(st), "1.650 V");
    st.ExpansionAnalog = 0;
    EXPECT_EQ(instrument::ExpansionValueText(st), "0x800");

    rig.serial.answer = nullptr;
    rig.serial.emptyReads = 0;
    EXPECT_FALSE(instrument::SetExpansionPort(rig.p(), 0));
    EXPECT_EQ(st.LastError, 10);
    EXPECT_EQ(rig.serial.emptyReads, 5001);
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].text,
              " No data from VNA Expansion Port.\r Check VNA power and comm cable.");
    EXPECT_EQ(rig.ui.messages()[0].caption, " Expansion Port Data Error");
}
