#include "sim/sim_serial_port.h"

namespace vna::sim {

namespace {
// Enough for the exchanges of a failing test; a long sweep keeps only its beginning.
constexpr std::size_t MaxTranscript = 400;
} // namespace

double SimSerialPort::now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

bool SimSerialPort::open(const std::string&, int baudRate) {
    ++opens;
    open_ = !unplugged;
    baud_ = baudRate;
    return open_;
}

void SimSerialPort::record(char direction, std::uint8_t byte) {
    if (log_.empty() || log_.back().first != direction) {
        if (log_.size() >= MaxTranscript) {
            return;
        }
        log_.push_back({direction, {}});
    }
    log_.back().second.push_back(byte);
}

int SimSerialPort::write(std::span<const std::uint8_t> bytes) {
    if (!open_ || unplugged) {
        return 0;
    }
    if (log_.size() < MaxTranscript) {
        log_.push_back({'>', {bytes.begin(), bytes.end()}});
    }
    unit.receive(bytes, now(), baud_);
    return static_cast<int>(bytes.size());
}

int SimSerialPort::readByte(std::uint8_t& byte) {
    if (!open_ || unplugged) {
        ++emptyReads;
        return -1;
    }
    if (!unit.popOutput(byte)) {
        ++emptyReads;
        return 0;
    }
    record('<', byte);
    return 1;
}

void SimSerialPort::discardInput() {
    unit.clearOutput();
}

std::string SimSerialPort::transcript() const {
    std::string out;
    for (const auto& [direction, bytes] : log_) {
        out += direction == '>' ? "-> " : "<- ";
        out += Printable(bytes, 80);
        out += "\n";
    }
    return out;
}

} // namespace vna::sim
