#include "sim/instrument_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <sstream>

#include "instrument/protocol.h"

namespace vna::sim {

using namespace vna::instrument;

namespace {

constexpr int HighBaud = 115000;
// A command whose bytes stop arriving for this long is abandoned, so one lost byte cannot make
// the unit read the next command as the tail of the previous one.
constexpr double InterByteTimeout = 0.05;
// Bytes sent at a line speed more than this far from the unit's own are framing garbage.
constexpr double BaudTolerance = 0.03;
// The band scan sends at most this many levels, like the firmware's buffer of steps.
constexpr int BandScanMaxSamples = 10000;

bool Hex8(std::span<const std::uint8_t> digits, std::uint32_t& value) {
    return digits.size() == 8 && ParseHex(digits, value);
}

std::string Hex(std::uint32_t word) {
    char buf[12];
    std::snprintf(buf, sizeof buf, "%08X", word);
    return buf;
}

} // namespace

std::string Printable(std::span<const std::uint8_t> bytes, std::size_t limit) {
    std::string out;
    char buf[8];
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const std::uint8_t b = bytes[i];
        if (b >= 0x20 && b < 0x7F && b != '<') {
            out.push_back(static_cast<char>(b));
        } else {
            std::snprintf(buf, sizeof buf, "<%02X>", b);
            out += buf;
        }
    }
    if (bytes.size() > limit) {
        out += "... (" + std::to_string(bytes.size()) + " bytes)";
    }
    return out;
}

Instrument::Instrument(UnitConfig cfg) : config(std::move(cfg)), rng_(config.seed) {
    dut = *ParseDut("open");
    for (int k = 1; k <= 6; ++k) {
        // Each channel's line a little longer and lossier than the one before.
        mux[static_cast<std::size_t>(k)] = MuxPath{-0.5 * (k - 1), -15.0 * (k - 1), 0.4 * (k - 1)};
    }
    loadFlash();
}

std::string Instrument::versionText() const {
    std::string text = config.model + " ver " + config.firmware;
    if (config.serialNumber > 0) {
        text += " sn=" + std::to_string(config.serialNumber);
    }
    if (config.tempSensor) {
        text += " temp";
    }
    if (config.flash) {
        text += " flash";
    }
    if (config.maxBaud115) {
        text += " maxbaud115";
    }
    return text + " cpuclk=20mhz dds=400mhz@";
}

bool Instrument::popOutput(std::uint8_t& byte) {
    if (output_.empty()) {
        return false;
    }
    byte = output_.front();
    output_.pop_front();
    return true;
}

void Instrument::note(const std::string& what) {
    if (log) {
        log(what);
    }
}

void Instrument::powerOn(double now) {
    const long commands = state_.commands;
    state_ = State{};
    state_.commands = commands;
    powered_ = true;
    mode_ = Mode::Commands;
    pending_.clear();
    lastActivity_ = now;
    note("power on");
}

void Instrument::setBaud(int baud) {
    state_.baud = baud;
    note("line speed now " + std::to_string(baud));
}

void Instrument::powerOff() {
    // Bytes still in the receive buffer are dropped by receive(), which may be the caller.
    powered_ = false;
    note("power off");
}

void Instrument::checkIdle(double now) {
    if (powered_ && state_.autoOff && now - lastActivity_ > config.autoOffSeconds) {
        note("auto power-off after " + std::to_string(static_cast<int>(now - lastActivity_)) + " s idle");
        powerOff();
    }
}

