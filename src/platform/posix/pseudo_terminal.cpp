#include "platform/posix/pseudo_terminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace vna::platform::posix {

// In its own file: the kernel's termios2 header cannot share a translation unit with <termios.h>.
int TerminalSpeed(int fd);

namespace {

std::string Why(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

PseudoTerminal::~PseudoTerminal() {
    close();
}

bool PseudoTerminal::create(std::string* error) {
    close();
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        if (error) {
            *error = Why("cannot create a pseudo-terminal");
        }
        close();
        return false;
    }
    const char* name = ::ptsname(master_);
    slavePath_ = name ? name : "";
    slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
    if (slave_ < 0) {
        if (error) {
            *error = Why("cannot open the pseudo-terminal's slave side");
        }
        close();
        return false;
    }
    // Raw on both sides: the unit's binary replies must not be echoed back as commands.
    for (int fd : {slave_, master_}) {
        termios t{};
        if (::tcgetattr(fd, &t) == 0) {
            ::cfmakeraw(&t);
            ::cfsetspeed(&t, B57600);
            ::tcsetattr(fd, TCSANOW, &t);
        }
    }
    const int flags = ::fcntl(master_, F_GETFL);
    ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    return true;
}

void PseudoTerminal::close() {
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

int PseudoTerminal::hostBaud() const {
    if (master_ < 0) {
        return 0;
    }
    return TerminalSpeed(master_);
}

bool ReplaceSymlink(const std::string& link, const std::string& target, std::string* error) {
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            if (error) {
                *error = link + " exists and is not a symbolic link";
            }
            return false;
        }
        ::unlink(link.c_str());
    }
    if (::symlink(target.c_str(), link.c_str()) != 0) {
        if (error) {
            *error = Why(("cannot create " + link).c_str());
        }
        return false;
    }
    return true;
}

} // namespace vna::platform::posix
