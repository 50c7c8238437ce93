#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// The instrument's wire protocol in one place: the byte strings of every command and the layout of
// every binary reply, as pure functions over byte spans. The program and the instrument simulator
// both use these, so the two sides can never disagree about a byte.
//
// Commands carry no terminator and no checksum; each has a fixed length that its first byte (or
// first two bytes) determines. Letters are ASCII. "hex8" is a value as exactly 8 upper-case
// hexadecimal digits, "hex4" likewise with 4. Multi-byte binary values are big-endian.
namespace vna::instrument {

// ---- Reply layouts ----

// The reply to a measure command: 4 bytes of tuning word, 16 load-channel samples, 16
// reference-channel samples, the overload word, and the checksum word.
inline constexpr std::size_t RawReadingBytes = 72;
inline constexpr int RawAdcWords = 33;            // 16 load + 16 reference + the overload word
inline constexpr int SamplesPerChannel = 16;      // one period of the IF, sampled in 16 steps
inline constexpr std::size_t RawSummedWords = 35; // the words of bytes 0..69 the checksum covers

// The version reply is text ending with this byte.
inline constexpr char VersionTerminator = '@';
// The flash write is acknowledged with this byte.
inline constexpr std::uint8_t FlashWriteAck = 'K';
// The band scan ends its stream of levels with this value.
inline constexpr std::uint16_t BandScanEndMarker = 30117;
inline constexpr std::uint8_t BandScanAck = 0x01;
inline constexpr std::uint8_t BandScanLeave = 0x02;

// The fixed code that follows "Y" before every sweep. The firmware compares all six bytes, so a
// stray "Y" in a damaged command stream cannot restart the instrument's sweep bookkeeping.
inline constexpr std::array<std::uint8_t, 6> SweepStartCode = {0xA5, 0x5A, 0x0F, 0xF0, 0x33, 0xCC};

// The flash word address of the unit's date code, and the flash bank it is written to.
inline constexpr std::uint16_t DateCodeAddress = 4096;
inline constexpr int DateCodeBank = 1;
// Flash reads and writes move 1..16 words at a time.
inline constexpr int FlashMaxWords = 16;

// ---- Command bytes ----

// A command as it goes on the wire: at most the longest command (a flash write of 16 words).
class CommandBytes {
public:
    static constexpr std::size_t Capacity = 8 + 4 * FlashMaxWords;

    CommandBytes() = default;
    CommandBytes& add(std::uint8_t b) {
        if (size_ < Capacity) {
            bytes_[size_++] = b;
        }
        return *this;
    }
    CommandBytes& add(char c) { return add(static_cast<std::uint8_t>(c)); }
    CommandBytes& addText(const char* text);
    CommandBytes& addHex8(std::uint32_t value);
    CommandBytes& addHex4(std::uint16_t value);