void Instrument::receive(std::span<const std::uint8_t> bytes, double now, int hostBaud) {
    if (!powered_ || bytes.empty()) {
        pending_.clear();
        return;
    }
    if (hostBaud > 0 && std::abs(hostBaud - state_.baud) > BaudTolerance * state_.baud) {
        state_.droppedBytes += static_cast<long>(bytes.size());
        pending_.clear();
        note("garbled at " + std::to_string(hostBaud) + " baud (unit at " + std::to_string(state_.baud) +
             "): " + Printable(bytes));
        return;
    }
    lastActivity_ = now;
    if (!pending_.empty() && now - lastByteAt_ > InterByteTimeout && mode_ == Mode::Commands) {
        note("abandoned partial command " + Printable(pending_));
        state_.protocolErrors++;
        pending_.clear();
    }
    lastByteAt_ = now;
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());

    for (;;) {
        std::size_t used = 0;
        switch (mode_) {
            case Mode::Commands: {
                const int length = CommandLength(pending_);
                if (length < 0) {
                    state_.protocolErrors++;
                    note("unknown command byte " + Printable(std::span(pending_).first(1)));
                    used = 1;
                    break;
                }
                if (length == 0 || pending_.size() < static_cast<std::size_t>(length)) {
                    return;
                }
                used = static_cast<std::size_t>(length);
                execute(std::span(pending_).first(used));
                if (!powered_) {
                    pending_.clear(); // switched off by this command: the rest is lost
                    return;
                }
                break;
            }
            case Mode::SweepSetup: {
                if (pending_.size() < SweepGeneratorSetupTail) {
                    return;
                }
                auto& sg = state_.sweepGenerator;
                const std::span<const std::uint8_t, SweepGeneratorSetupTail> tail(pending_.data(),
                                                                                  SweepGeneratorSetupTail);
                note("<- " + Printable(tail, SweepGeneratorSetupTail));
                const auto words = DecodeSweepGeneratorTail(sg.start, tail);
                sg.armed = words.has_value();
                if (words) {
                    sg.stop = words->stop;
                    sg.step = words->step;
                    sg.markers = words->markers;
                    sg.settling = words->settling;
                    note("sweep generator set-up: start=" + Hex(sg.start) + " stop=" + Hex(sg.stop) +
                         " step=" + Hex(sg.step) + " markers=" + Hex(sg.markers[0]) + "," +
                         Hex(sg.markers[1]) + "," + Hex(sg.markers[2]) + "," + Hex(sg.markers[3]) +
                         " settling=" + std::to_string(sg.settling));
                } else {
                    state_.protocolErrors++;
                    note("sweep generator set-up damaged");
                }
                used = SweepGeneratorSetupTail;
                mode_ = Mode::Commands;
                break;
            }
            case Mode::SweepRunning: {
                // Running on its own until one byte and "Z3" arrive.
                static constexpr std::uint8_t Stop[] = {'Z', '3'};
                const auto it =
                    std::search(pending_.begin(), pending_.end(), std::begin(Stop), std::end(Stop));
                if (it == pending_.end()) {
                    if (pending_.size() > 1) {
                        pending_.erase(pending_.begin(), pending_.end() - 1);
                    }
                    return;
                }
                used = static_cast<std::size_t>(it - pending_.begin()) + 2;
                note("<- " + Printable(std::span(pending_).first(used)));
                state_.sweepGenerator.running = false;
                mode_ = Mode::Commands;
                note("sweep generator stopped");
                break;
            }
            case Mode::BandSetup: {
                if (pending_.size() < BandScanSetupTail) {
                    return;
                }
                const std::span<const std::uint8_t, BandScanSetupTail> tail(pending_.data(),
                                                                            BandScanSetupTail);
                used = BandScanSetupTail;
                note("<- " + Printable(tail));
                const auto words = DecodeBandScanTail(bandStart_, tail);
                if (!words) {
                    state_.protocolErrors++;
                    note("band scan set-up damaged");
                    mode_ = Mode::Commands;
                    state_.bandScan = false;
                    break;
                }
                bandEnd_ = words->end;
                bandStep_ = words->step;
                mode_ = Mode::BandStreaming;
                bandWord_ = bandStart_;
                bandSamples_ = 0;
                bandBroken_ = false;
                note("band scan started: start=" + Hex(bandStart_) + " end=" + Hex(bandEnd_) +
                     " step=" + Hex(bandStep_));
                bandScanNext();
                break;
            }
            case Mode::BandStreaming:
            case Mode::BandLeaving: {
                if (pending_.empty()) {
                    return;
                }
                const std::uint8_t b = pending_[0];
                used = 1;
                if (b == BandScanAck && mode_ == Mode::BandStreaming) {
                    note("band ack " + std::to_string(bandSamples_));
                    bandScanNext();
                } else if (b == BandScanLeave) {
                    if (mode_ == Mode::BandStreaming) {
                        note("band scan left after " + std::to_string(bandSamples_) + " levels");
                    }
                    mode_ = Mode::BandLeaving;
                    state_.bandScan = false;
                } else if (mode_ == Mode::BandLeaving) {
                    mode_ = Mode::Commands;
                    used = 0; // the next command begins here
                } else {
                    // A scan takes nothing but its acknowledges and the leave bytes.
                    state_.protocolErrors++;
                    note("band scan: stray byte " + Printable(std::span(pending_).first(1)));
                }
                break;
            }
        }
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(used));
    }
}

