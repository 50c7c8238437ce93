#pragma once

#include <string>
#include <vector>

#include "platform/fake/event_log.h"
#include "platform/serial_port.h"

namespace vna::platform::fake {

// A serial port with nothing attached: it opens (unless told not to), takes every byte written
// and never answers. It stands for an adapter whose instrument is switched off.
class SilentSerialPort final : public SerialPort {
public:
    explicit SilentSerialPort(EventLog* log = nullptr) : log_(log) {}

    bool openSucceeds = true;
    std::vector<std::uint8_t> written;
    int opens = 0;

    bool open(const std::string& device, int baudRate) override {
        ++opens;
        if (log_) {
            log_->add("serial.open:" + device + "@" + std::to_string(baudRate));
        }
        open_ = openSucceeds;
        return open_;
    }
    bool isOpen() const override { return open_; }
    void close() override {
        if (log_) {
            log_->add("serial.close");
        }
        open_ = false;
    }
    bool setRts(bool) override { return false; }
    int write(std::span<const std::uint8_t> bytes) override {
        if (log_) {
            log_->add("serial.write:" + std::to_string(bytes.size()));
        }
        written.insert(written.end(), bytes.begin(), bytes.end());
        return open_ ? static_cast<int>(bytes.size()) : 0;
    }
    int readByte(std::uint8_t&) override { return open_ ? 0 : -1; }
    std::string errorText() const override { return open_ ? "" : "not open"; }

private:
    EventLog* log_;
    bool open_ = false;
};

} // namespace vna::platform::fake
