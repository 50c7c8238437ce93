#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/fake/fake_clock.h"
#include "platform/serial_port.h"

namespace vna::test {

// A serial port whose far end is a script: every write is recorded, and `answer` (when set)
// returns the bytes that become readable after it. Bytes can also be queued directly. Empty reads
// are counted, so tests can check the budgets.
class ScriptedSerialPort final : public platform::SerialPort {
public:
    std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>& command)> answer;
    std::vector<std::vector<std::uint8_t>> writes;
    std::deque<std::uint8_t> pending;
    std::vector<std::string> opened; // "device@baud"
    bool openSucceeds = true;
    bool settingsAccepted = true;
    bool gone = false; // the device vanished: reads fail
    int emptyReads = 0;
    int discards = 0;

    // With a clock, queued bytes can be given the tick at which they arrive (see queueAt).
    platform::fake::FakeClock* clock = nullptr;
    std::deque<std::uint32_t> readyAt;

    void queue(const std::vector<std::uint8_t>& bytes) {
        for (std::uint8_t b : bytes) {
            pending.push_back(b);
            readyAt.push_back(0);
        }
    }
    // Bytes that arrive `firstMs` after now and then one every `spacingMs`.
    void queueAt(const std::vector<std::uint8_t>& bytes, std::uint32_t firstMs, std::uint32_t spacingMs) {
        std::uint32_t t = clock->ticks + firstMs;
        for (std::uint8_t b : bytes) {
            pending.push_back(b);
            readyAt.push_back(t);
            t += spacingMs;
        }
    }
    // All bytes written, concatenated.
    std::vector<std::uint8_t> allWritten() const {
        std::vector<std::uint8_t> all;
        for (const auto& w : writes) {
            all.insert(all.end(), w.begin(), w.end());
        }
        return all;
    }
    // The written commands as text (binary bytes as they are).
    std::vector<std::string> writtenTexts() const {
        std::vector<std::string> out;
        for (const auto& w : writes) {
            out.emplace_back(w.begin(), w.end());
        }
        return out;
    }

    bool open(const std::string& device, int baudRate) override {
        opened.push_back(device + "@" + std::to_string(baudRate));
        open_ = openSucceeds;
        return open_;
    }
    bool isOpen() const override { return open_; }
    void close() override { open_ = false; }
    bool setRts(bool) override { return false; }
    int write(std::span<const std::uint8_t> bytes) override {
        if (!open_) {
            return 0;
        }
        writes.emplace_back(bytes.begin(), bytes.end());
        if (answer) {
            queue(answer(writes.back()));
        }
        return static_cast<int>(bytes.size());
    }
    int readByte(std::uint8_t& byte) override {
        if (gone || !open_) {
            ++emptyReads;
            return -1;
        }
        if (pending.empty() || (clock && static_cast<std::int32_t>(clock->ticks - readyAt.front()) < 0)) {
            ++emptyReads;
            return 0;
        }
        byte = pending.front();
        pending.pop_front();
        readyAt.pop_front();
        return 1;
    }
    std::string errorText() const override { return ""; }
    bool lineSettingsApplied() const override { return settingsAccepted; }
    void discardInput() override {
        ++discards;
        pending.clear();
        readyAt.clear();
    }

private:
    bool open_ = false;
};

} // namespace vna::test
