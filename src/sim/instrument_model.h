#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "sim/dut.h"
#include "sim/front_end.h"

// The simulated instrument from its side of the serial line: it takes the bytes the program
// sends, frames them into commands, carries them out on its model of the hardware, and queues the
// reply bytes. Time comes from the caller (seconds on any steady clock).
namespace vna::sim {

// What makes one unit: its firmware and serial number, what its version text announces, its
// flash file, and the seed of its noise.
struct UnitConfig {
    std::string model = "VNA"; // the name its version text starts with
    std::string firmware = "2.60";
    int serialNumber = 1042; // 0 or less: the version text carries no "sn="
    bool tempSensor = true;
    bool flash = true;
    bool maxBaud115 = true;
    std::string flashFile; // empty: the flash lives only as long as the object
    std::uint64_t seed = 1;
    double autoOffSeconds = 600; // idle time after which "D1" switches the unit off
};

// Injected faults. Counts of -1 mean "until cleared".
struct Faults {
    bool silence = false;       // takes commands, answers nothing
    int silenceAfter = -1;      // answers this many more readings, then falls silent
    int truncateTo = -1;        // raw readings cut to this many bytes...
    int truncateCount = -1;     // ...this many times
    int badChecksum = 0;        // the next n raw readings (resends included) carry a wrong checksum
    bool referenceLoss = false; // no signal on the reference channel
    bool deadAdc = false;       // the converter reads 0 everywhere
    bool overload = false;      // the converter is driven into its rails
    bool stuckBaud = false;     // "C" 5 is not followed
    int extraBytes = 0;         // garbage after every reply
    bool bandEndless = false;   // the band scan never sends its end marker
    int bandBreakAfter = -1;    // the band scan breaks off after this many levels, mid-level
    // The MUX refuses to switch to the channels whose bits are set (bit k: channel k, 0..6) and
    // stays where it is: a relay that no longer pulls in, or a dead driver (all bits).
    int muxRefuse = 0;
    double weakReferenceDb = 0; // the reference channel this many dB below its level
    int stuckGainStep = 0;      // Port B gain step 2..5 that does not switch in (the one below stays)
    double lowSupplyVolts = 0;  // the supply reads this (a failing supply), when above 0
    bool noFlash = false;       // the flash announced in the version text does not answer
};

// The world around the unit.
struct Environment {
    double temperatureF = 77;
    double supplyVolts = 12;
    double analogVolts = 1.234; // at the expansion port's analog input
    int digitalInput = 0x5A;    // at its digital inputs
};

// The six-way MUX on the expansion port: one path to Port B per channel, each with its own loss,
// phase and delay (the line on that channel); channel 0 connects nothing.
struct MuxPath {
    double db = 0;
    double deg = 0;
    double ns = 0;
};

class Instrument {
public:
    explicit Instrument(UnitConfig config = {});

    // Bytes from the program. `hostBaud` is the program's line speed when it can be known (0
    // otherwise): bytes sent at another speed than the unit's are framing garbage to it.
    void receive(std::span<const std::uint8_t> bytes, double now, int hostBaud = 0);
    bool popOutput(std::uint8_t& byte);
    std::size_t outputSize() const { return output_.size(); }
    void clearOutput() { output_.clear(); }

    int baud() const { return state_.baud; }
    // Puts the unit at a line speed, as an earlier run that switched it would have left it.
    void setBaud(int baud);
    bool powered() const { return powered_; }
    void powerOn(double now);
    void powerOff();
    // Switches the unit off when auto power-off is on and it has been idle long enough.
    void checkIdle(double now);
    // A readable summary of the unit's state.
    std::string status() const;
    std::string versionText() const;

    struct SweepGenerator {
        std::uint32_t start = 0, stop = 0, step = 0;
        std::array<std::uint32_t, 4> markers{};
        int settling = 0;
        bool armed = false;
        bool running = false;
    };
    struct State {
        int baud = 57600;
        bool relay0 = false, relay1 = false;
        int bank2 = 0;
        int gainA = 1, sensA = 2, optionA = 2, gainB = 1, sensB = 1;
        int averaging = 1;
        int amplitudeWord = 1023;
        int ddsDelay = 1;
        std::uint32_t tuningWord = 0;
        bool autoOff = false;
        std::array<int, 3> expansion{}; // registers 0, 1, 2
        int muxChannel = 0;             // where the MUX relays are (0: none connected)
        SweepGenerator sweepGenerator;
        bool bandScan = false;
        long commands = 0;
        long measurements = 0;
        long protocolErrors = 0;
        long droppedBytes = 0;
        long sweepStarts = 0;
        long syncPulses = 0;
    };
    const State& state() const { return state_; }

    // The unit's parts, open for the control interface and the tests.
    UnitConfig config;
    FrontEnd frontEnd;
    Dut dut;
    Faults faults;
    Environment env;
    bool muxFitted = false;
    std::array<MuxPath, 7> mux{};
    // Receives a line for every command and reply (the protocol log), when set.
    std::function<void(const std::string&)> log;

    // The flash words (absent = erased, 0xFFFF).
    std::map<std::uint16_t, std::uint16_t> flash;
    // Writes flash words from `address` on and keeps them in the flash file, as "ZW" does.
    void writeFlash(std::uint16_t address, std::span<const std::uint16_t> words);

private:
    enum class Mode { Commands, SweepSetup, SweepRunning, BandSetup, BandStreaming, BandLeaving };

    void execute(std::span<const std::uint8_t> command);
    void measure(bool portB, std::uint32_t word);
    void sendReading(const instrument::RawReadingFrame& frame);
    void send(std::span<const std::uint8_t> bytes);
    void sendWord(std::uint16_t w);
    void bandScanNext();
    double bandLevel(double fHz);
    void loadFlash();
    void saveFlash() const;
    void note(const std::string& what);

    State state_;
    bool powered_ = true;
    Mode mode_ = Mode::Commands;
    std::vector<std::uint8_t> pending_;
    std::deque<std::uint8_t> output_;
    double lastByteAt_ = 0;
    double lastActivity_ = 0;
    instrument::RawReadingFrame lastFrame_{};
    std::mt19937_64 rng_;
    // Band scan in progress.
    std::uint32_t bandStart_ = 0, bandEnd_ = 0, bandStep_ = 0;
    std::uint64_t bandWord_ = 0;
    int bandSamples_ = 0;
    bool bandBroken_ = false;
};

// The byte tag of a command for logs: printable bytes as they are, others as <hex>.
std::string Printable(std::span<const std::uint8_t> bytes, std::size_t limit = 24);

} // namespace vna::sim
