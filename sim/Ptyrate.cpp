// Any baud rate through termios2: the slave's rate seen from the master, and setting one.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace telvorsim {

unsigned ptyReadRate(int fd) {
    struct termios2 t;
    if (ioctl(fd, TCGETS2, &t) != 0)
        return 0;
    return t.c_ospeed;
}

bool ptySetRate(int fd, unsigned rate) {
    struct termios2 t;
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_cflag &= ~CBAUD;
    t.c_cflag |= BOTHER;
    t.c_ispeed = t.c_ospeed = rate;
    return ioctl(fd, TCSETS2, &t) == 0;
}

} // namespace telvorsim
