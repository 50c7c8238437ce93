#include "sim/sim_server.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "sim/control.h"

namespace vna::sim {

namespace {

// A line of the control protocol is short; anything longer is not from vna-sim ctl.
constexpr std::size_t MaxControlLine = 4096;

bool FillAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

} // namespace

Server::Server(Instrument& unit, ServerOptions options) : unit_(unit), options_(std::move(options)) {
    if (options_.log) {
        unit_.log = [this](const std::string& line) {
            std::fprintf(stderr, "%10.4f %s\n", now(), line.c_str());
        };
    }
}

Server::~Server() {
    if (listen_ >= 0) {
        ::close(listen_);
        ::unlink(controlPath().c_str());
    }
    if (!options_.link.empty()) {
        ::unlink(options_.link.c_str());
    }
}

double Server::now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool Server::plug(std::string* error) {
    if (!pty_.create(error)) {
        return false;
    }
    return platform::posix::ReplaceSymlink(options_.link, pty_.slavePath(), error);
}

bool Server::start(std::string* error) {
#ifdef __linux__
    // Pacing needs wake-ups within a few microseconds of their time, not the default 50.
    ::prctl(PR_SET_TIMERSLACK, 1000UL);
#endif
    if (!plug(error)) {
        return false;
    }
    sockaddr_un address{};
    if (!FillAddress(controlPath(), address)) {
        *error = "the control path " + controlPath() + " is too long for a socket";
        return false;
    }
    ::unlink(controlPath().c_str());
    listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listen_, 4) != 0) {
        *error = "cannot listen on " + controlPath() + ": " + std::strerror(errno);
        return false;
    }
    unit_.powerOn(now());
    return true;
}

void Server::readFromProgram(double t) {
    std::uint8_t buffer[512];
    for (;;) {
        const ssize_t n = ::read(pty_.masterFd(), buffer, sizeof buffer);
        if (n <= 0) {
            return;
        }
        const int baud = unit_.baud();
        // The bytes take their time on the line; the reply cannot start before the last one is in.
        receivedUntil_ = std::max(receivedUntil_, t) + static_cast<double>(n) * 10.0 / baud;
        unit_.receive({buffer, static_cast<std::size_t>(n)}, t, pty_.hostBaud());
        queueReplies(t);
    }
}

void Server::queueReplies(double t) {
    std::uint8_t b = 0;
    const double byteTime = 10.0 / unit_.baud();
    while (unit_.popOutput(b)) {
        double due = t;
        if (options_.pace) {
            due = std::max(sendingUntil_, receivedUntil_) + byteTime;
            sendingUntil_ = due;
        }
        outgoing_.emplace_back(b, due);
    }
}

void Server::flushDue(double t) {
    std::vector<std::uint8_t> chunk;
    while (!outgoing_.empty() && outgoing_.front().second <= t) {
        chunk.push_back(outgoing_.front().first);
        outgoing_.pop_front();
    }
    std::size_t done = 0;
    while (done < chunk.size()) {
        const ssize_t n = ::write(pty_.masterFd(), chunk.data() + done, chunk.size() - done);
        if (n <= 0) {
            break; // the program is not reading; what did not fit waits for the next wake-up
        }
        done += static_cast<std::size_t>(n);
    }
    for (std::size_t i = chunk.size(); i > done; --i) {
        outgoing_.emplace_front(chunk[i - 1], t);
    }
    if (done > 0) {
        lastFlush_ = t;
    }
}

double Server::nextWake(double t) const {
    double wake = t + 0.1;
    if (!outgoing_.empty()) {
        const double first = outgoing_.front().second;
        const double last = outgoing_.back().second;
        // One delivery per frame, but the end of a reply exactly on time.
        wake = std::min(last, std::max(first, lastFlush_ + options_.frameSeconds));
        wake = std::max(wake, t);
    }
    return wake;
}

std::string Server::control(const std::string& line) {
    if (line == "unplug") {
        pty_.close();
        outgoing_.clear();
        return "ok";
    }
    if (line == "plug") {
        std::string error;
        return plug(&error) ? "ok" : "error: " + error;
    }
    return ApplyControl(unit_, line, now()).text;
}

void Server::serveControl() {
    const int client = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) {
        return;
    }
    // One line in, one answer out. The client is vna-sim ctl and writes its line at once.
    std::string line;
    char c = 0;
    pollfd pfd{client, POLLIN, 0};
    while (line.size() < MaxControlLine && ::poll(&pfd, 1, 1000) > 0 && ::read(client, &c, 1) == 1 &&
           c != '\n') {
        line.push_back(c);
    }
    const std::string answer = control(line) + "\n";
    [[maybe_unused]] const ssize_t n = ::write(client, answer.data(), answer.size());
    ::close(client);
}

void Server::run(const volatile bool& stop) {
    while (!stop) {
        const double t = now();
        flushDue(t);
        unit_.checkIdle(t);
        const double wake = std::min(nextWake(t), t + 0.1);
        // While unplugged the descriptor is -1, which poll skips; the control socket still works.
        pollfd fds[2] = {{pty_.masterFd(), POLLIN, 0}, {listen_, POLLIN, 0}};
        // Aim early by the usual lateness of a wake-up, so a paced byte leaves on time, not after it.
        double wait = std::max(0.0, wake - now() - (outgoing_.empty() ? 0.0 : wakeLateness_));
        if (options_.pace && outgoing_.empty() && t - lastFlush_ < options_.spinSeconds) {
            // The next command usually follows a reply within a fraction of a millisecond; a real
            // instrument sees it the moment it arrives, a sleeping process only after a wake-up.
            wait = 0;
        }
        timespec ts{static_cast<time_t>(wait), static_cast<long>((wait - static_cast<time_t>(wait)) * 1e9)};
        const int ready = ::ppoll(fds, 2, &ts, nullptr);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        const double after = now();
        if (ready == 0 && !outgoing_.empty()) {
            const double late = std::clamp(after - (wake - wakeLateness_), 0.0, 0.0005);
            wakeLateness_ += (late - wakeLateness_) * 0.1;
        }
        if (options_.pace && !outgoing_.empty() && outgoing_.front().second > after) {
            // Woke early on purpose: the last few microseconds are spent here rather than risked.
            while (now() < std::min(wake, after + 0.0002)) {
            }
        }
        if (ready > 0 && pty_.isOpen() && (fds[0].revents & POLLIN)) {
            readFromProgram(after);
        }
        if (ready > 0 && (fds[1].revents & POLLIN)) {
            serveControl();
        }
        if (!options_.pace) {
            flushDue(after);
        }
    }
}

bool SendControl(const std::string& controlPath, const std::string& line, std::string& answer) {
    sockaddr_un address{};
    if (!FillAddress(controlPath, address)) {
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return false;
    }
    const std::string out = line + "\n";
    if (::write(fd, out.data(), out.size()) != static_cast<ssize_t>(out.size())) {
        ::close(fd);
        return false;
    }
    char buffer[1024];
    ssize_t n = 0;
    answer.clear();
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    while (!answer.empty() && answer.back() == '\n') {
        answer.pop_back();
    }
    return true;
}

} // namespace vna::sim
