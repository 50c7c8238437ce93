#include "instrument/link_log.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "core/program.h"
#include "instrument/protocol.h"

namespace vna::instrument {

namespace {

using core::LinkEventKind;

std::string Printable(const std::uint8_t* bytes, int length, int total) {
    std::string out;
    char buf[8];
    for (int i = 0; i < length; ++i) {
        const std::uint8_t b = bytes[i];
        if (b >= 0x20 && b < 0x7F && b != '<') {
            out.push_back(static_cast<char>(b));
        } else {
            std::snprintf(buf, sizeof buf, "<%02X>", b);
            out += buf;
        }
    }
    if (total > length) {
        out += "...";
    }
    return out;
}

std::string Mhz(std::uint32_t word, double oscMHz) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.6f MHz", word * oscMHz / 4294967296.0);
    return buf;
}

bool Hex(const std::uint8_t* bytes, int length, int from, int digits, std::uint32_t& value) {
    return from + digits <= length && ParseHex({bytes + from, static_cast<std::size_t>(digits)}, value);
}

// The amplitude of one channel of a raw reading (the one-bin transform of its 16 samples).
double Amplitude(const RawReading& r, int first) {
    double s = 0;
    double c = 0;
    for (int k = 0; k < SamplesPerChannel; ++k) {
        const double a = 2 * std::numbers::pi * k / SamplesPerChannel;
        s += r.adc[static_cast<std::size_t>(first + k)] * std::sin(a);
        c += r.adc[static_cast<std::size_t>(first + k)] * std::cos(a);
    }
    return std::hypot(s, c) * 2 / SamplesPerChannel;
}

std::string DescribeReply(const LinkLogEntry& e, double oscMHz) {
    char buf[160];
    const std::uint8_t* b = e.bytes.data();
    const char c0 = static_cast<char>(e.command[0]);
    const char c1 = static_cast<char>(e.command[1]);
    if (e.length == static_cast<int>(RawReadingBytes)) {
        const std::span<const std::uint8_t, RawReadingBytes> frame(e.bytes.data(), RawReadingBytes);
        const RawReading r = DecodeRawReading(frame);
        const bool sumOk = RawChecksum(frame) == r.checksum;
        std::snprintf(buf, sizeof buf, "reading at %s: ref %.1f load %.1f%s, checksum %s",
                      Mhz(r.tuningWord, oscMHz).c_str(), Amplitude(r, SamplesPerChannel), Amplitude(r, 0),
                      r.adc[32] ? ", OVERLOAD word" : "", sumOk ? "ok" : "WRONG");
        return buf;
    }
    if (e.length == 2) {
        const std::uint16_t w = Word16(b[0], b[1]);
        if (c0 == 'Z' && c1 == 'R') {
            std::snprintf(buf, sizeof buf, "flash word %04X", w);
        } else if (c0 == 'Z' && c1 == 'T') {
            std::snprintf(buf, sizeof buf, "temperature %.1f degF", TemperatureFOfWord(w));
        } else if (c0 == 'B') {
            std::snprintf(buf, sizeof buf, "supply %.2f V", SupplyVoltsOfWord(w));
        } else if (c0 == 'L') {
            std::snprintf(buf, sizeof buf, "expansion port 0x%04X", w);
        } else {
            std::snprintf(buf, sizeof buf, "word 0x%04X", w);
        }
        return buf;
    }
    if (c0 == 'Z' && c1 == 'R' && e.length % 2 == 0) {
        std::string words = "flash";
        for (int i = 0; i + 1 < e.length; i += 2) {
            std::snprintf(buf, sizeof buf, " %04X", Word16(b[i], b[i + 1]));
            words += buf;
        }
        return words;
    }
    if (c0 == 'Z' && c1 == 'W' && e.length == 1) {
        return b[0] == FlashWriteAck ? "flash written" : "flash write NOT acknowledged";
    }
    return {};
}

} // namespace

std::string DescribeCommand(const std::uint8_t* b, int n, double oscMHz) {
    if (n < 1) {
        return {};
    }
    std::uint32_t v = 0;
    char buf[96];
    switch (static_cast<char>(b[0])) {
        case 'U':
        case 'T':
            if (Hex(b, n, 2, 8, v)) {
                return std::string("measure Port ") + (b[0] == 'T' ? "B" : "A") + " at " + Mhz(v, oscMHz);
            }
            break;
        case 'G':
            if (Hex(b, n, 1, 8, v)) {
                return "frequency " + Mhz(v, oscMHz);
            }
            break;
        case 'R':
            return "repeat the last reading";
        case 'K':
            if (n >= 2 && b[1] >= 168) {
                return "relay bank 2: " + std::to_string(b[1] - 168);
            }
            if (n >= 2 && b[1] >= 40) {
                return "relays " + std::to_string((b[1] - 40) & 1) + std::to_string(((b[1] - 40) >> 1) & 1);
            }
            break;
        case 'M':
            if (Hex(b, n, 1, 4, v)) {
                std::snprintf(buf, sizeof buf, "amplitude %.1f %%", v * 100.0 / 1023);
                return buf;
            }
            break;
        case 'J':
            if (n >= 2) {
                return "averaging " + std::to_string(AveragingCountOfCode(b[1]));
            }
            break;
        case 'A':
            if (n >= 3) {
                std::snprintf(buf, sizeof buf, "gains: A gain %d sens %d option %d, B gain %d sens %d",
                              (b[1] % 64) / 4, b[1] % 4, b[1] / 64, b[2] / 4, b[2] % 4);
                return buf;
            }
            break;
        case 'D':
            return n >= 2 && b[1] == '1' ? "auto power-off on" : "auto power-off off";
        case 'C':
            return "high line speed";
        case 'L':
            if (n >= 4) {
                std::snprintf(buf, sizeof buf, "expansion port: channel %d%s", (b[2] - 1) & 7,
                              ((b[2] - 1) & 0x80) ? ", analog" : "");
                return buf;
            }
            break;
        case 'Q':
            return "POWER OFF";
        case 'V':
            return "version";
        case 'B':
            return "supply voltage";
        case 'Y':
            return "sweep start";
        case 'N':
            return "band scan";
        case 'Z':
            if (n >= 2) {
                switch (static_cast<char>(b[1])) {
                    case '2':
                        return "sync pulse / start";
                    case '3':
                        return "stop";
                    case 'T':
                        return "temperature";
                    case 'A':
                        return "sweep generator set-up";
                    case 'R':
                        if (n >= 7 && Hex(b, n, 3, 4, v)) {
                            return "flash read " + std::to_string(b[2] - 64) + " words at " +
                                   std::to_string(v);
                        }
                        break;
                    case 'W':
                        if (n >= 8 && Hex(b, n, 4, 4, v)) {
                            return "flash write " + std::to_string(b[2] - 64) + " words at " +
                                   std::to_string(v);
                        }
                        break;
                    default:
                        break;
                }
            }
            break;
        default:
            break;
    }
    return {};
}

