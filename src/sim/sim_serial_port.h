#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "platform/serial_port.h"
#include "sim/instrument_model.h"

// The simulated instrument behind the program's serial-port port, in the same process: what the
// procedure tests run against. Replies are readable as soon as the command is written.
namespace vna::sim {

class SimSerialPort final : public platform::SerialPort {
public:
    explicit SimSerialPort(UnitConfig config = {}) : unit(std::move(config)) {}

    Instrument unit;
    bool unplugged = false; // the adapter is gone: opens fail, reads and writes fail
    int opens = 0;
    int emptyReads = 0;

    bool open(const std::string& device, int baudRate) override;
    bool isOpen() const override { return open_; }
    void close() override { open_ = false; }
    bool setRts(bool) override { return open_ && !unplugged; }
    int write(std::span<const std::uint8_t> bytes) override;
    int readByte(std::uint8_t& byte) override;
    std::string errorText() const override {
        return unplugged ? "device unplugged" : (open_ ? "" : "not open");
    }
    // An unplugged adapter is a device that is not there.
    platform::OpenProblem openProblem() const override {
        if (!unplugged) {
            return {};
        }
        return {platform::OpenFailure::Missing, "No such file or directory", {}, {}};
    }
    // The USB serial devices the system would list.
    std::vector<platform::SerialDeviceInfo> devices;
    std::vector<platform::SerialDeviceInfo> presentDevices() const override { return devices; }
    void discardInput() override;

    // The bytes exchanged, one line per write or per run of bytes read: "-> U<03>0666..." and
    // "<- ..." (from the program's side). For the failure messages of the tests.
    std::string transcript() const;
    void clearTranscript() { log_.clear(); }

private:
    double now() const;
    void record(char direction, std::uint8_t byte);

    bool open_ = false;
    int baud_ = 0;
    std::vector<std::pair<char, std::vector<std::uint8_t>>> log_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace vna::sim
