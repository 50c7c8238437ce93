// The serial link as a user meets it: why a device cannot be opened, and the progress line of
// vna-cli on a terminal.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/link_rig.h"
#include "app/process_support.h"
#include "commands/startup.h"
#include "instrument/serial_link.h"
#include "platform/posix/posix_serial_port.h"
#include "platform/posix/pseudo_terminal.h"

using namespace vna;
using test::Output;

TEST(SerialEndToEnd, EachReasonTheDeviceCannotBeOpenedReachesTheUser) {
    test::LinkRig rig;
    core::AppState& st = rig.st();
    const std::string folder = rig.dir.file("serial devices");
    std::filesystem::create_directories(folder);
    test::WriteFile(folder + "/plain.txt", "no device");
    platform::posix::PseudoTerminal pty;
    std::string error;
    ASSERT_TRUE(pty.create(&error)) << error;
    platform::posix::PosixSerialPort holder; // another program holding the device
    ASSERT_TRUE(holder.open(pty.slavePath(), 57600)) << holder.errorText();

    const std::vector<std::pair<std::string, std::string>> cases = {
        {folder + "/ttyUSB9", folder +
                                  "/ttyUSB9 does not exist (No such file or directory): the adapter is "
                                  "not plugged in, or the instrument is on another device (vna-cli ports "
                                  "lists the serial devices present)."},
        {folder, folder + " is a folder, not a serial device."},
        {folder + "/plain.txt", folder + "/plain.txt is a regular file, not a serial device."},
        {pty.slavePath(), pty.slavePath() + " is in use by another program"},
    };
    for (const auto& [device, problem] : cases) {
        st.InstrumentPresent = 1;
        st.SerialDevice = device;
        instrument::OpenPort(rig.p());
        EXPECT_EQ(st.LinkOk, 0) << device;
        EXPECT_EQ(st.PortProblem.substr(0, problem.size()), problem);
        // The window's not-responding message names the device and says why.
        const std::string shown = commands::NotRespondingText(st);
        EXPECT_NE(shown.find("\r\n\r\nDevice tried: " + device + "\r\n" + problem), std::string::npos)
            << shown;
    }
    if (::getuid() != 0) {
        // (As root every device opens; the platform test drops privileges to check this case.)
        const std::string locked = folder + "/ttyLocked";
        test::WriteFile(locked, "");
        ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
        st.SerialDevice = locked;
        instrument::OpenPort(rig.p());
        EXPECT_EQ(st.PortProblem, "This user may not open " + locked +
                                      " (Permission denied). Ask the administrator for access to it.");
    }
    // Once the device opens, the problem is gone, and the message says nothing answered there.
    holder.close();
    st.SerialDevice = pty.slavePath();
    instrument::OpenPort(rig.p());
    EXPECT_EQ(st.LinkOk, 1);
    EXPECT_EQ(st.PortProblem, "");
    EXPECT_NE(commands::NotRespondingText(st).find("Device tried: " + pty.slavePath() +
                                                   " (it opened, but nothing answered)."),
              std::string::npos);
    instrument::ClosePort(rig.p());

    // vna-cli with a folder for a device: a clear message and a failure, no crash.
    const Output o =
        test::RunProgram({VNA_CLI_EXE, "--data-dir", rig.dir.file("data"), "--serial", folder, "identify"});
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_NE(o.err.find("vna-cli: error 10: the VNA is not responding: " + folder +
                         " is a folder, not a serial device."),
              std::string::npos)
        << o.err;
}

namespace {

// Runs a program with its standard error on a pseudo-terminal (as in a terminal window) and its
// standard output on a pipe.
Output RunWithErrorsOnATerminal(const std::vector<std::string>& args) {
    Output o;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master, 0);
    EXPECT_EQ(::grantpt(master), 0);
    EXPECT_EQ(::unlockpt(master), 0);
    const std::string slave = ::ptsname(master);
    int outPipe[2];
    EXPECT_EQ(::pipe(outPipe), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int terminal = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
        const int nothing = ::open("/dev/null", O_RDONLY);
        ::dup2(nothing, 0);
        ::dup2(outPipe[1], 1);
        ::dup2(terminal, 2);
        ::close(master);
        ::close(outPipe[0]);
        std::vector<std::string> copy = args;
        std::vector<char*> argv;
        for (auto& a : copy) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {master, POLLIN, 0}};
    int open = 2;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (open > 0 && std::chrono::steady_clock::now() < end) {
        if (::poll(fds, 2, 100) <= 0) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
                char buffer[4096];
                const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) {
                    // (The terminal answers EIO once the program, its last user, has closed it.)
                    fds[i].fd = -1;
                    --open;
                } else {
                    (i == 0 ? o.out : o.err).append(buffer, static_cast<std::size_t>(n));
                }
            }
        }
    }
    ::close(outPipe[0]);
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

} // namespace

TEST(SerialEndToEnd, TheProgressLineShowsOnATerminalAndNowhereElse) {
    test::TempDir files;
    const std::string cal = files.file("sim.acal");
    test::Simulator sim({"--dut", "rlc-series:r=30,l=1.2u,c=80p", "--write-cal", cal});
    auto sweep = [&](const std::vector<std::string>& extra) {
        std::vector<std::string> args = {VNA_CLI_EXE, "--data-dir", files.file("data"), "--serial",
                                         sim.link()};
        args.insert(args.end(), extra.begin(), extra.end());
        for (const char* a : {"sweep", "a", "--start", "12", "--stop", "20", "--step", "0.05", "--cal"}) {
            args.push_back(a);
        }
        args.push_back(cal);
        args.push_back("--out");
        args.push_back(files.file("rlc.scn"));
        return args;
    };
    Output o = RunWithErrorsOnATerminal(sweep({}));
    ASSERT_EQ(o.status, 0) << o.err << o.out;
    EXPECT_NE(o.out.find("wrote:"), std::string::npos) << o.out;
    // Rewritten in place: back to the line's start, the points, the rate and the time left.
    EXPECT_NE(o.err.find("\rPort A sweep: 1 of 161 points, "), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("\rPort A sweep: 161 of 161 points, "), std::string::npos) << o.err;
    EXPECT_NE(o.err.find(" points/s, "), std::string::npos) << o.err;
    EXPECT_NE(o.err.find(" s left\x1b[K"), std::string::npos) << o.err;

    // On a pipe (a script, a log file), and with --quiet, there is none.
    o = test::RunProgram(sweep({}), std::chrono::seconds(60));
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err.find("Port A sweep"), std::string::npos) << o.err;
    o = RunWithErrorsOnATerminal(sweep({"--quiet"}));
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err.find("Port A sweep"), std::string::npos) << o.err;
}
