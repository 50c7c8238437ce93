// The simulated unit from its side of the line: raw bytes in, raw bytes out.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "instrument/protocol.h"
#include "sim/control.h"
#include "sim/instrument_model.h"
#include "support/test_rig.h"

using namespace vna;
using namespace vna::instrument;
using sim::Instrument;

namespace {

std::vector<std::uint8_t> Drain(Instrument& unit) {
    std::vector<std::uint8_t> out;
    std::uint8_t b = 0;
    while (unit.popOutput(b)) {
        out.push_back(b);
    }
    return out;
}

std::string Text(const std::vector<std::uint8_t>& v) {
    return {v.begin(), v.end()};
}

void Send(Instrument& unit, const CommandBytes& c, double now = 0, int baud = 0) {
    unit.receive(c.span(), now, baud);
}

std::uint16_t Word(const std::vector<std::uint8_t>& v, std::size_t i = 0) {
    return Word16(v.at(i), v.at(i + 1));
}

} // namespace

TEST(SimUnit, AnswersEveryQueryWithItsLayout) {
    Instrument unit;
    unit.env.temperatureF = 80;
    unit.env.supplyVolts = 12.45;
    Send(unit, VersionCommand());
    EXPECT_EQ(Text(Drain(unit)), "VNA ver 2.60 sn=1042 temp flash maxbaud115 cpuclk=20mhz dds=400mhz@");
    Send(unit, TemperatureCommand());
    EXPECT_NEAR(TemperatureFOfWord(Word(Drain(unit))), 80, 0.5);
    Send(unit, SupplyCommand());
    EXPECT_EQ(Word(Drain(unit)), 2580);
    // Expansion port: the analog input in volts, or the digital inputs.
    Send(unit, ExpansionPortCommand(0, 0x80 | 2, 0));
    EXPECT_EQ(Word(Drain(unit)), std::lround(1.234 * 4096 / 3.3));
    Send(unit, ExpansionPortCommand(7, 3, 9));
    EXPECT_EQ(Word(Drain(unit)), 0x5A);
    EXPECT_EQ(unit.state().expansion[0], 9);
    EXPECT_EQ(unit.state().expansion[1], 3);
    EXPECT_EQ(unit.state().expansion[2], 7);
    // Set-up commands change the state and answer nothing.
    Send(unit, GainsCommand(3, 1, 2, 5, 2));
    Send(unit, AveragingCommand(AveragingCode(300)));
    Send(unit, AmplitudeCommand(512));
    Send(unit, RelayCommand(true, false));
    Send(unit, RelayBank2Command(3));
    Send(unit, AutoPowerOffCommand(true));
    Send(unit, SweepStartCommand());
    Send(unit, SyncPulseCommand());
    EXPECT_TRUE(Drain(unit).empty());
    const auto& s = unit.state();
    EXPECT_EQ(s.gainA, 3);
    EXPECT_EQ(s.sensA, 1);
    EXPECT_EQ(s.optionA, 2);
    EXPECT_EQ(s.gainB, 5);
    EXPECT_EQ(s.sensB, 2);
    EXPECT_EQ(s.averaging, 512);
    EXPECT_EQ(s.amplitudeWord, 512);
    EXPECT_TRUE(s.relay0);
    EXPECT_FALSE(s.relay1);
    EXPECT_EQ(s.bank2, 3);
    EXPECT_TRUE(s.autoOff);
    EXPECT_EQ(s.sweepStarts, 1);
    EXPECT_EQ(s.syncPulses, 1);
    EXPECT_EQ(s.protocolErrors, 0);

    // A reading: the echoed word, a valid checksum, and "R" repeats it byte for byte.
    Send(unit, MeasureCommand(MeasurePort::A, 2, 0x06666667));
    const auto reading = Drain(unit);
    ASSERT_EQ(reading.size(), RawReadingBytes);
    const std::span<const std::uint8_t, RawReadingBytes> frame(reading.data(), RawReadingBytes);
    EXPECT_EQ(DecodeRawReading(frame).tuningWord, 0x06666667u);
    EXPECT_EQ(DecodeRawReading(frame).checksum, RawChecksum(frame));
    Send(unit, RepeatCommand());
    EXPECT_EQ(Drain(unit), reading);
    EXPECT_EQ(unit.state().ddsDelay, 2);
}

