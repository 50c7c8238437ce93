// The kernel's own termios definitions, which carry any line speed exactly; they clash with the C
// library's <termios.h>, so they live alone in this file (with the two functions that need them).

#include "platform/posix/posix_serial_port.h"

#ifdef __linux__
#include <asm/termbits.h>
#include <sys/ioctl.h>
#endif

namespace vna::platform::posix {

int TerminalSpeed(int fd) {
#ifdef __linux__
    // On a pseudo-terminal the master reports the slave's settings.
    struct termios2 t2 {};
    if (::ioctl(fd, TCGETS2, &t2) == 0) {
        return static_cast<int>(t2.c_ospeed);
    }
#else
    (void)fd;
#endif
    return 0;
}

bool SetTerminalSpeed(int fd, int baud) {
#ifdef __linux__
    struct termios2 t2 {};
    if (::ioctl(fd, TCGETS2, &t2) != 0) {
        return false;
    }
    t2.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
    t2.c_cflag |= BOTHER;
    t2.c_ispeed = static_cast<speed_t>(baud);
    t2.c_ospeed = static_cast<speed_t>(baud);
    return ::ioctl(fd, TCSETS2, &t2) == 0;
#else
    (void)fd;
    (void)baud;
    return false;
#endif
}

} // namespace vna::platform::posix
