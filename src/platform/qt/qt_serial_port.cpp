#include "platform/qt/qt_serial_port.h"

#include <QSerialPort>
#include <algorithm>

#ifndef _WIN32
#include <cerrno>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <sys/prctl.h>
#endif
#ifndef _WIN32
#include <sys/file.h>

#include "platform/posix/serial_devices.h"
#endif

namespace vna::platform::qt {

namespace {

// The empty-read rule: a read with nothing waiting gives up after this long.
constexpr int EmptyReadMs = 1;
// Once a reply has begun, the wait for the rest of it is capped: a device that stops sending is
// then found by the ordinary empty reads.
constexpr double MaxRestWaitSeconds = 0.05;
// Bound of the learnt lateness of replies.
constexpr double MaxReplyLateness = 0.0005;
// A command is a few bytes; if the driver has not taken them within this time, the device is stuck.
constexpr int WriteTimeoutMs = 200;

#ifndef _WIN32
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
#endif

// Why the toolkit could not open the device. Its error is only a summary (a missing lock file, a
// busy device and a device without permission all come as permission errors), so the device is
// looked at directly where the system allows.
OpenProblem ProblemOf(const std::string& device, QSerialPort::SerialPortError error,
                      const std::string& text) {
#ifndef _WIN32
    OpenProblem p = posix::ProbeDevice(device);
    if (p.kind != OpenFailure::None) {
        return p;
    }
    // The device itself opens: what stopped the toolkit is the lock file another program holds.
    p.kind = error == QSerialPort::PermissionError ? OpenFailure::InUse : OpenFailure::Other;
    p.systemText = text;
    return p;
#else
    OpenProblem p;
    p.systemText = text;
    switch (error) {
        case QSerialPort::DeviceNotFoundError:
            p.kind = OpenFailure::Missing;
            break;
        case QSerialPort::PermissionError:
            p.kind = OpenFailure::InUse; // Windows refuses a port another program has open this way
            break;
        default:
            p.kind = OpenFailure::Other;
            break;
    }
    return p;
#endif
}

} // namespace

QtSerialPort::QtSerialPort() : port_(std::make_unique<QSerialPort>()) {}

QtSerialPort::~QtSerialPort() {
    close();
}

bool QtSerialPort::open(const std::string& device, int baudRate) {
    close();
    gone_ = false;
    baud_ = baudRate > 0 ? baudRate : 57600;
#ifdef __linux__
    // The reply waits below are timed to the line; the default timer slack of 50 us would add
    // that much to every point of a sweep.
    ::prctl(PR_SET_TIMERSLACK, 1000UL);
#endif
    problem_ = {};
    port_->setPortName(QString::fromStdString(device));
    if (!port_->open(QIODevice::ReadWrite)) {
        error_ = port_->errorString().toStdString();
        problem_ = ProblemOf(device, port_->error(), error_);
        port_->clearError();
        return false;
    }
#ifndef _WIN32
    // The lock the programs without the toolkit take (libvnactl): as root the toolkit's exclusive
    // mode does not keep them out, and two programs must never talk to the instrument at once.
    if (::flock(static_cast<int>(port_->handle()), LOCK_EX | LOCK_NB) != 0) {
        problem_ = posix::ProblemOfOpenError(device, EBUSY);
        error_ = device + " is in use";
        port_->close();
        return false;
    }
#endif
    // The settings are applied twice: some adapters take the speed only on the second try.
    bool ok = true;
    for (int attempt = 0; attempt < 2; ++attempt) {
        ok = port_->setBaudRate(baudRate) && port_->setDataBits(QSerialPort::Data8) &&
             port_->setParity(QSerialPort::NoParity) && port_->setStopBits(QSerialPort::OneStop);
    }
    settingsApplied_ = ok;
    if (!ok) {
        error_ = port_->errorString().toStdString();
    }
    port_->clearError();
    return true;
}

bool QtSerialPort::isOpen() const {
    return port_->isOpen();
}

void QtSerialPort::close() {
    bufferStart_ = bufferEnd_ = 0;
    expected_ = 0;
    if (port_->isOpen()) {
#ifndef _WIN32
        ::flock(static_cast<int>(port_->handle()), LOCK_UN);
#endif
        port_->close();
    }
}

std::vector<SerialDeviceInfo> QtSerialPort::presentDevices() const {
#ifndef _WIN32
    return posix::ListUsbSerialDevices();
#else
    return {};
#endif
}

bool QtSerialPort::setRts(bool on) {
    if (!port_->isOpen()) {
        return false;
    }
    // A pseudo-terminal has no modem lines and refuses; the link works all the same.
    const bool ok = port_->setRequestToSend(on);
    port_->clearError();
    return ok;
}

void QtSerialPort::expectBytes(std::size_t count) {
    expected_ = count;
    replyDoneEarliest_ = lastWriteAt_ + static_cast<double>(lastWriteBytes_ + count) * 10.0 / baud_;
}

#ifndef _WIN32

int QtSerialPort::write(std::span<const std::uint8_t> bytes) {
    if (!port_->isOpen() || gone_) {
        return 0;
    }
    // Straight to the descriptor: Qt never has anything queued here, since every write completes
    // before the next one.
    const int fd = static_cast<int>(port_->handle());
    std::size_t done = 0;
    const double deadline = MonotonicSeconds() + WriteTimeoutMs / 1000.0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            error_ = std::string("write failed: ") + std::strerror(errno);
            break;
        }
        const double left = deadline - MonotonicSeconds();
        pollfd pfd{fd, POLLOUT, 0};
        if (left <= 0 || ::poll(&pfd, 1, static_cast<int>(left * 1000) + 1) <= 0) {
            error_ = "the device takes no more bytes";
            break;
        }
    }
    lastWriteAt_ = MonotonicSeconds();
    lastWriteBytes_ = done;
    return static_cast<int>(done);
}