TEST(SimUnit, CommandsSplitAcrossWritesAndGarbageBetweenThem) {
    Instrument unit;
    const auto v = VersionCommand();
    const auto m = MeasureCommand(MeasurePort::B, 0, 0x01000000);
    const std::uint8_t junk[] = {0xEE, 0x00};
    unit.receive(junk, 0.0);
    unit.receive(m.span().first(4), 0.001);
    unit.receive(m.span().subspan(4), 0.002);
    EXPECT_EQ(Drain(unit).size(), RawReadingBytes);
    EXPECT_EQ(unit.state().protocolErrors, 2);
    // A command cut short is abandoned after a pause; the next command is understood.
    unit.receive(m.span().first(5), 1.0);
    unit.receive(v.span(), 1.2);
    EXPECT_EQ(Text(Drain(unit)).back(), '@');
}

TEST(SimUnit, LineSpeedSwitchAndGarbledBytes) {
    Instrument unit;
    Send(unit, VersionCommand(), 0, 57600);
    EXPECT_FALSE(Drain(unit).empty());
    Send(unit, HighBaudCommand(), 0, 57600);
    EXPECT_EQ(unit.baud(), 115000);
    Send(unit, VersionCommand(), 0, 57600); // the program stayed behind: garbage to the unit
    EXPECT_TRUE(Drain(unit).empty());
    EXPECT_GT(unit.state().droppedBytes, 0);
    Send(unit, VersionCommand(), 0, 115200); // close enough to its rate
    EXPECT_FALSE(Drain(unit).empty());
    // A stuck unit stays at 57600; a power cycle brings any unit back to it.
    unit.powerOn(1);
    EXPECT_EQ(unit.baud(), 57600);
    unit.faults.stuckBaud = true;
    Send(unit, HighBaudCommand(), 1, 57600);
    EXPECT_EQ(unit.baud(), 57600);
}

TEST(SimUnit, PowerOffAutoPowerOffAndPowerOn) {
    Instrument unit;
    Send(unit, PowerOffCommand());
    EXPECT_FALSE(unit.powered());
    Send(unit, VersionCommand());
    EXPECT_TRUE(Drain(unit).empty());
    unit.powerOn(10);
    Send(unit, AutoPowerOffCommand(true), 10);
    unit.checkIdle(10 + unit.config.autoOffSeconds - 1);
    EXPECT_TRUE(unit.powered());
    unit.checkIdle(10 + unit.config.autoOffSeconds + 1);
    EXPECT_FALSE(unit.powered());
    // Auto power-off off: idle forever.
    unit.powerOn(20);
    unit.checkIdle(1e9);
    EXPECT_TRUE(unit.powered());
}

TEST(SimUnit, FlashKeepsTheDateCodeInItsFile) {
    test::TempDir dir;
    sim::UnitConfig config;
    config.flashFile = dir.file("flash.txt");
    const std::uint16_t words[4] = {0x0F0D, 0x1F0B, 0x2D3B, 0x5B53};
    {
        Instrument unit(config);
        Send(unit, FlashReadCommand(4, DateCodeAddress));
        EXPECT_EQ(Drain(unit), std::vector<std::uint8_t>(8, 0xFF)); // erased
        Send(unit, FlashWriteCommand(DateCodeBank, DateCodeAddress, words));
        EXPECT_EQ(Drain(unit), std::vector<std::uint8_t>{FlashWriteAck});
    }
    Instrument again(config);
    Send(again, FlashReadCommand(4, DateCodeAddress));
    const auto back = Drain(again);
    ASSERT_EQ(back.size(), 8u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Word(back, 2 * static_cast<std::size_t>(i)), words[i]);
    }
    EXPECT_FALSE(std::filesystem::exists(config.flashFile + ".tmp"));
    // A unit without flash or temperature sensor does not answer those commands.
    sim::UnitConfig bare;
    bare.flash = false;
    bare.tempSensor = false;
    Instrument plain(bare);
    Send(plain, FlashReadCommand(4, DateCodeAddress));
    Send(plain, TemperatureCommand());
    EXPECT_TRUE(Drain(plain).empty());
    Send(plain, VersionCommand());
    EXPECT_EQ(Text(Drain(plain)).find("flash"), std::string::npos);
}

