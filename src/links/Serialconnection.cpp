#include "links/Serialconnection.h"

#include "links/Portio.h"
#include "links/Serialspeed.h"
#include "protocol/Commstate.h"
#include "protocol/Debugcore.h"
#include "protocol/Logfile.h"
#include "protocol/Tick.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace telvor {
namespace {

std::string systemMessage(int error) {
    return error == 0 ? std::string() : std::strerror(error);
}

int pollRetry(pollfd* fds, nfds_t count, int timeoutMs) {
    int r;
    while ((r = ::poll(fds, count, timeoutMs)) < 0 && errno == EINTR) {
    }
    return r;
}

} // namespace

std::string LineErrorText(std::uint32_t errors) {
    static constexpr struct {
        std::uint32_t bit;
        const char* text;
    } kTexts[] = {
        {kLineBreak, "Break detected"},
        {kLineFrame, "Framing error"},
        {kLineIo, "I/O error"},
        {kLineOverrun, "Serial overrun"},
        {kLineRxOverflow, "Input buffer overflow"},
        {kLineParity, "Parity error"},
        {kLineTxFull, "Output buffer full"},
    };
    std::string text;
    for (const auto& t : kTexts) {
        if (!(errors & t.bit))
            continue;
        if (!text.empty())
            text += ',';
        text += t.text;
    }
    return text.empty() ? "Serial overruns" : text;
}

TSerialConnection::TSerialConnection(const std::string& portName, bool resume, bool infrared)
    : TReceiverConnection(kLinkSerial), portName_(portName), infrared_(infrared) {
    if (ErrorText().empty())
        Open(resume);
}

TSerialConnection::~TSerialConnection() {
    StopThread();
    if (fd_ >= 0)
        ::close(fd_);
}

bool TSerialConnection::Open(bool resume) {
    const std::string path = SerialDevicePath(portName_);
    // Only a character device (after links) is opened: a FIFO or a file would block or
    // pass for a port.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISCHR(st.st_mode)) {
        SetErrorText("Open " + portName_ + " port failed: " + path + " is not a character device");
        return false;
    }
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    int error = errno;
    if (fd_ >= 0) {
        // TIOCEXCL does not bind a privileged process, the lock does; both make the open
        // exclusive like a COM port's.
        if (::flock(fd_, LOCK_EX | LOCK_NB) < 0) {
            error = errno == EWOULDBLOCK ? EBUSY : errno;
            ::close(fd_);
            fd_ = -1;
        } else {
            ::ioctl(fd_, TIOCEXCL);
        }
    }
    if (fd_ < 0) {
        SetErrorText("Open " + portName_ + " port failed: " + systemMessage(error));
        return false;
    }
    // A character device that is no terminal (/dev/null, /dev/zero) takes no line settings.
    if (!::isatty(fd_)) {
        SetErrorText(path + " is not a serial port");
        ::close(fd_);
        fd_ = -1;
        return false;
    }

    SetEventMask(kEventData | kEventError);
    Purge();

    termios tio{};
    bool ok = ::tcgetattr(fd_, &tio) == 0;
    if (ok) {
        ::cfmakeraw(&tio);
        tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
        tio.c_cflag |= CS8 | CLOCAL | CREAD;
        tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        ok = ::tcsetattr(fd_, TCSANOW, &tio) == 0 && SetSerialSpeed(fd_, 115200) == 0;
    }
    Speed.store(115200);
    if (!ok) {
        SetErrorText("Unable to set up " + path + ": " + systemMessage(errno));
        return false;
    }
    SetModemLine(TIOCM_DTR, Infrared());
    SetModemLine(TIOCM_RTS, true);
    TakeLineErrors(); // the counters so far are not ours

    if (resume)
        ResumeThread();
    return true;
}

void TSerialConnection::SetModemLine(int line, bool on) {
    // A pseudo-terminal has no modem lines; that is not an error.
    ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line);
}

std::uint32_t TSerialConnection::TakeLineErrors() {
    serial_icounter_struct counts{};
    if (fd_ < 0 || ::ioctl(fd_, TIOCGICOUNT, &counts) < 0) {
        haveCounters_ = false;
        return 0;
    }
    const int now[5] = {counts.frame, counts.overrun, counts.parity, counts.brk,
                        counts.buf_overrun};
    static constexpr std::uint32_t kBits[5] = {kLineFrame, kLineOverrun, kLineParity, kLineBreak,
                                               kLineRxOverflow};
    std::uint32_t errors = 0;
    if (haveCounters_)
        for (int i = 0; i < 5; ++i)
            if (now[i] != lastCounts_[i])
                errors |= kBits[i];
    std::copy(std::begin(now), std::end(now), lastCounts_);
    haveCounters_ = true;
    return errors;
}

void TSerialConnection::MarkRemoved(std::string text) {
    std::lock_guard lock(removedLock_);
    if (removed_.load())
        return;
    removedText_ = std::move(text);
    removed_.store(true);
}

