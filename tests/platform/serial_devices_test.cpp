// What the system tells about serial devices: the USB ones present, and why one cannot be opened.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/posix/posix_serial_port.h"
#include "platform/posix/pseudo_terminal.h"
#include "platform/posix/serial_devices.h"
#include "support/test_rig.h"

using namespace vna;
using platform::OpenFailure;
namespace fs = std::filesystem;

TEST(SerialDevices, UsbSerialDevicesAreListedWithWhatTheSystemKnowsOfThem) {
    test::TempDir root;
    const std::string dev = root.file("dev");
    const std::string sys = root.file("sys");
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "tty1"}) {
        fs::create_directories(dev);
        test::WriteFile(dev + "/" + name, "");
    }
    // An FTDI adapter: the tty's device is the port below the USB interface, the ids two folders up.
    const std::string usb = sys + "/devices/pci0/usb1/1-2";
    fs::create_directories(usb + "/1-2:1.0/ttyUSB2");
    test::WriteFile(usb + "/idVendor", "0403\n");
    test::WriteFile(usb + "/idProduct", "6001\n");
    test::WriteFile(usb + "/manufacturer", "FTDI\n");
    test::WriteFile(usb + "/product", "FT232R USB UART\n");
    fs::create_directories(sys + "/class/tty/ttyUSB2");
    fs::create_symlink(usb + "/1-2:1.0/ttyUSB2", sys + "/class/tty/ttyUSB2/device");

    const auto list = platform::posix::ListUsbSerialDevices(dev, sys);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].path, dev + "/ttyACM0");
    EXPECT_EQ(list[1].path, dev + "/ttyUSB2");
    EXPECT_EQ(list[2].path, dev + "/ttyUSB10"); // by number, not by text
    EXPECT_EQ(list[1].vendorId, "0403");
    EXPECT_EQ(list[1].productId, "6001");
    EXPECT_EQ(list[1].manufacturer, "FTDI");
    EXPECT_EQ(list[1].product, "FT232R USB UART");
    EXPECT_EQ(list[0].vendorId, ""); // nothing known of it
    EXPECT_TRUE(platform::posix::ListUsbSerialDevices(root.file("none"), sys).empty());
}

namespace {

// A group other than the user's own that may use the device, as dialout does on Debian.
gid_t DeviceGroupId() {
    const group* g = ::getgrnam("dialout");
    return g ? g->gr_gid : 0;
}

// Runs `f` as an unprivileged user: root may open anything, so as root it runs in a child process
// that has dropped to "nobody". Its answer, or why it could not run.
std::string AsOrdinaryUser(const std::function<std::string()>& f) {
    if (::getuid() != 0) {
        return f();
    }
    int fds[2];
    if (::pipe(fds) != 0) {
        return "no pipe";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        const bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
        const std::string answer = dropped ? f() : "could not drop privileges";
        const ssize_t written = ::write(fds[1], answer.data(), answer.size());
        ::_exit(written == static_cast<ssize_t>(answer.size()) ? 0 : 1);
    }
    ::close(fds[1]);
    std::string answer;
    char buffer[256];
    ssize_t n = 0;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) {
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    return answer;
}

} // namespace

TEST(SerialDevices, EachReasonADeviceCannotBeOpenedIsTold) {
    test::TempDir dir;
    platform::posix::PosixSerialPort port;

    EXPECT_FALSE(port.open(dir.file("ttyUSB7"), 57600));
    EXPECT_EQ(port.openProblem().kind, OpenFailure::Missing);
    EXPECT_EQ(port.openProblem().systemText, "No such file or directory");

    EXPECT_FALSE(port.open(dir.path(), 57600));
    EXPECT_EQ(port.openProblem().kind, OpenFailure::NotADevice);
    EXPECT_EQ(port.openProblem().what, "a folder");

    test::WriteFile(dir.file("plain file"), "not a device");
    EXPECT_FALSE(port.open(dir.file("plain file"), 57600));
    EXPECT_EQ(port.openProblem().kind, OpenFailure::NotADevice);
    EXPECT_EQ(port.openProblem().what, "a regular file");
    EXPECT_FALSE(port.isOpen());

    // A device another program holds (here another descriptor of this one).
    platform::posix::PseudoTerminal pty;
    std::string error;
    ASSERT_TRUE(pty.create(&error)) << error;
    platform::posix::PosixSerialPort holder;
    ASSERT_TRUE(holder.open(pty.slavePath(), 57600)) << holder.errorText();
    EXPECT_FALSE(port.open(pty.slavePath(), 57600));
    EXPECT_EQ(port.openProblem().kind, OpenFailure::InUse);
    EXPECT_EQ(platform::posix::ProbeDevice(pty.slavePath()).kind, OpenFailure::InUse);
    holder.close();
    EXPECT_TRUE(port.open(pty.slavePath(), 57600)) << port.errorText();
    EXPECT_EQ(port.openProblem().kind, OpenFailure::None);
    port.close();

    // A device this user may not open: the group that may is named (when its mode lets a group in).
    const std::string locked = dir.file("ttyLocked");
    test::WriteFile(locked, "");
    if (::getuid() == 0) {
        ASSERT_EQ(::chown(locked.c_str(), 0, DeviceGroupId()), 0);
    }
    ASSERT_EQ(::chmod(locked.c_str(), ::getuid() == 0 ? 0660 : 0), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const std::string answer = AsOrdinaryUser([&locked] {
        platform::posix::PosixSerialPort p;
        const bool opened = p.open(locked, 57600);
        const platform::OpenProblem problem = p.openProblem();
        return std::string(opened ? "opened" : "refused") + "|" +
               (problem.kind == OpenFailure::Permission ? "permission" : "other") + "|" + problem.group;
    });
    const group* g = ::getgrgid(DeviceGroupId());
    EXPECT_EQ(answer, std::string("refused|permission|") + (::getuid() == 0 && g ? g->gr_name : ""));
}
