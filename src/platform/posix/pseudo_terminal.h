#pragma once

#include <string>

// A pseudo-terminal for the instrument simulator: the simulator holds the master side, the program
// opens the slave side like any serial device.
namespace vna::platform::posix {

class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Creates the pair in raw mode (no echo, no line editing, 8 bits) and keeps a slave descriptor
    // open, so that the master never sees a hang-up while the program closes and reopens its port.
    bool create(std::string* error);
    void close();
    bool isOpen() const { return master_ >= 0; }

    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }
    // The line speed the program set on its side, 0 when it cannot be told. Speeds the standard
    // table lacks (115000) are reported exactly.
    int hostBaud() const;

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

// Points `link` at `target`, replacing an older link (but never a file that is not a link).
bool ReplaceSymlink(const std::string& link, const std::string& target, std::string* error);

} // namespace vna::platform::posix
