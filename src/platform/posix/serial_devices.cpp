#include "platform/posix/serial_devices.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace vna::platform::posix {

namespace fs = std::filesystem;

namespace {

// The group that may read and write the device, when its mode gives the group that right.
std::string DeviceGroup(const std::string& device) {
    struct stat s {};
    if (::stat(device.c_str(), &s) != 0 || (s.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) {
        return {};
    }
    std::vector<char> buffer(4096);
    group g{};
    group* found = nullptr;
    if (::getgrgid_r(s.st_gid, &g, buffer.data(), buffer.size(), &found) != 0 || !found) {
        return {};
    }
    return found->gr_name;
}

OpenProblem NotADevice(std::string what) {
    OpenProblem p;
    p.kind = OpenFailure::NotADevice;
    p.what = std::move(what);
    p.systemText = std::strerror(ENOTTY);
    return p;
}

// What a path that exists is, when it is plainly no device.
std::string PlainlyNoDevice(const std::string& device) {
    struct stat s {};
    if (::stat(device.c_str(), &s) != 0) {
        return {};
    }
    if (S_ISDIR(s.st_mode)) {
        return "a folder";
    }
    if (S_ISREG(s.st_mode)) {
        return "a regular file";
    }
    return {};
}

std::string ReadFirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

// ttyUSB10 after ttyUSB9: by the name's prefix, then by its number.
bool DeviceOrder(const SerialDeviceInfo& a, const SerialDeviceInfo& b) {
    auto split = [](const std::string& path) {
        const std::string name = fs::path(path).filename().string();
        const auto digits = name.find_first_of("0123456789");
        const std::string prefix = name.substr(0, digits);
        const long number =
            digits == std::string::npos ? -1 : std::strtol(name.c_str() + digits, nullptr, 10);
        return std::make_pair(prefix, number);
    };
    return split(a.path) < split(b.path);
}

} // namespace

OpenProblem ProblemOfOpenError(const std::string& device, int error) {
    OpenProblem p;
    p.systemText = std::strerror(error);
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            p.kind = OpenFailure::Missing;
            break;
        case EACCES:
        case EPERM:
        case EROFS:
            p.kind = OpenFailure::Permission;
            p.group = DeviceGroup(device);
            break;
        case EBUSY:
        case EWOULDBLOCK:
            p.kind = OpenFailure::InUse;
            break;
        case EISDIR:
            p = NotADevice("a folder");
            p.systemText = std::strerror(error);
            break;
        case ENOTTY: {
            const std::string plain = PlainlyNoDevice(device);
            p = NotADevice(plain.empty() ? "no serial line" : plain);
            break;
        }
        default:
            p.kind = OpenFailure::Other;
            break;
    }
    return p;
}

OpenProblem ProbeDevice(const std::string& device) {
    const std::string plain = PlainlyNoDevice(device);
    if (!plain.empty()) {
        return NotADevice(plain);
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return ProblemOfOpenError(device, errno);
    }
    OpenProblem p;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        p = ProblemOfOpenError(device, errno == EWOULDBLOCK ? EBUSY : errno);
    } else if (!::isatty(fd)) {
        p = NotADevice("no serial line");
    } else {
        ::flock(fd, LOCK_UN);
    }
    ::close(fd);
    return p;
}

std::vector<SerialDeviceInfo> ListUsbSerialDevices(const std::string& devRoot, const std::string& sysRoot) {
    std::vector<SerialDeviceInfo> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(devRoot, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("ttyUSB", 0) != 0 && name.rfind("ttyACM", 0) != 0) {
            continue;
        }
        SerialDeviceInfo d;
        d.path = entry.path().string();
        // The tty's device is the USB interface (or a port below it); the USB device that carries
        // the ids is one or two folders further up.
        fs::path at = fs::canonical(fs::path(sysRoot) / "class" / "tty" / name / "device", ec);
        for (int up = 0; !ec && up < 4 && !at.empty() && at != at.root_path(); ++up, at = at.parent_path()) {
            if (fs::exists(at / "idVendor", ec)) {
                d.vendorId = ReadFirstLine(at / "idVendor");
                d.productId = ReadFirstLine(at / "idProduct");
                d.manufacturer = ReadFirstLine(at / "manufacturer");
                d.product = ReadFirstLine(at / "product");
                break;
            }
        }
        ec.clear();
        out.push_back(std::move(d));
    }
    std::sort(out.begin(), out.end(), DeviceOrder);
    return out;
}

} // namespace vna::platform::posix