// Reads what the device has into the buffer, waiting up to the empty-read time when it has
// nothing: 1 with bytes, 0 for an empty read, -1 when the device is gone.
int QtSerialPort::fillFromDevice() {
    const int fd = static_cast<int>(port_->handle());
    bufferStart_ = bufferEnd_ = 0;
    // A reply that cannot have crossed the line yet is not looked for: one wake-up at the moment
    // it can be complete costs far less than one for every fragment the adapter delivers.
    bool firstLook = false;
    if (expected_ > 0 && replyDoneEarliest_ > 0) {
        const double now = MonotonicSeconds();
        const double target = replyDoneEarliest_ + replyLateness_;
        if (target > now) {
            SleepUntil(std::min(target, now + MaxRestWaitSeconds));
        }
        firstLook = true;
        lookedAt_ = 0;
    }
    replyDoneEarliest_ = 0;
    auto readMore = [&]() -> int {
        const ssize_t n = ::read(fd, buffer_.data() + bufferEnd_, buffer_.size() - bufferEnd_);
        if (n > 0) {
            bufferEnd_ += static_cast<std::size_t>(n);
            return 1;
        }
        // A terminal in raw mode answers "nothing there" with 0 or EAGAIN; a hang-up (adapter
        // unplugged, simulator gone) with an error such as EIO.
        return n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR ? -1 : 0;
    };
    int r = readMore();
    bool late = false;
    if (r == 0) {
        pollfd pfd{fd, POLLIN, 0};
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
        late = true;
    }
    if (r <= 0) {
        return r;
    }
    if (firstLook) {
        if (bufferEnd_ < expected_) {
            lookedAt_ = MonotonicSeconds();
        } else {
            // Complete at the first look: perhaps the pause was longer than it needed to be.
            replyLateness_ *= 0.97;
        }
    } else if (lookedAt_ > 0 && bufferEnd_ >= expected_) {
        const double extra = std::min(MonotonicSeconds() - lookedAt_, MaxReplyLateness);
        replyLateness_ = std::min(replyLateness_ + (extra - replyLateness_) * 0.25, MaxReplyLateness);
        lookedAt_ = 0;
    }
    // A reply that began later than the line alone explains (the instrument was still measuring)
    // is now on its way at the line rate: wait for the line time of what is still missing rather
    // than waking for every fragment.
    if (late && expected_ > bufferEnd_ && bufferEnd_ < buffer_.size()) {
        const double rest =
            std::min(static_cast<double>(expected_ - bufferEnd_) * 10.0 / baud_, MaxRestWaitSeconds);
        SleepUntil(MonotonicSeconds() + rest);
        readMore();
    }
    return 1;
}

int QtSerialPort::readByte(std::uint8_t& byte) {
    if (!port_->isOpen() || gone_) {
        return -1;
    }
    if (bufferStart_ >= bufferEnd_) {
        // Whatever Qt read while the window's event loop ran comes first.
        if (port_->bytesAvailable() > 0) {
            char c = 0;
            if (port_->getChar(&c)) {
                byte = static_cast<std::uint8_t>(c);
                expected_ -= expected_ > 0 ? 1 : 0;
                return 1;
            }
        }
        const int r = fillFromDevice();
        if (r < 0) {
            error_ = "the device is gone";
            gone_ = true;
            return -1;
        }
        if (r == 0) {
            return 0;
        }
    }
    byte = buffer_[bufferStart_++];
    expected_ -= expected_ > 0 ? 1 : 0;
    return 1;
}

void QtSerialPort::discardInput() {
    bufferStart_ = bufferEnd_ = 0;
    expected_ = 0;
    if (port_->isOpen()) {
        if (port_->bytesAvailable() > 0) {
            port_->readAll();
        }
        ::tcflush(static_cast<int>(port_->handle()), TCIFLUSH);
    }
}

#else // Windows: Qt's own waits.

int QtSerialPort::write(std::span<const std::uint8_t> bytes) {
    if (!port_->isOpen() || gone_) {
        return 0;
    }
    const qint64 n =
        port_->write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    if (n < 0) {
        error_ = port_->errorString().toStdString();
        port_->clearError();
        return 0;
    }
    // The program runs no event loop while it talks to the instrument: push the bytes out now.
    port_->flush();
    if (port_->bytesToWrite() > 0 && !port_->waitForBytesWritten(WriteTimeoutMs)) {
        error_ = port_->errorString().toStdString();
        port_->clearError();
        return static_cast<int>(n - port_->bytesToWrite());
    }
    return static_cast<int>(n);
}

int QtSerialPort::fillFromDevice() {
    return 0;
}

int QtSerialPort::readByte(std::uint8_t& byte) {
    if (!port_->isOpen() || gone_) {
        return -1;
    }
    if (port_->bytesAvailable() == 0 && !port_->waitForReadyRead(EmptyReadMs)) {
        const QSerialPort::SerialPortError e = port_->error();
        if (e == QSerialPort::ResourceError || e == QSerialPort::PermissionError) {
            // The adapter was unplugged.
            error_ = port_->errorString().toStdString();
            gone_ = true;
            port_->clearError();
            return -1;
        }
        port_->clearError();
        return 0;
    }
    char c = 0;
    if (!port_->getChar(&c)) {
        return 0;
    }
    byte = static_cast<std::uint8_t>(c);
    return 1;
}

void QtSerialPort::discardInput() {
    if (port_->isOpen()) {
        port_->clear(QSerialPort::Input);
    }
}

#endif

} // namespace vna::platform::qt
