// The kernel's own termios definitions, which carry any line speed exactly; they clash with the C
// library's <termios.h>, so they live alone in this file.

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

} // namespace vna::platform::posix