void Instrument::execute(std::span<const std::uint8_t> c) {
    state_.commands++;
    if (log) {
        note("<- " + Printable(c));
    }
    std::uint32_t word = 0;
    switch (c[0]) {
        case 'U':
        case 'T':
            if (!Hex8(c.subspan(2, 8), word)) {
                state_.protocolErrors++;
                return;
            }
            state_.ddsDelay = c[1] - 1;
            measure(c[0] == 'T', word);
            return;
        case 'G':
            if (Hex8(c.subspan(1, 8), word)) {
                state_.tuningWord = word;
            } else {
                state_.protocolErrors++;
            }
            return;
        case 'R':
            sendReading(lastFrame_);
            return;
        case 'K':
            if (c[1] >= 40 && c[1] <= 43) {
                state_.relay0 = (c[1] - 40) & 1;
                state_.relay1 = (c[1] - 40) & 2;
            } else if (c[1] >= 168 && c[1] <= 171) {
                state_.bank2 = c[1] - 168;
            } else {
                state_.protocolErrors++;
            }
            return;
        case 'M':
            if (ParseHex(c.subspan(1, 4), word) && word <= 1023) {
                state_.amplitudeWord = static_cast<int>(word);
            } else {
                state_.protocolErrors++;
            }
            return;
        case 'J':
            state_.averaging = AveragingCountOfCode(c[1]);
            return;
        case 'A':
            state_.optionA = c[1] / 64;
            state_.gainA = (c[1] % 64) / 4;
            state_.sensA = c[1] % 4;
            state_.gainB = c[2] / 4;
            state_.sensB = c[2] % 4;
            return;
        case 'D':
            state_.autoOff = c[1] == '1';
            return;
        case 'C':
            if (c[1] == 5 && !faults.stuckBaud) {
                state_.baud = HighBaud;
                note("line speed now " + std::to_string(HighBaud));
            }
            return;
        case 'L': {
            state_.expansion = {c[3] - 1, c[2] - 1, c[1] - 1};
            const int reg1 = state_.expansion[1];
            if (const int wanted = reg1 & 7; (faults.muxRefuse & (1 << wanted)) == 0) {
                state_.muxChannel = wanted;
            } else if (wanted != state_.muxChannel) {
                note("MUX refused channel " + std::to_string(wanted));
            }
            const int value = (reg1 & 0x80) ? static_cast<int>(std::lround(env.analogVolts * 4096 / 3.3))
                                            : env.digitalInput;
            sendWord(static_cast<std::uint16_t>(std::clamp(value, 0, 65535)));
            return;
        }
        case 'Q':
            if (c[1] == 97 && c[2] == 229) {
                powerOff();
            } else {
                state_.protocolErrors++;
            }
            return;
        case 'V': {
            const std::string text = versionText();
            send({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
            return;
        }
        case 'B':
            sendWord(SupplyWordOfVolts(faults.lowSupplyVolts > 0 ? faults.lowSupplyVolts : env.supplyVolts));
            return;
        case 'Y':
            if (std::equal(SweepStartCode.begin(), SweepStartCode.end(), c.begin() + 1)) {
                state_.sweepStarts++;
            } else {
                state_.protocolErrors++;
            }
            return;
        case 'N':
            if (!Hex8(c.subspan(1, 8), bandStart_)) {
                state_.protocolErrors++;
                return;
            }
            state_.bandScan = true;
            mode_ = Mode::BandSetup;
            return;
        case 'Z':
            break;
        default:
            state_.protocolErrors++;
            return;
    }
    switch (c[1]) {
        case '2':
            if (state_.sweepGenerator.armed) {
                state_.sweepGenerator.armed = false;
                state_.sweepGenerator.running = true;
                mode_ = Mode::SweepRunning;
                note("sweep generator running");
            } else {
                state_.syncPulses++;
            }
            return;
        case '3':
            return; // a stop with no sweep running
        case 'T':
            if (config.tempSensor) {
                sendWord(TemperatureWordOfF(env.temperatureF));
            }
            return;
        case 'A':
            if (!Hex8(c.subspan(2, 8), state_.sweepGenerator.start)) {
                state_.protocolErrors++;
                return;
            }
            mode_ = Mode::SweepSetup;
            return;
        case 'R': {
            if (!config.flash || faults.noFlash || !ParseHex(c.subspan(3, 4), word)) {
                return;
            }
            const int count = c[2] - 64;
            for (int i = 0; i < count; ++i) {
                const auto it = flash.find(static_cast<std::uint16_t>(word + static_cast<std::uint32_t>(i)));
                sendWord(it == flash.end() ? 0xFFFF : it->second);
            }
            return;
        }
        case 'W': {
            const int count = c[2] - 64;
            if (!config.flash || faults.noFlash || !ParseHex(c.subspan(4, 4), word)) {
                return;
            }
            for (int i = 0; i < count; ++i) {
                std::uint32_t value = 0;
                if (!ParseHex(c.subspan(8 + 4 * static_cast<std::size_t>(i), 4), value)) {
                    state_.protocolErrors++;
                    return;
                }
                flash[static_cast<std::uint16_t>(word + static_cast<std::uint32_t>(i))] =
                    static_cast<std::uint16_t>(value);
            }
            saveFlash();
            const std::uint8_t ack = FlashWriteAck;
            send({&ack, 1});
            return;
        }
        default:
            state_.protocolErrors++;
            return;
    }
}

void Instrument::measure(bool portB, std::uint32_t word) {
    if (faults.silenceAfter == 0) {
        faults.silence = true;
        faults.silenceAfter = -1;
    } else if (faults.silenceAfter > 0) {
        --faults.silenceAfter;
    }
    state_.tuningWord = word;
    state_.measurements++;
    const double f = frontEnd.FrequencyHz(word);
    PointSignal signal;
    signal.portB = portB;
    signal.reference = faults.referenceLoss ? 0 : frontEnd.ReferenceAmplitude(f, state_.amplitudeWord);
    if (!portB) {
        // With the Port A relay open the bridge sees nothing but its own strays.
        const Complex z = state_.relay0 ? PortAImpedance(dut, f) : Complex(1e15);
        const Complex raw = frontEnd.bridge.Raw(z, f);
        signal.load = signal.reference * FrontEnd::PortAGain(state_.gainA, state_.sensA) * 50 / std::abs(raw);
        signal.phaseDiff = std::arg(raw);
    } else {
        Complex path = (state_.relay0 && state_.relay1) ? Transmission(dut, f) : Complex(0);
        if (muxFitted) {
            const int channel = state_.muxChannel;
            if (channel < 1 || channel > 6) {
                path = 0;
            } else {
                const MuxPath& m = mux[static_cast<std::size_t>(channel)];
                const double deg = m.deg - 360 * f * m.ns * 1e-9;
                path *= std::polar(std::pow(10.0, m.db / 20), deg * std::numbers::pi / 180);
            }
        }
        // Crosstalk inside the instrument, rising with frequency; it sets the isolation floor.
        path += std::polar(std::pow(10.0, frontEnd.leakageDb / 20) * std::max(f / 1e6, 1.0),
                           std::numbers::pi / 2);
        const int gain = faults.stuckGainStep > 1 && state_.gainB == faults.stuckGainStep ? state_.gainB - 1
                                                                                          : state_.gainB;
        const Complex h = path * frontEnd.PortBGain(gain, state_.sensB, f);
        signal.load = signal.reference * std::abs(h);
        signal.phaseDiff = std::arg(h);
    }
    if (faults.weakReferenceDb > 0) {
        signal.reference *= std::pow(10.0, -faults.weakReferenceDb / 20);
    }
    ConverterFaults cf;
    cf.deadAdc = faults.deadAdc;
    cf.overload = faults.overload;
    const auto adc = SynthesizeAdc(signal, state_.averaging, frontEnd.noiseLsb, cf, rng_);
    lastFrame_ = EncodeRawReading(word, adc);
    sendReading(lastFrame_);
}

void Instrument::sendReading(const RawReadingFrame& frame) {
    RawReadingFrame out = frame;
    if (faults.badChecksum > 0) {
        faults.badChecksum--;
        out[71] ^= 0x5A;
    }
    std::size_t length = out.size();
    if (faults.truncateTo >= 0 && faults.truncateCount != 0) {
        length = std::min<std::size_t>(length, static_cast<std::size_t>(faults.truncateTo));
        if (faults.truncateCount > 0) {
            faults.truncateCount--;
        }
    }
    send({out.data(), length});
}

void Instrument::sendWord(std::uint16_t w) {
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(w >> 8), static_cast<std::uint8_t>(w)};
    send(b);
}

void Instrument::send(std::span<const std::uint8_t> bytes) {
    if (faults.silence) {
        note("-> (silent)");
        return;
    }
    output_.insert(output_.end(), bytes.begin(), bytes.end());
    for (int i = 0; i < faults.extraBytes; ++i) {
        output_.push_back(0xA5);
    }
    if (log) {
        note("-> " + Printable(bytes));
    }
}

double Instrument::bandLevel(double fHz) {
    // The band scan shows the Port A detector level of one reading.
    const Complex z = state_.relay0 || state_.relay1 ? PortAImpedance(dut, fHz) : Complex(1e15);
    const Complex raw = frontEnd.bridge.Raw(z, fHz);
    const double reference = frontEnd.ReferenceAmplitude(fHz, state_.amplitudeWord);
    std::normal_distribution<double> gauss(0.0, frontEnd.noiseLsb);
    const double level =
        reference * FrontEnd::PortAGain(state_.gainA, state_.sensA) * 50 / std::abs(raw) + gauss(rng_);
    return std::clamp(level, 0.0, 30000.0);
}

void Instrument::bandScanNext() {
    if (faults.bandBreakAfter >= 0 && bandSamples_ >= faults.bandBreakAfter) {
        // The high byte of one more level, then nothing until the leave bytes.
        if (!bandBroken_) {
            bandBroken_ = true;
            const std::uint8_t high = 0x01;
            send({&high, 1});
            note("band scan broke off after " + std::to_string(bandSamples_) + " levels");
        }
        return;
    }
    const bool pastEnd = bandWord_ > bandEnd_;
    if ((pastEnd || bandSamples_ >= BandScanMaxSamples) && !faults.bandEndless) {
        sendWord(BandScanEndMarker);
        mode_ = Mode::BandStreaming; // waits for the leave bytes
        bandWord_ = std::uint64_t{bandEnd_} + 1;
        note("band end marker after " + std::to_string(bandSamples_) + " levels");
        return;
    }
    if (pastEnd) {
        bandWord_ = bandStart_; // no end marker: round and round
    }
    const double f = frontEnd.FrequencyHz(static_cast<std::uint32_t>(bandWord_));
    const auto level = static_cast<std::uint16_t>(std::lround(bandLevel(f)));
    sendWord(level);
    bandWord_ += bandStep_;
    bandSamples_++;
    note("band level " + std::to_string(bandSamples_ - 1) + ": " + std::to_string(level));
}

void Instrument::loadFlash() {
    if (config.flashFile.empty()) {
        return;
    }
    std::ifstream in(config.flashFile);
    unsigned address = 0;
    unsigned value = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (std::sscanf(line.c_str(), "%x %x", &address, &value) == 2 && address <= 0xFFFF &&
            value <= 0xFFFF) {
            flash[static_cast<std::uint16_t>(address)] = static_cast<std::uint16_t>(value);
        }
    }
}

