#include "instrument/protocol.h"

#include <algorithm>
#include <cmath>

namespace vna::instrument {

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";

std::uint8_t ClampByte(int v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

int HexValue(std::uint8_t c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

} // namespace

CommandBytes& CommandBytes::addText(const char* text) {
    for (const char* c = text; *c; ++c) {
        add(*c);
    }
    return *this;
}

CommandBytes& CommandBytes::addHex8(std::uint32_t value) {
    for (int shift = 28; shift >= 0; shift -= 4) {
        add(HexDigits[(value >> shift) & 0xF]);
    }
    return *this;
}

CommandBytes& CommandBytes::addHex4(std::uint16_t value) {
    for (int shift = 12; shift >= 0; shift -= 4) {
        add(HexDigits[(value >> shift) & 0xF]);
    }
    return *this;
}

CommandBytes MeasureCommand(MeasurePort port, int ddsDelay, std::uint32_t tuningWord) {
    CommandBytes c;
    c.add(port == MeasurePort::B ? 'T' : 'U')
        .add(ClampByte(std::clamp(ddsDelay, -1, 254) + 1))
        .addHex8(tuningWord);
    return c;
}

CommandBytes SetFrequencyCommand(std::uint32_t tuningWord) {
    return CommandBytes().add('G').addHex8(tuningWord);
}

CommandBytes RepeatCommand() {
    return CommandBytes().add('R');
}

CommandBytes RelayCommand(bool bit0, bool bit1) {
    return CommandBytes().add('K').add(static_cast<std::uint8_t>(40 + 2 * (bit1 ? 1 : 0) + (bit0 ? 1 : 0)));
}

CommandBytes RelayBank2Command(int n) {
    return CommandBytes().add('K').add(static_cast<std::uint8_t>(168 + std::clamp(n, 0, 3)));
}

CommandBytes AmplitudeCommand(int amplitudeWord) {
    return CommandBytes().add('M').addHex4(static_cast<std::uint16_t>(std::clamp(amplitudeWord, 0, 1023)));
}

CommandBytes AveragingCommand(std::uint8_t code) {
    return CommandBytes().add('J').add(code);
}

CommandBytes GainsCommand(int gainA, int sensA, int optionA, int gainB, int sensB) {
    return CommandBytes()
        .add('A')
        .add(ClampByte(4 * gainA + sensA + 64 * optionA))
        .add(ClampByte(4 * gainB + sensB));
}

CommandBytes AutoPowerOffCommand(bool on) {
    return CommandBytes().add('D').add(on ? '1' : '0');
}

CommandBytes HighBaudCommand() {
    return CommandBytes().add('C').add(std::uint8_t{5});
}

CommandBytes ExpansionPortCommand(int reg2, int reg1, int reg0) {
    return CommandBytes().add('L').add(ClampByte(reg2 + 1)).add(ClampByte(reg1 + 1)).add(ClampByte(reg0 + 1));
}

CommandBytes SyncPulseCommand() {
    return CommandBytes().addText("Z2");
}

CommandBytes SweepGeneratorStopCommand() {
    return CommandBytes().addText("Z3");
}

CommandBytes PowerOffCommand() {
    return CommandBytes().add('Q').add(std::uint8_t{97}).add(std::uint8_t{229});
}

CommandBytes VersionCommand() {
    return CommandBytes().add('V');
}

CommandBytes TemperatureCommand() {
    return CommandBytes().addText("ZT");
}

CommandBytes SupplyCommand() {
    return CommandBytes().add('B');
}

CommandBytes FlashReadCommand(int wordCount, std::uint16_t address) {
    return CommandBytes()
        .addText("ZR")
        .add(static_cast<std::uint8_t>(64 + std::clamp(wordCount, 1, FlashMaxWords)))
        .addHex4(address);
}

CommandBytes FlashWriteCommand(int bank, std::uint16_t address, std::span<const std::uint16_t> words) {
    const std::size_t count = std::min<std::size_t>(words.size(), FlashMaxWords);
    CommandBytes c;
    c.addText("ZW").add(static_cast<std::uint8_t>(64 + count)).add(ClampByte(64 + bank)).addHex4(address);
    for (std::size_t i = 0; i < count; ++i) {
        c.addHex4(words[i]);
    }
    return c;
}

CommandBytes SweepStartCommand() {
    CommandBytes c;
    c.add('Y');
    for (std::uint8_t b : SweepStartCode) {
        c.add(b);
    }
    return c;
}

CommandBytes SweepGeneratorStartCommand(std::uint32_t startWord) {
    return CommandBytes().addText("ZA").addHex8(startWord);
}

CommandBytes BandScanCommand(std::uint32_t startWord) {
    return CommandBytes().add('N').addHex8(startWord);
}

CommandBytes HexWordCommand(std::uint32_t word) {
    return CommandBytes().addHex8(word);
}

CommandBytes ByteCommand(std::uint8_t b) {
    return CommandBytes().add(b);
}

std::array<CommandBytes, 3> BandScanSetup(const BandScanWords& words) {
    return {BandScanCommand(words.start), HexWordCommand(words.end), HexWordCommand(words.step)};
}

std::optional<BandScanWords> DecodeBandScanTail(std::uint32_t startWord,
                                                std::span<const std::uint8_t, BandScanSetupTail> tail) {
    BandScanWords w;
    w.start = startWord;
    if (!ParseHex(tail.subspan(0, 8), w.end) || !ParseHex(tail.subspan(8, 8), w.step) || w.step == 0) {
        return std::nullopt;
    }
    return w;
}

std::uint8_t SweepGeneratorSettlingByte(int settling) {
    const double sent = std::nearbyint(static_cast<double>(settling) + 0.5);
    return static_cast<std::uint8_t>(std::clamp(sent, 1.0, 255.0));
}

std::array<CommandBytes, 9> SweepGeneratorSetup(const SweepGeneratorWords& words) {
    return {SweepGeneratorStartCommand(words.start),
            HexWordCommand(words.stop),
            HexWordCommand(words.step),
            HexWordCommand(words.markers[0]),
            HexWordCommand(words.markers[1]),
            HexWordCommand(words.markers[2]),
            HexWordCommand(words.markers[3]),
            ByteCommand(words.settling),
            ByteCommand(SweepGeneratorArm)};
}

std::optional<SweepGeneratorWords>
DecodeSweepGeneratorTail(std::uint32_t startWord,
                         std::span<const std::uint8_t, SweepGeneratorSetupTail> tail) {
    SweepGeneratorWords w;
    w.start = startWord;
    bool ok = ParseHex(tail.subspan(0, 8), w.stop) && ParseHex(tail.subspan(8, 8), w.step);
    for (std::size_t m = 0; m < w.markers.size() && ok; ++m) {
        ok = ParseHex(tail.subspan(16 + 8 * m, 8), w.markers[m]);
    }
    w.settling = tail[48];
    if (!ok || tail[49] != SweepGeneratorArm) {
        return std::nullopt;
    }
    return w;
}

std::uint8_t AveragingCode(int n) {
    if (n <= 1) {
        return 1;
    }
    if (n <= 255) {
        return static_cast<std::uint8_t>(n);
    }
    if (n == 256) {
        return 200;
    }
    if (n <= 512) {
        return 210;
    }
    return 220;
}

int AveragingCountOfCode(std::uint8_t code) {
    switch (code) {
        case 0:
            return 1;
        case 200:
            return 256;
        case 210:
            return 512;
        case 220:
            return 1024;
        default:
            return code;
    }
}

int CommandLength(std::span<const std::uint8_t> pending) {
    if (pending.empty()) {
        return 0;
    }
    switch (pending[0]) {
        case 'U':
        case 'T':
            return 10;
        case 'G':
        case 'N':
            return 9;
        case 'R':
        case 'V':
        case 'B':
            return 1;
        case 'K':
        case 'J':
        case 'D':
        case 'C':
            return 2;
        case 'A':
        case 'Q':
            return 3;
        case 'L':
            return 4;
        case 'M':
            return 5;
        case 'Y':
            return 1 + static_cast<int>(SweepStartCode.size());
        case 'Z':
            break;
        default:
            return -1;
    }
    if (pending.size() < 2) {
        return 0;
    }
    switch (pending[1]) {
        case '2':
        case '3':
        case 'T':
            return 2;
        case 'R':
            return 7;
        case 'A':
            return 10;
        case 'W': {
            if (pending.size() < 3) {
                return 0;
            }
            const int count = pending[2] - 64;
            if (count < 1 || count > FlashMaxWords) {
                return -1;
            }
            return 8 + 4 * count;
        }
        default:
            return -1;
    }
}

bool ParseHex(std::span<const std::uint8_t> digits, std::uint32_t& value) {
    std::uint32_t v = 0;
    for (std::uint8_t c : digits) {
        const int d = HexValue(c);
        if (d < 0) {
            return false;
        }
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    value = v;
    return true;
}

std::uint32_t RawWordSum(std::span<const std::uint8_t, RawReadingBytes> frame) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < RawSummedWords; ++i) {
        sum += Word16(frame[2 * i], frame[2 * i + 1]);
    }
    return sum;
}

std::uint16_t RawChecksum(std::span<const std::uint8_t, RawReadingBytes> frame) {
    return static_cast<std::uint16_t>(RawWordSum(frame) & 0xFFFF);
}

RawReading DecodeRawReading(std::span<const std::uint8_t, RawReadingBytes> frame) {
    RawReading r;
    r.tuningWord = (std::uint32_t{frame[0]} << 24) | (std::uint32_t{frame[1]} << 16) |
                   (std::uint32_t{frame[2]} << 8) | std::uint32_t{frame[3]};
    for (int i = 0; i < RawAdcWords; ++i) {
        r.adc[static_cast<std::size_t>(i)] = Word16(frame[4 + 2 * i], frame[5 + 2 * i]);
    }
    r.checksum = Word16(frame[70], frame[71]);
    return r;
}

RawReadingFrame EncodeRawReading(std::uint32_t tuningWord,
                                 const std::array<std::uint16_t, RawAdcWords>& adc) {
    RawReadingFrame f{};
    f[0] = static_cast<std::uint8_t>(tuningWord >> 24);
    f[1] = static_cast<std::uint8_t>(tuningWord >> 16);
    f[2] = static_cast<std::uint8_t>(tuningWord >> 8);
    f[3] = static_cast<std::uint8_t>(tuningWord);
    for (int i = 0; i < RawAdcWords; ++i) {
        f[static_cast<std::size_t>(4 + 2 * i)] =
            static_cast<std::uint8_t>(adc[static_cast<std::size_t>(i)] >> 8);
        f[static_cast<std::size_t>(5 + 2 * i)] = static_cast<std::uint8_t>(adc[static_cast<std::size_t>(i)]);
    }
    const std::uint16_t sum = RawChecksum(f);
    f[70] = static_cast<std::uint8_t>(sum >> 8);
    f[71] = static_cast<std::uint8_t>(sum);
    return f;
}

double SupplyVoltsOfWord(std::uint16_t word) {
    return word / 215.0 + 0.45;
}

std::uint16_t SupplyWordOfVolts(double volts) {
    return static_cast<std::uint16_t>(std::clamp(std::lround((volts - 0.45) * 215.0), 0L, 65535L));
}

double TemperatureFOfWord(std::uint16_t word) {
    const double volts = word * 3.2 / 4096;
    const double celsius = (volts - 0.986) / 0.00355;
    return (celsius + 40) * 1.8 - 40;
}

std::uint16_t TemperatureWordOfF(double fahrenheit) {
    const double celsius = (fahrenheit + 40) / 1.8 - 40;
    const double volts = 0.986 + 0.00355 * celsius;
    return static_cast<std::uint16_t>(std::clamp(std::lround(volts * 4096 / 3.2), 0L, 4095L));
}

} // namespace vna::instrument
