#include "platform/qt/qt_serial_port.h"

#include <QSerialPort>

namespace vna::platform::qt {

namespace {

// The empty-read rule: a read with nothing waiting gives up after this long.
constexpr int EmptyReadMs = 1;
// A command is a few bytes; if the driver has not taken them within this time, the device is stuck.
constexpr int WriteTimeoutMs = 200;

} // namespace

QtSerialPort::QtSerialPort() : port_(std::make_unique<QSerialPort>()) {}

QtSerialPort::~QtSerialPort() {
    close();
}

bool QtSerialPort::open(const std::string& device, int baudRate) {
    close();
    gone_ = false;
    port_->setPortName(QString::fromStdString(device));
    if (!port_->open(QIODevice::ReadWrite)) {
        error_ = port_->errorString().toStdString();
        port_->clearError();
        return false;
    }
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
    if (port_->isOpen()) {
        port_->close();
    }
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

int QtSerialPort::readByte(std::uint8_t& byte) {
    if (!port_->isOpen() || gone_) {
        return -1;
    }
    if (port_->bytesAvailable() == 0 && !port_->waitForReadyRead(EmptyReadMs)) {
        const QSerialPort::SerialPortError e = port_->error();
        if (e == QSerialPort::ResourceError || e == QSerialPort::PermissionError) {
            // The adapter was unplugged (or the simulator went away).
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
        port_->readAll();
    }
}

} // namespace vna::platform::qt
