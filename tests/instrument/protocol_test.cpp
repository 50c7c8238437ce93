#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "instrument/protocol.h"
#include "instrument/serial_link.h"

using namespace vna::instrument;

namespace {

std::string Bytes(const CommandBytes& c) {
    return c.text();
}

} // namespace

TEST(Protocol, CommandsHaveTheirExactBytesAndFramedLengths) {
    const std::uint16_t words[4] = {0x0F0D, 0x1F0B, 0x2D3B, 0x5B53};
    struct Case {
        CommandBytes command;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {MeasureCommand(MeasurePort::A, 2, 0x0123ABCD), std::string("U\x03") + "0123ABCD"},
        {MeasureCommand(MeasurePort::B, 0, 0xFFFFFFFF), std::string("T\x01") + "FFFFFFFF"},
        {SetFrequencyCommand(0x40000000), "G40000000"},
        {RepeatCommand(), "R"},
        {RelayCommand(true, true), std::string("K") + char(43)},
        {RelayCommand(false, false), std::string("K") + char(40)},
        {RelayCommand(true, false), std::string("K") + char(41)},
        {RelayBank2Command(3), std::string("K") + char(171)},
        {AmplitudeCommand(1023), "M03FF"},
        {AmplitudeCommand(5000), "M03FF"},
        {AveragingCommand(210), std::string("J") + char(210)},
        {GainsCommand(1, 2, 2, 1, 1), std::string("A") + char(134) + char(5)},
        {AutoPowerOffCommand(true), "D1"},
        {AutoPowerOffCommand(false), "D0"},
        {HighBaudCommand(), std::string("C\x05")},
        {ExpansionPortCommand(0, 0x82, 0), std::string("L\x01") + char(0x83) + char(1)},
        {SyncPulseCommand(), "Z2"},
        {SweepGeneratorStopCommand(), "Z3"},
        {PowerOffCommand(), std::string("Q") + char(97) + char(229)},
        {VersionCommand(), "V"},
        {TemperatureCommand(), "ZT"},
        {SupplyCommand(), "B"},
        {FlashReadCommand(4, 4096), std::string("ZR") + char(68) + "1000"},
        {FlashWriteCommand(1, 4096, words),
         std::string("ZW") + char(68) + char(65) + "1000" + "0F0D1F0B2D3B5B53"},
        {SweepStartCommand(), std::string("Y") + std::string(SweepStartCode.begin(), SweepStartCode.end())},
        {SweepGeneratorStartCommand(0x00ABCDEF), "ZA00ABCDEF"},
        {BandScanCommand(0x1), "N00000001"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Bytes(c.command), c.bytes);
        // The instrument's framing agrees with every command the program can send.
        EXPECT_EQ(CommandLength(c.command.span()), static_cast<int>(c.bytes.size())) << c.bytes;
    }
    // A settling byte of a large DDS delay is held to one byte instead of wrapping to a short one.
    EXPECT_EQ(MeasureCommand(MeasurePort::A, 400, 0)[1], 255);
}

TEST(Protocol, FramingWaitsForEnoughBytesAndRefusesUnknownStarts) {
    const std::uint8_t z[] = {'Z'};
    const std::uint8_t zw[] = {'Z', 'W'};
    const std::uint8_t zwBad[] = {'Z', 'W', 64};
    const std::uint8_t zq[] = {'Z', 'Q'};
    const std::uint8_t x[] = {0x7F};
    EXPECT_EQ(CommandLength({}), 0);
    EXPECT_EQ(CommandLength(z), 0);
    EXPECT_EQ(CommandLength(zw), 0);
    EXPECT_EQ(CommandLength(zwBad), -1); // a write of 0 words does not exist
    EXPECT_EQ(CommandLength(zq), -1);
    EXPECT_EQ(CommandLength(x), -1);
}

TEST(Protocol, AveragingCodesAndTheInstrumentsReadingOfThem) {
    const std::vector<std::pair<int, int>> table = {{-3, 1},    {0, 1},     {1, 1},     {2, 2},
                                                    {255, 255}, {256, 200}, {257, 210}, {300, 210},
                                                    {512, 210}, {513, 220}, {1024, 220}};
    for (auto [n, code] : table) {
        EXPECT_EQ(AveragingCode(n), code) << n;
    }
    EXPECT_EQ(AveragingCountOfCode(200), 256);
    EXPECT_EQ(AveragingCountOfCode(210), 512);
    EXPECT_EQ(AveragingCountOfCode(220), 1024);
    EXPECT_EQ(AveragingCountOfCode(16), 16);
    EXPECT_EQ(AveragingCountOfCode(0), 1);
}