    std::span<const std::uint8_t> span() const { return {bytes_.data(), size_}; }
    std::size_t size() const { return size_; }
    std::uint8_t operator[](std::size_t i) const { return bytes_[i]; }
    std::string text() const {
        return std::string(bytes_.begin(), bytes_.begin() + static_cast<long>(size_));
    }

private:
    std::array<std::uint8_t, Capacity> bytes_{};
    std::size_t size_ = 0;
};

enum class MeasurePort { A, B };

// "U" (Port A) or "T" (Port B), the settling byte, hex8 tuning word: 10 bytes, reply RawReading.
// The settling byte is the DDS delay + 1, held to one byte.
CommandBytes MeasureCommand(MeasurePort port, int ddsDelay, std::uint32_t tuningWord);
// "G" + hex8: sets the frequency only, no reply.
CommandBytes SetFrequencyCommand(std::uint32_t tuningWord);
// "R": the instrument sends its last reading again.
CommandBytes RepeatCommand();
// "K", 40 + 2*bit1 + bit0: the two relays.
CommandBytes RelayCommand(bool bit0, bool bit1);
// "K", 168 + n (n 0..3): the second relay bank.
CommandBytes RelayBank2Command(int n);
// "M" + hex4 of the 10-bit amplitude word.
CommandBytes AmplitudeCommand(int amplitudeWord);
// "J" + averaging code.
CommandBytes AveragingCommand(std::uint8_t code);
// "A", 4*gainA + sensA + 64*optionA, 4*gainB + sensB.
CommandBytes GainsCommand(int gainA, int sensA, int optionA, int gainB, int sensB);
// "D1" / "D0".
CommandBytes AutoPowerOffCommand(bool on);
// "C", 5: the instrument switches to its high line speed.
CommandBytes HighBaudCommand();
// "L", reg2 + 1, reg1 + 1, reg0 + 1: the expansion port; reply 2 bytes.
CommandBytes ExpansionPortCommand(int reg2, int reg1, int reg0);
// "Z2": sync pulse (and the start of the sweep generator).
CommandBytes SyncPulseCommand();
// "Z3": stop of the sweep generator (after one arbitrary byte).
CommandBytes SweepGeneratorStopCommand();
// "Q", 97, 229: the instrument switches its DC power off.
CommandBytes PowerOffCommand();
// "V": version text, reply ends with "@".
CommandBytes VersionCommand();
// "ZT": board temperature, reply 2 bytes.
CommandBytes TemperatureCommand();
// "B": DC supply voltage, reply 2 bytes.
CommandBytes SupplyCommand();
// "ZR", 64 + count, hex4 word address: reply 2 bytes per word.
CommandBytes FlashReadCommand(int wordCount, std::uint16_t address);
// "ZW", 64 + count, 64 + bank, hex4 address, hex4 per word: reply one byte, "K" when done.
CommandBytes FlashWriteCommand(int bank, std::uint16_t address, std::span<const std::uint16_t> words);
// "Y" + the six-byte sweep start code.
CommandBytes SweepStartCommand();
// "ZA" + hex8: the first part of the sweep generator set-up (start word).
CommandBytes SweepGeneratorStartCommand(std::uint32_t startWord);
// "N" + hex8: the first part of a band scan (start word).
CommandBytes BandScanCommand(std::uint32_t startWord);
// A bare hex8 word: the further parts of the sweep generator and band scan set-ups.
CommandBytes HexWordCommand(std::uint32_t word);
// One binary byte.
CommandBytes ByteCommand(std::uint8_t b);

// ---- The two modes in which the instrument sweeps by itself ----

// Band scan. The set-up is "N" + hex8 start word, then hex8 end word, then hex8 step word (three
// writes of 9, 8 and 8 bytes). The instrument then steps from the start word to the end word on
// its own and sends one 16-bit level per step (high byte first), each only after the
// acknowledge of the one before, and ends with BandScanEndMarker. Three BandScanLeave bytes take
// it back to its commands.
struct BandScanWords {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::uint32_t step = 0;
};
std::array<CommandBytes, 3> BandScanSetup(const BandScanWords& words);
// The part of the set-up after "N" + start word: the end and step words.
inline constexpr std::size_t BandScanSetupTail = 8 + 8;
// The end and step words of that part; nothing when it is not hex or the step is 0 (a scan that
// would never end).
std::optional<BandScanWords> DecodeBandScanTail(std::uint32_t startWord,
                                                std::span<const std::uint8_t, BandScanSetupTail> tail);

// Sweep generator. The set-up is "ZA" + hex8 start word, then the hex8 stop and step words, the
// hex8 words of the four markers, the settling byte and the byte SweepGeneratorArm (nine writes);
// "Z2" then starts the sweep, which runs until SweepGeneratorStopByte and "Z3" arrive.
struct SweepGeneratorWords {
    std::uint32_t start = 0;
    std::uint32_t stop = 0;
    std::uint32_t step = 0;
    std::array<std::uint32_t, 4> markers{};
    std::uint8_t settling = 1;
};
inline constexpr std::uint8_t SweepGeneratorArm = 20;
// The byte before "Z3". The instrument takes any byte there as the end of its sweep; it is a
// digit because a digit is what the instrument has always received there (the first character
// of a hex word) and because no command starts with one: an instrument that has already left
// its sweep drops it, and the "Z3" after it is a harmless stop. A letter such as "A" or "D"
// would instead start a gains or power-off command and swallow the "Z3" as its arguments.
inline constexpr std::uint8_t SweepGeneratorStopByte = '0';
// The settling byte for a settling value: the nearest integer (ties to even) of the value + 0.5,
// held to 1..255. An even value is sent as it is, an odd one as the next even one: 0 gives 1,
// 3 gives 4, 4 gives 4, 300 gives 255.
std::uint8_t SweepGeneratorSettlingByte(int settling);
std::array<CommandBytes, 9> SweepGeneratorSetup(const SweepGeneratorWords& words);
// The part of the set-up after "ZA" + start word: stop, step, markers, settling, the arm byte.
inline constexpr std::size_t SweepGeneratorSetupTail = 8 + 8 + 4 * 8 + 1 + 1;
// The words of that part; nothing when a word is not hex or the arm byte is missing.
std::optional<SweepGeneratorWords>
DecodeSweepGeneratorTail(std::uint32_t startWord,
                         std::span<const std::uint8_t, SweepGeneratorSetupTail> tail);

// The averaging code of the "J" command for n readings per point: n <= 1 is 1, 2..255 as they
// stand, 256 as 200, 257..512 as 210, above 512 as 220 (the instrument's largest, 1024 readings).
std::uint8_t AveragingCode(int n);
// The readings per point the instrument takes for a received averaging code (its side of the
// table above: 200, 210 and 220 stand for 256, 512 and 1024).
int AveragingCountOfCode(std::uint8_t code);

// ---- Framing, for the instrument's side ----

// The total length of the command that starts `pending`, once enough of it has arrived to tell:
// a positive length, 0 when more bytes are needed to know, -1 when the first byte starts no
// command. The follow-up parts of the sweep generator and band scan set-ups, and the acknowledge
// bytes of a band scan, are not framed here: the instrument expects them by its state.
int CommandLength(std::span<const std::uint8_t> pending);

// ---- Hex fields ----

// Parses exactly `digits.size()` upper- or lower-case hex digits; false on any other character.
bool ParseHex(std::span<const std::uint8_t> digits, std::uint32_t& value);

// ---- Binary replies ----

inline std::uint16_t Word16(std::uint8_t high, std::uint8_t low) {
    return static_cast<std::uint16_t>((high << 8) | low);
}

struct RawReading {
    std::uint32_t tuningWord = 0;
    std::array<std::uint16_t, RawAdcWords> adc{}; // 0..15 load, 16..31 reference, 32 overload word
    std::uint16_t checksum = 0;                   // as received in bytes 70..71
};

using RawReadingFrame = std::array<std::uint8_t, RawReadingBytes>;

// The sum of the 35 big-endian words of bytes 0..69 (not truncated; a sum of 0 marks an all-zero
// reply, which the program refuses even though its checksum matches).
std::uint32_t RawWordSum(std::span<const std::uint8_t, RawReadingBytes> frame);
// The checksum the reply should carry: the low 16 bits of RawWordSum.
std::uint16_t RawChecksum(std::span<const std::uint8_t, RawReadingBytes> frame);
RawReading DecodeRawReading(std::span<const std::uint8_t, RawReadingBytes> frame);
// Builds a frame with a correct checksum.
RawReadingFrame EncodeRawReading(std::uint32_t tuningWord, const std::array<std::uint16_t, RawAdcWords>& adc);

// ---- Values of the health replies ----

// DC supply: volts = word / 215 + 0.45.
double SupplyVoltsOfWord(std::uint16_t word);
std::uint16_t SupplyWordOfVolts(double volts);
// Temperature: the sensor gives 0.986 V at 0 degC and 3.55 mV per degC, read by a 12-bit
// converter with a 3.2 V reference.
double TemperatureFOfWord(std::uint16_t word);
std::uint16_t TemperatureWordOfF(double fahrenheit);

} // namespace vna::instrument