TEST(SimUnit, SweepGeneratorRunsUntilAByteAndZ3) {
    Instrument unit;
    Send(unit, SweepGeneratorStartCommand(0x01000000));
    Send(unit, HexWordCommand(0x02000000));
    Send(unit, HexWordCommand(0x00010000));
    for (std::uint32_t m : {0x01100000u, 0x01200000u, 0x01300000u, 0x01400000u}) {
        Send(unit, HexWordCommand(m));
    }
    Send(unit, ByteCommand(4));
    Send(unit, ByteCommand(20));
    EXPECT_FALSE(unit.state().sweepGenerator.running);
    Send(unit, SyncPulseCommand());
    EXPECT_TRUE(unit.state().sweepGenerator.running);
    EXPECT_EQ(unit.state().sweepGenerator.stop, 0x02000000u);
    EXPECT_EQ(unit.state().sweepGenerator.markers[3], 0x01400000u);
    EXPECT_EQ(unit.state().sweepGenerator.settling, 4);
    Send(unit, VersionCommand()); // ignored while sweeping
    EXPECT_TRUE(Drain(unit).empty());
    Send(unit, ByteCommand('0'));
    Send(unit, SweepGeneratorStopCommand());
    EXPECT_FALSE(unit.state().sweepGenerator.running);
    Send(unit, VersionCommand());
    EXPECT_FALSE(Drain(unit).empty());
    EXPECT_EQ(unit.state().syncPulses, 0); // the "Z2" started the sweep, it was no sync pulse
}

