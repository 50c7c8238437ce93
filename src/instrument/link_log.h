#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/link_monitor.h"

namespace vna::core {
struct Program;
}

// The log of the exchanges with the instrument that diagnostic mode shows: every command with its
// bytes and meaning, every reply with a summary of what it says and how long it took, time-outs
// and checksum resends. Events are kept as they came (a copy of their bytes) and turned into text
// only when a line is shown, so that watching costs a sweep next to nothing.
namespace vna::instrument {

// One event as the log keeps it.
struct LinkLogEntry {
    core::LinkEventKind kind = core::LinkEventKind::Command;
    // The first bytes of the event (a raw reading whole) and how many there were.
    std::array<std::uint8_t, 80> bytes{};
    int length = 0;
    int total = 0;
    int count = 0;
    int emptyReads = 0;
    std::uint32_t tickMs = 0;
    // Replies: the first two bytes of the command they answer and the ms since it was written.
    std::array<std::uint8_t, 2> command{};
    std::uint32_t sinceCommandMs = 0;
};

// What a command asks of the instrument, e.g. "measure Port A at 10.000000 MHz", "relays 11" or
// "flash read 4 words at 4096"; the DDS clock `oscMHz` turns tuning words into frequencies.
std::string DescribeCommand(const std::uint8_t* bytes, int length, double oscMHz);
// One line of the log: the time since `startTick` in seconds, the direction, the bytes (printable
// as they are, others as <hex>) and what they say.
std::string FormatLinkEntry(const LinkLogEntry& e, std::uint32_t startTick, double oscMHz);

class LinkLog : public core::LinkMonitor {
public:
    // Keeps the last `capacity` events; `p` gives the DDS clock for the descriptions.
    LinkLog(const core::Program& p, std::size_t capacity);

    void linkEvent(const core::LinkEvent& event) override;
    // The events kept, oldest first.
    std::size_t size() const { return count_; }
    const LinkLogEntry& entry(std::size_t i) const;
    std::string line(std::size_t i) const;
    // Every line kept, with a head line naming the events dropped before them.
    std::vector<std::string> lines() const;
    // The number of events ever seen.
    std::uint64_t seen() const { return seen_; }
    void clear();

protected:
    // Called after each event was kept (the newest is entry(size() - 1)).
    virtual void added() {}

private:
    const core::Program& p_;
    std::vector<LinkLogEntry> ring_;
    std::size_t first_ = 0;
    std::size_t count_ = 0;
    std::uint64_t seen_ = 0;
    std::uint32_t startTick_ = 0;
    bool started_ = false;
    std::array<std::uint8_t, 2> lastCommand_{};
    std::uint32_t lastCommandTick_ = 0;
};

// Asks for a text file (save dialog titled `title`, starting with `defaultName`) and writes the
// lines there with CR LF line ends, replacing an old file only when the new one is whole. False
// when cancelled or not written (with a message saying why).
bool SaveTextAs(core::Program& p, const std::string& title, const std::string& defaultName,
                const std::vector<std::string>& lines);

// The diagnostic monitor window: the log, newest line at the bottom, in `monitorTextColor`, with
// "Clear" and "Save Log" buttons. It opens beside the graph when diagnostic mode comes on and
// follows every exchange until it or diagnostic mode is closed. Nothing happens without windows.
void OpenLinkMonitor(core::Program& p);
void CloseLinkMonitor(core::Program& p);
// The program is about to wait for the user: the monitor draws the events of the last burst that
// it has not shown yet (it draws in batches, a few times a second).
void ShowPendingLinkEvents(core::Program& p);
// True while the monitor window is open.
bool LinkMonitorOpen(const core::Program& p);

} // namespace vna::instrument