int TSerialConnection::Read(std::uint8_t* buffer, int count) {
    if (fd_ < 0 || removed_.load())
        return 0;
    int total = 0;
    while (total < count) {
        int waiting = 0;
        if (::ioctl(fd_, FIONREAD, &waiting) < 0) {
            if (errno == EIO || errno == ENXIO || errno == ENODEV)
                MarkRemoved("Device removed");
            break;
        }
        const int n = std::min(count - total, waiting);
        if (n <= 0)
            break;
        const ssize_t r = ::read(fd_, buffer + total, n);
        if (r == 0) {
            MarkRemoved("Device removed");
            break;
        }
        if (r < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN)
                MarkRemoved(errno == EIO ? "Device removed" : systemMessage(errno));
            break;
        }
        logRaw(buffer + total, static_cast<std::size_t>(r));
        total += static_cast<int>(r);
        if (commState().inputMode.load() != TInputMode::Transfer)
            break;
    }
    return total;
}

int TSerialConnection::Write(const std::uint8_t* bytes, int count) {
    logCommand(bytes, count);
    std::lock_guard lock(writeLock_);
    if (fd_ < 0 || removed_.load() || count <= 0)
        return 0;
    if (Infrared())
        std::this_thread::sleep_for(std::chrono::milliseconds(writeDelay_.load()));
    LastWriteTick.store(tickCount());

    const std::uint32_t limit = 200u * static_cast<std::uint32_t>(count) + 100u;
    const std::uint32_t start = tickCount();
    int written = 0;
    while (written < count) {
        const ssize_t r = ::write(fd_, bytes + written, count - written);
        if (r > 0) {
            written += static_cast<int>(r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno != EAGAIN)
            break;
        const std::uint32_t elapsed = ticksSince(start);
        if (elapsed >= limit)
            break;
        pollfd p{fd_, POLLOUT, 0};
        if (pollRetry(&p, 1, static_cast<int>(limit - elapsed)) <= 0 ||
            (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            break;
    }
    // The bytes are on their way once the driver's output queue is empty.
    for (;;) {
        int queued = 0;
        if (::ioctl(fd_, TIOCOUTQ, &queued) < 0 || queued <= 0 || ticksSince(start) >= limit)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return written;
}

bool TSerialConnection::SetEventMask(std::uint32_t mask) {
    if (fd_ < 0)
        return false;
    const bool changed = EventMask.exchange(mask) != mask;
    // A waiting input thread picks up the new mask (it returns with an empty word).
    if (changed && ThreadStarted())
        Wake();
    return true;
}

void TSerialConnection::WaitEvent(std::uint32_t& word) {
    word = 0;
    if (fd_ < 0) {
        WaitWake(-1);
        ResetWake();
        return;
    }
    if (removed_.load()) {
        std::lock_guard lock(removedLock_);
        if (!removalReported_) {
            removalReported_ = true;
            SetErrorText(removedText_);
            word = kEventError;
            return;
        }
    }
    if (removed_.load()) {
        // Nothing more will come: wait for the close without using the processor.
        WaitWake(-1);
        ResetWake();
        return;
    }

    const std::uint32_t mask = EventMask.load();
    pollfd fds[2] = {{fd_, static_cast<short>((mask & kEventData) ? POLLIN : 0), 0},
                     {WakeFd(), POLLIN, 0}};
    pollRetry(fds, 2, -1);
    if (fds[1].revents) {
        ResetWake();
        return;
    }
    if (fds[0].revents & POLLIN)
        word |= kEventData;
    else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        MarkRemoved("Device removed");
        std::lock_guard lock(removedLock_);
        removalReported_ = true;
        SetErrorText(removedText_);
        word |= kEventError;
        return;
    }
    if (mask & kEventError) {
        if (std::uint32_t errors = TakeLineErrors()) {
            SetErrorText(LineErrorText(errors));
            word |= kEventError;
        }
    }
}

void TSerialConnection::WaitReadable(int timeoutMs) {
    if (fd_ < 0 || removed_.load()) {
        TReceiverConnection::WaitReadable(timeoutMs);
        return;
    }
    pollfd p{fd_, POLLIN, 0};
    if (pollRetry(&p, 1, timeoutMs) > 0 && !(p.revents & POLLIN))
        TReceiverConnection::WaitReadable(timeoutMs); // hung up: do not spin
}

bool TSerialConnection::SetSpeed(std::uint32_t rate) {
    if (fd_ < 0)
        return false;
    if (SetSerialSpeed(fd_, rate) != 0)
        return false;
    Speed.store(rate);
    writeDelay_.store(15);
    logLine("Speed " + std::to_string(rate));
    // Let the port and the peer settle on the new rate.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return true;
}

bool TSerialConnection::SetHandshake(bool on) {
    if (Infrared())
        return true;
    if (fd_ < 0)
        return false;
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0)
        return false;
    if (on)
        tio.c_cflag |= CRTSCTS;
    else
        tio.c_cflag &= ~CRTSCTS;
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0)
        return false;
    if (!on)
        SetModemLine(TIOCM_RTS, true);
    return true;
}

bool TSerialConnection::Purge() {
    if (fd_ < 0)
        return false;
    return ::tcflush(fd_, TCIOFLUSH) == 0;
}

} // namespace telvor
