#include "platform/posix/posix_serial_port.h"

#include "platform/posix/serial_devices.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace vna::platform::posix {

namespace {

// The empty-read rule: a read with nothing waiting gives up after this long.
constexpr int EmptyReadMs = 1;
// A command is a few bytes; a device that has not taken them in this time is stuck.
constexpr int WriteTimeoutMs = 200;
// A wait for the rest of a reply is capped: a device that stops sending is then found by the
// ordinary empty reads.
constexpr double MaxRestWaitSeconds = 0.05;

std::string Why(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

double MonotonicSeconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void SleepUntil(double seconds) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>((seconds - static_cast<double>(ts.tv_sec)) * 1e9);
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

bool ApplyLineSettings(int fd, int baud) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        return false;
    }
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return ::tcsetattr(fd, TCSANOW, &t) == 0 && SetTerminalSpeed(fd, baud);
}

} // namespace

PosixSerialPort::~PosixSerialPort() {
    close();
}

bool PosixSerialPort::open(const std::string& device, int baudRate) {
    close();
    gone_ = false;
    error_.clear();
    baud_ = baudRate > 0 ? baudRate : 57600;
    problem_ = {};
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        problem_ = ProblemOfOpenError(device, errno);
        error_ = Why("cannot open " + device);
        return false;
    }
    // For this program alone: another program (or another copy of this one) must not talk to the
    // instrument in between.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        problem_ = ProblemOfOpenError(device, EBUSY);
        error_ = Why(device + " is in use");
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    // A regular file or anything else without line settings opens, but no instrument answers there.
    if (!::isatty(fd_)) {
        problem_ = ProblemOfOpenError(device, ENOTTY);
        error_ = device + " is not a serial device";
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    ::ioctl(fd_, TIOCEXCL);
    // The settings are applied twice: some adapters take the speed only on the second try.
    bool ok = true;
    for (int attempt = 0; attempt < 2; ++attempt) {
        ok = ApplyLineSettings(fd_, baud_);
    }
    settingsApplied_ = ok;
    if (!ok) {
        error_ = Why("the line settings of " + device + " were refused");
    }
    return true;
}

std::vector<SerialDeviceInfo> PosixSerialPort::presentDevices() const {
    return ListUsbSerialDevices();
}

void PosixSerialPort::close() {
    start_ = end_ = 0;
    expected_ = 0;
    replyDoneEarliest_ = 0;
    if (fd_ >= 0) {
        // The exclusive mode outlives the descriptor while the device stays open elsewhere.
        ::ioctl(fd_, TIOCNXCL);
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }
}

bool PosixSerialPort::setRts(bool on) {
    if (fd_ < 0) {
        return false;
    }
    int bits = TIOCM_RTS;
    // A pseudo-terminal has no modem lines and refuses; the link works all the same.
    return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

int PosixSerialPort::write(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0 || gone_) {
        return 0;
    }
    std::size_t done = 0;
    const double deadline = MonotonicSeconds() + WriteTimeoutMs / 1000.0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            error_ = Why("write failed");
            break;
        }
        const double left = deadline - MonotonicSeconds();
        pollfd pfd{fd_, POLLOUT, 0};
        if (left <= 0 || ::poll(&pfd, 1, static_cast<int>(left * 1000) + 1) <= 0) {
            error_ = "the device takes no more bytes";
            break;
        }
    }
    lastWriteAt_ = MonotonicSeconds();
    lastWriteBytes_ = done;
    return static_cast<int>(done);
}

void PosixSerialPort::expectBytes(std::size_t count) {
    expected_ = count;
    replyDoneEarliest_ = lastWriteAt_ + static_cast<double>(lastWriteBytes_ + count) * 10.0 / baud_;
}

int PosixSerialPort::fill() {
    start_ = end_ = 0;
    // A reply that cannot have crossed the line yet is not looked for: one wake-up when it can be
    // complete costs far less than one for every fragment the adapter delivers.
    if (expected_ > 0 && replyDoneEarliest_ > 0) {
        const double now = MonotonicSeconds();
        if (replyDoneEarliest_ > now) {
            SleepUntil(std::min(replyDoneEarliest_, now + MaxRestWaitSeconds));
        }
        replyDoneEarliest_ = 0;
    }
    auto readMore = [&]() -> int {
        const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
        if (n > 0) {
            end_ = static_cast<std::size_t>(n);
            return 1;
        }
        // A terminal in raw mode answers "nothing there" with 0 or EAGAIN; a hang-up (adapter
        // unplugged, simulator gone) with an error such as EIO.
        return n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR ? -1 : 0;
    };
    int r = readMore();
    if (r != 0) {
        return r;
    }
    pollfd pfd{fd_, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, EmptyReadMs);
    if (ready == 0) {
        return 0;
    }
    if (ready < 0) {
        return errno == EINTR ? 0 : -1;
    }
    r = readMore();
    if (r == 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        return -1;
    }
    // A reply that began later than the line alone explains (the instrument was still measuring)
    // is now on its way at the line rate: wait for the line time of what is still missing.
    if (r > 0 && expected_ > end_ && end_ < buffer_.size()) {
        const double rest =
            std::min(static_cast<double>(expected_ - end_) * 10.0 / baud_, MaxRestWaitSeconds);
        SleepUntil(MonotonicSeconds() + rest);
        const ssize_t n = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
        if (n > 0) {
            end_ += static_cast<std::size_t>(n);
        }
    }
    return r;
}

int PosixSerialPort::readByte(std::uint8_t& byte) {
    if (fd_ < 0 || gone_) {
        return -1;
    }
    if (start_ >= end_) {
        const int r = fill();
        if (r < 0) {
            error_ = "the device is gone";
            gone_ = true;
            return -1;
        }
        if (r == 0) {
            return 0;
        }
    }
    byte = buffer_[start_++];
    expected_ -= expected_ > 0 ? 1 : 0;
    return 1;
}

void PosixSerialPort::discardInput() {
    start_ = end_ = 0;
    expected_ = 0;
    if (fd_ >= 0) {
        ::tcflush(fd_, TCIFLUSH);
    }
}

} // namespace vna::platform::posix
