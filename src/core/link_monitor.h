#pragma once

#include <cstdint>
#include <span>

// The observer of the exchanges with the instrument: the serial link reports every command it
// writes, every reply it reads (or waits for in vain) and every checksum resend to the one
// observer the program has, without knowing who listens. The diagnostic monitor window is one; a
// test can be another. With no observer the link pays one test of a pointer per event.
namespace vna::core {

enum class LinkEventKind {
    Command,       // bytes written
    Reply,         // a reply that arrived whole
    TextReply,     // a text reply (the version text), terminated or not
    Timeout,       // a reply that did not arrive whole within its budget
    ChecksumRetry, // a raw reading with a wrong checksum; `count` is the resend number
};

struct LinkEvent {
    LinkEventKind kind = LinkEventKind::Command;
    // The bytes written or received; only valid during the call.
    std::span<const std::uint8_t> bytes;
    // Reply and Timeout: the bytes awaited. ChecksumRetry: the resend number (1..).
    int count = 0;
    // Reply and Timeout: the empty reads spent waiting. TextReply: 1 when terminated.
    int emptyReads = 0;
    // The clock's tick when the event happened (ms).
    std::uint32_t tickMs = 0;
};

class LinkMonitor {
public:
    virtual ~LinkMonitor() = default;
    virtual void linkEvent(const LinkEvent& event) = 0;
};

} // namespace vna::core