TEST(SimUnit, BandScanStreamsLevelsAgainstAcknowledges) {
    Instrument unit;
    ASSERT_TRUE(sim::ApplyControl(unit, "dut antenna:f0=14.1", 0).ok);
    Send(unit, RelayCommand(true, false));
    const double scale = 4294967296.0 / 400;
    Send(unit, BandScanCommand(static_cast<std::uint32_t>(13.0 * scale)));
    Send(unit, HexWordCommand(static_cast<std::uint32_t>(15.0 * scale)));
    Send(unit, HexWordCommand(static_cast<std::uint32_t>(0.1 * scale)));
    std::vector<std::uint16_t> levels;
    for (int i = 0; i < 100; ++i) {
        const auto out = Drain(unit);
        ASSERT_EQ(out.size(), 2u) << "one level per acknowledge";
        levels.push_back(Word(out));
        if (levels.back() == BandScanEndMarker) {
            break;
        }
        Send(unit, ByteCommand(BandScanAck));
    }
    ASSERT_EQ(levels.back(), BandScanEndMarker);
    EXPECT_EQ(levels.size(), 21u + 1u); // 13.0 .. 15.0 in 0.1 steps, then the marker
    // The resonance near 14.1 MHz takes the most current: the highest level of the scan.
    const auto peak = std::max_element(levels.begin(), levels.end() - 1) - levels.begin();
    EXPECT_NEAR(13.0 + 0.1 * static_cast<double>(peak), 14.1, 0.25);
    for (int i = 0; i < 3; ++i) {
        Send(unit, ByteCommand(BandScanLeave));
    }
    Send(unit, VersionCommand());
    EXPECT_EQ(Text(Drain(unit)).back(), '@');
    EXPECT_FALSE(unit.state().bandScan);

    // The faults of the stream, with the protocol log of what was sent and acknowledged.
    std::vector<std::string> log;
    unit.log = [&log](const std::string& line) { log.push_back(line); };
    auto scan = [&](const char* fault, int acks) {
        EXPECT_TRUE(sim::ApplyControl(unit, std::string("fault clear ") + fault, 0).ok);
        for (const CommandBytes& c : BandScanSetup({static_cast<std::uint32_t>(13.0 * scale),
                                                    static_cast<std::uint32_t>(13.2 * scale),
                                                    static_cast<std::uint32_t>(0.1 * scale)})) {
            Send(unit, c);
        }
        for (int i = 0; i < acks; ++i) {
            Send(unit, ByteCommand(BandScanAck));
        }
        const auto out = Drain(unit);
        Send(unit, ByteCommand(BandScanLeave));
        return out;
    };
    // Without an end marker the levels go round and round: 30 acknowledges, 31 levels.
    auto out = scan("bandendless", 30);
    EXPECT_EQ(out.size(), 62u);
    for (std::size_t i = 0; i < out.size(); i += 2) {
        EXPECT_NE(Word(out, i), BandScanEndMarker);
    }
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) { return l.starts_with("band level "); }),
              31);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) { return l.starts_with("band ack "); }),
              30);
    // Broken off after two levels: one byte of the third, then nothing.
    out = scan("bandbreak=2", 5);
    EXPECT_EQ(out.size(), 5u);
    // A byte that is neither an acknowledge nor a leave byte is a protocol error.
    sim::ApplyControl(unit, "fault clear", 0);
    for (const CommandBytes& c : BandScanSetup({1000, 2000, 100})) {
        Send(unit, c);
    }
    const long errors = unit.state().protocolErrors;
    Send(unit, ByteCommand('K'));
    EXPECT_EQ(unit.state().protocolErrors, errors + 1);
    EXPECT_TRUE(log.back().starts_with("band scan: stray byte K")) << log.back();
}

TEST(SimUnit, ControlCommands) {
    Instrument unit;
    EXPECT_TRUE(sim::ApplyControl(unit, "dut resistor:r=75", 0).ok);
    EXPECT_EQ(unit.dut.r, 75);
    EXPECT_TRUE(sim::ApplyControl(unit, "fault badsum=3 truncate=40:2 extra=5", 0).ok);
    EXPECT_EQ(unit.faults.badChecksum, 3);
    EXPECT_EQ(unit.faults.truncateTo, 40);
    EXPECT_EQ(unit.faults.truncateCount, 2);
    EXPECT_EQ(unit.faults.extraBytes, 5);
    EXPECT_NE(sim::ApplyControl(unit, "status", 0).text.find("badsum=3"), std::string::npos);
    EXPECT_TRUE(sim::ApplyControl(unit, "fault clear", 0).ok);
    EXPECT_EQ(unit.faults.badChecksum, 0);
    EXPECT_TRUE(sim::ApplyControl(unit, "set supply 16.5", 0).ok);
    EXPECT_EQ(unit.env.supplyVolts, 16.5);
    EXPECT_TRUE(sim::ApplyControl(unit, "mux 2 db=-3 deg=45", 0).ok);
    EXPECT_EQ(unit.mux[2].db, -3);
    EXPECT_TRUE(sim::ApplyControl(unit, "mux on", 0).ok);
    EXPECT_TRUE(unit.muxFitted);
    EXPECT_TRUE(sim::ApplyControl(unit, "power off", 0).ok);
    EXPECT_FALSE(unit.powered());
    for (const char* bad : {"", "dut", "dut capacitor", "fault", "fault melt", "fault truncate=x", "set temp",
                            "set colour 3", "mux 9 db=1", "mux 2 gain=1", "power maybe", "launch"}) {
        const auto r = sim::ApplyControl(unit, bad, 0);
        EXPECT_FALSE(r.ok) << bad;
        EXPECT_EQ(r.text.rfind("error: ", 0), 0u) << bad;
    }
}