std::string FormatLinkEntry(const LinkLogEntry& e, std::uint32_t startTick, double oscMHz) {
    char head[32];
    std::snprintf(head, sizeof head, "%9.3f s  ", (e.tickMs - startTick) / 1000.0);
    std::string line = head;
    const std::string bytes = Printable(e.bytes.data(), e.length, e.total);
    switch (e.kind) {
        case LinkEventKind::Command: {
            line += "-> " + bytes;
            const std::string what = DescribeCommand(e.bytes.data(), e.length, oscMHz);
            if (!what.empty()) {
                line += "   " + what;
            }
            return line;
        }
        case LinkEventKind::Reply: {
            line += "<- " + std::to_string(e.total) + " bytes in " + std::to_string(e.sinceCommandMs) + " ms";
            const std::string what = DescribeReply(e, oscMHz);
            return line + (what.empty() ? ": " + bytes : ": " + what);
        }
        case LinkEventKind::TextReply:
            return line + "<- \"" + bytes + "\" in " + std::to_string(e.sinceCommandMs) + " ms" +
                   (e.emptyReads ? "" : ", NOT terminated");
        case LinkEventKind::Timeout:
            return line + "<- TIME-OUT: " + std::to_string(e.total) + " of " + std::to_string(e.count) +
                   " bytes after " + std::to_string(e.emptyReads) + " empty reads, " +
                   std::to_string(e.sinceCommandMs) + " ms";
        case LinkEventKind::ChecksumRetry: {
            std::string sums;
            if (e.length == static_cast<int>(RawReadingBytes)) {
                const std::span<const std::uint8_t, RawReadingBytes> frame(e.bytes.data(), RawReadingBytes);
                char buf[64];
                std::snprintf(buf, sizeof buf, " (sent %04X, computed %04X)",
                              Word16(e.bytes[70], e.bytes[71]), RawChecksum(frame));
                sums = buf;
            }
            return line + "!! checksum WRONG" + sums + ": resend " + std::to_string(e.count);
        }
    }
    return line;
}

LinkLog::LinkLog(const core::Program& p, std::size_t capacity)
    : p_(p), ring_(std::max<std::size_t>(capacity, 1)) {}

void LinkLog::linkEvent(const core::LinkEvent& event) {
    if (!started_) {
        started_ = true;
        startTick_ = event.tickMs;
    }
    const std::size_t slot = (first_ + count_) % ring_.size();
    if (count_ == ring_.size()) {
        first_ = (first_ + 1) % ring_.size();
    } else {
        ++count_;
    }
    ++seen_;
    LinkLogEntry& e = ring_[slot];
    e.kind = event.kind;
    e.total = static_cast<int>(event.bytes.size());
    e.length = std::min(e.total, static_cast<int>(e.bytes.size()));
    std::copy_n(event.bytes.begin(), e.length, e.bytes.begin());
    e.count = event.count;
    e.emptyReads = event.emptyReads;
    e.tickMs = event.tickMs;
    if (event.kind == LinkEventKind::Command) {
        lastCommand_ = {e.length > 0 ? e.bytes[0] : std::uint8_t{0},
                        e.length > 1 ? e.bytes[1] : std::uint8_t{0}};
        lastCommandTick_ = event.tickMs;
    }
    e.command = lastCommand_;
    e.sinceCommandMs = event.tickMs - lastCommandTick_;
    added();
}

const LinkLogEntry& LinkLog::entry(std::size_t i) const {
    return ring_[(first_ + i) % ring_.size()];
}

std::string LinkLog::line(std::size_t i) const {
    return FormatLinkEntry(entry(i), startTick_, p_.st.osc_freq);
}

std::vector<std::string> LinkLog::lines() const {
    std::vector<std::string> out;
    if (seen_ > count_) {
        out.push_back("(" + std::to_string(seen_ - count_) + " earlier events not kept)");
    }
    for (std::size_t i = 0; i < count_; ++i) {
        out.push_back(line(i));
    }
    return out;
}

void LinkLog::clear() {
    first_ = 0;
    count_ = 0;
    seen_ = 0;
}

} // namespace vna::instrument
