// The NMEA pseudo-terminal and the link to its slave.
#include "nmea/Ptyoutput.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace telvor {

std::string TPtyOutput::open(const std::string& path) {
    close();
    if (path.empty())
        return "no path for the NMEA pseudo-terminal";
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode))
            return path + " exists and is not a link";
        ::unlink(path.c_str());
    }
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::string("can't open a pseudo-terminal: ") + std::strerror(errno);
    const char* name = (::grantpt(fd) == 0 && ::unlockpt(fd) == 0) ? ::ptsname(fd) : nullptr;
    if (!name) {
        ::close(fd);
        return std::string("can't open a pseudo-terminal: ") + std::strerror(errno);
    }
    // Raw, so that no CR or NL is translated before a reader sets its own mode.
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    // A slave never opened does not hang the master up: open and close it once, so that the
    // hang-up tells "no reader" from the start.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0)
        ::close(slave);
    if (::symlink(name, path.c_str()) != 0) {
        const std::string error = "can't link " + path + ": " + std::strerror(errno);
        ::close(fd);
        return error;
    }
    master_ = fd;
    slave_ = name;
    path_ = path;
    return {};
}

void TPtyOutput::close() {
    if (master_ < 0)
        return;
    // Only our own link: a path another program took over meanwhile stays.
    char target[256];
    const ssize_t n = ::readlink(path_.c_str(), target, sizeof target - 1);
    if (n > 0 && slave_ == std::string(target, static_cast<std::size_t>(n)))
        ::unlink(path_.c_str());
    ::close(master_);
    master_ = -1;
}

bool TPtyOutput::readerPresent() const {
    // The master hangs up while no one has the slave open.
    pollfd p{master_, POLLOUT, 0};
    return master_ >= 0 && ::poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP);
}

void TPtyOutput::write(std::string_view bytes) {
    if (!readerPresent())
        return;
    (void)!::write(master_, bytes.data(), bytes.size());
}

void TPtyOutput::drain() {
    char buf[512];
    while (master_ >= 0 && ::read(master_, buf, sizeof buf) > 0) {
    }
}

} // namespace telvor
