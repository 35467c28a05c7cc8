// Kept apart from the termios code: the kernel's termios2 header and the C library's
// <termios.h> cannot be included in one translation unit.
#include "platform/posix_serial_port.h"

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>

bool SetCustomBaudRate(int fd, int iBaudRate) {
    struct termios2 t;
    if (ioctl(fd, TCGETS2, &t) != 0) return false;
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
    t.c_cflag |= BOTHER;
    t.c_ispeed = static_cast<speed_t>(iBaudRate);
    t.c_ospeed = static_cast<speed_t>(iBaudRate);
    return ioctl(fd, TCSETS2, &t) == 0;
}
#else
bool SetCustomBaudRate(int, int) {
    return false;
}
#endif
