#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>

#include "platform/posix/pseudo_terminal.h"
#include "sim/instrument_model.h"

// The simulator program's server: the unit on a pseudo-terminal, a stable link to it, a control
// socket beside the link, and the pacing of replies at the line rate.
namespace vna::sim {

struct ServerOptions {
    std::string link;            // symbolic link to the pseudo-terminal
    bool pace = false;           // replies at the real line rate of the unit's speed
    double frameSeconds = 0.001; // with pacing: bytes reach the program in frames of this length,
                                 // as a USB serial adapter delivers them; the last byte of a reply
                                 // arrives exactly when it has crossed the line
    bool log = false;            // protocol log on standard error
    // With pacing: how long after a reply the server keeps looking for the next command without
    // sleeping (a real instrument sees a command the moment it arrives, a sleeping process only
    // after its wake-up). Costs processor time on the simulator's side only.
    double spinSeconds = 0;
};

class Server {
public:
    Server(Instrument& unit, ServerOptions options);
    ~Server();

    // Creates the pseudo-terminal, the link and the control socket; false (with `error`) when one
    // of them cannot be made.
    bool start(std::string* error);
    // Serves until `stop` becomes true (checked at least every 100 ms).
    void run(const volatile bool& stop);
    const std::string& devicePath() const { return pty_.slavePath(); }
    std::string controlPath() const { return options_.link + ".ctl"; }

private:
    double now() const;
    void readFromProgram(double t);
    void queueReplies(double t);
    void flushDue(double t);
    double nextWake(double t) const;
    void serveControl();
    std::string control(const std::string& line);
    bool plug(std::string* error);

    Instrument& unit_;
    ServerOptions options_;
    platform::posix::PseudoTerminal pty_;
    int listen_ = -1;
    // Pacing: when the last received byte has crossed the line, when the line out is free, and
    // the bytes on their way with the moment each one has arrived.
    double receivedUntil_ = 0;
    double sendingUntil_ = 0;
    double lastFlush_ = 0;
    double wakeLateness_ = 0; // running mean of how late ppoll returns after its time-out
    std::deque<std::pair<std::uint8_t, double>> outgoing_;
};

// Sends one control line to a running simulator and returns its answer; false when there is no
// simulator at that control path.
bool SendControl(const std::string& controlPath, const std::string& line, std::string& answer);

} // namespace vna::sim