void Instrument::writeFlash(std::uint16_t address, std::span<const std::uint16_t> words) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        flash[static_cast<std::uint16_t>(address + i)] = words[i];
    }
    saveFlash();
}

void Instrument::saveFlash() const {
    if (config.flashFile.empty()) {
        return;
    }
    // Written beside and renamed over, so a crash never leaves the unit with half a flash.
    const std::string temp = config.flashFile + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        char buf[32];
        for (const auto& [address, value] : flash) {
            std::snprintf(buf, sizeof buf, "%04X %04X\n", address, value);
            out << buf;
        }
        if (!out) {
            return;
        }
    }
    std::rename(temp.c_str(), config.flashFile.c_str());
}

std::string Instrument::status() const {
    std::ostringstream s;
    const State& st = state_;
    s << "power=" << (powered_ ? "on" : "off") << " baud=" << st.baud << "\n";
    s << "dut=" << dut.text << (muxFitted ? " mux=on channel=" + std::to_string(st.muxChannel) : "") << "\n";
    s << "relays=" << st.relay0 << st.relay1 << " bank2=" << st.bank2 << " gainA=" << st.gainA
      << " sensA=" << st.sensA << " gainB=" << st.gainB << " sensB=" << st.sensB
      << " averaging=" << st.averaging << " amplitude=" << st.amplitudeWord << " autooff=" << st.autoOff
      << "\n";
    s << "frequency=" << frontEnd.FrequencyHz(st.tuningWord) / 1e6 << "MHz expansion=" << st.expansion[2]
      << "," << st.expansion[1] << "," << st.expansion[0]
      << " sweepgen=" << (st.sweepGenerator.running ? "running" : "off") << " bandscan=" << st.bandScan
      << "\n";
    s << "temp=" << env.temperatureF << "F supply=" << env.supplyVolts << "V\n";
    s << "commands=" << st.commands << " measurements=" << st.measurements << " sweeps=" << st.sweepStarts
      << " sync=" << st.syncPulses << " errors=" << st.protocolErrors << " dropped=" << st.droppedBytes
      << "\n";
    s << "faults:";
    if (faults.silence) {
        s << " silence";
    }
    if (faults.truncateTo >= 0 && faults.truncateCount != 0) {
        s << " truncate=" << faults.truncateTo;
    }
    if (faults.badChecksum > 0) {
        s << " badsum=" << faults.badChecksum;
    }
    if (faults.referenceLoss) {
        s << " refloss";
    }
    if (faults.deadAdc) {
        s << " deadadc";
    }
    if (faults.overload) {
        s << " overload";
    }
    if (faults.stuckBaud) {
        s << " stuckbaud";
    }
    if (faults.extraBytes > 0) {
        s << " extra=" << faults.extraBytes;
    }
    if (faults.bandEndless) {
        s << " bandendless";
    }
    if (faults.bandBreakAfter >= 0) {
        s << " bandbreak=" << faults.bandBreakAfter;
    }
    if (faults.weakReferenceDb > 0) {
        s << " weakref=" << faults.weakReferenceDb;
    }
    if (faults.stuckGainStep > 0) {
        s << " stuckgain=" << faults.stuckGainStep;
    }
    if (faults.lowSupplyVolts > 0) {
        s << " lowsupply=" << faults.lowSupplyVolts;
    }
    if (faults.noFlash) {
        s << " noflash";
    }
    s << "\n";
    return s.str();
}

} // namespace vna::sim