TEST(Protocol, RawReadingRoundTripAndChecksum) {
    std::array<std::uint16_t, RawAdcWords> adc{};
    for (int i = 0; i < RawAdcWords; ++i) {
        adc[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(30000 + 977 * i);
    }
    const RawReadingFrame frame = EncodeRawReading(0xDEADBEEF, adc);
    EXPECT_EQ(frame[0], 0xDE);
    EXPECT_EQ(frame[3], 0xEF);
    EXPECT_EQ(frame[4], adc[0] >> 8); // big-endian samples
    const RawReading r = DecodeRawReading(frame);
    EXPECT_EQ(r.tuningWord, 0xDEADBEEFu);
    EXPECT_EQ(r.adc, adc);
    EXPECT_EQ(r.checksum, RawChecksum(frame));
    // The checksum is the low 16 bits of the word sum, and it changes with any byte.
    std::uint32_t sum = 0xDEAD + 0xBEEF;
    for (auto w : adc) {
        sum += w;
    }
    EXPECT_EQ(RawWordSum(frame), sum);
    EXPECT_EQ(r.checksum, sum & 0xFFFF);
    RawReadingFrame damaged = frame;
    damaged[20] ^= 0x10;
    EXPECT_NE(RawChecksum(damaged), r.checksum);
    // All zeros: the checksum matches (0 = 0), and the sum of 0 lets the program see it.
    RawReadingFrame zeros{};
    EXPECT_EQ(RawChecksum(zeros), 0);
    EXPECT_EQ(RawWordSum(zeros), 0u);
}

TEST(Protocol, SettingsAtTheEndsOfTheirTypesMakeNoOverflow) {
    // A settling time or a port number from a damaged settings file: the command byte saturates
    // and the device name keeps the number, without arithmetic overflow.
    const auto max = std::numeric_limits<int>::max();
    const auto min = std::numeric_limits<int>::min();
    EXPECT_EQ(MeasureCommand(MeasurePort::A, max, 0)[1], 255);
    EXPECT_EQ(MeasureCommand(MeasurePort::A, min, 0)[1], 0);
    EXPECT_EQ(MeasureCommand(MeasurePort::B, 4, 0)[1], 5);
#ifndef _WIN32
    EXPECT_EQ(DeviceForPort(min), "/dev/ttyUSB-2147483649");
    EXPECT_EQ(DeviceForPort(1), "/dev/ttyUSB0");
#endif
}

TEST(Protocol, HexFieldsAndHealthValues) {
    std::uint32_t v = 0;
    const std::uint8_t good[] = {'0', 'a', 'F', '9'};
    const std::uint8_t bad[] = {'0', 'G', '1', '2'};
    EXPECT_TRUE(ParseHex(good, v));
    EXPECT_EQ(v, 0x0AF9u);
    v = 7;
    EXPECT_FALSE(ParseHex(bad, v));
    EXPECT_EQ(v, 7u);

    EXPECT_NEAR(SupplyVoltsOfWord(2580), 12.45, 1e-12);
    EXPECT_NEAR(SupplyVoltsOfWord(3440), 16.45, 1e-12);
    EXPECT_EQ(SupplyWordOfVolts(12.45), 2580);
    // 25 degC: 0.986 + 25 * 0.00355 = 1.07475 V, word 1375.6 -> 1376.
    EXPECT_EQ(TemperatureWordOfF(77), 1376);
    EXPECT_NEAR(TemperatureFOfWord(TemperatureWordOfF(77)), 77, 0.5);
    EXPECT_NEAR(TemperatureFOfWord(1376), ((1376 * 3.2 / 4096 - 0.986) / 0.00355 + 40) * 1.8 - 40, 1e-12);
}

TEST(Protocol, BandScanAndSweepGeneratorSetUps) {
    auto span = [](const std::string& s) {
        return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
    };
    const auto band = BandScanSetup({0x01000000, 0x0200ABCD, 0x00010000});
    EXPECT_EQ(band[0].text(), "N01000000");
    EXPECT_EQ(band[1].text(), "0200ABCD");
    EXPECT_EQ(band[2].text(), "00010000");
    const std::string tail = band[1].text() + band[2].text();
    const auto decoded = DecodeBandScanTail(0x01000000, span(tail).first<BandScanSetupTail>());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->end, 0x0200ABCDu);
    EXPECT_EQ(decoded->step, 0x00010000u);
    // A step of 0 would never end; a damaged word is no set-up.
    EXPECT_FALSE(DecodeBandScanTail(0, span("0200ABCD00000000").first<BandScanSetupTail>()));
    EXPECT_FALSE(DecodeBandScanTail(0, span("0200ABCD0001000X").first<BandScanSetupTail>()));

    SweepGeneratorWords w{0x00A3D70B, 0x07052BF6, 0x0008637C, {0x0333334, 0x7CCCCCCD, 1, 2}, 4};
    const auto parts = SweepGeneratorSetup(w);
    std::string all;
    for (const CommandBytes& c : parts) {
        all += c.text();
    }
    EXPECT_EQ(all, "ZA00A3D70B"
                   "07052BF6"
                   "0008637C"
                   "00333334"
                   "7CCCCCCD"
                   "00000001"
                   "00000002"
                   "\x04\x14");
    const auto back =
        DecodeSweepGeneratorTail(w.start, span(all.substr(10)).first<SweepGeneratorSetupTail>());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->markers, w.markers);
    EXPECT_EQ(back->settling, 4);
    all.back() = 21; // no arm byte: the set-up is damaged
    EXPECT_FALSE(DecodeSweepGeneratorTail(w.start, span(all.substr(10)).first<SweepGeneratorSetupTail>()));
    // The settling byte: an even value as it is, an odd one as the next even one, within 1..255.
    for (const auto& [settling, sent] : std::vector<std::pair<int, int>>{
             {0, 1}, {1, 2}, {3, 4}, {4, 4}, {254, 254}, {255, 255}, {300, 255}, {-9, 1}}) {
        EXPECT_EQ(SweepGeneratorSettlingByte(settling), sent) << settling;
    }
    // The stop byte starts no command: an instrument that already stopped drops it.
    const std::uint8_t stop[] = {SweepGeneratorStopByte};
    EXPECT_EQ(CommandLength(stop), -1);
}
