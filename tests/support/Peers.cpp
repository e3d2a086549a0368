#include "support/Peers.h"

#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "protocol/Debugcore.h"
#include "protocol/Messageformat.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace telvor::testing {

TPty::TPty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        ADD_FAILURE() << "no pseudo-terminal";
    else
        slave_ = ::ptsname(master_);
}

TPty::~TPty() {
    closeMaster();
}

void TPty::closeMaster() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

void TPty::write(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t r = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return;
        done += static_cast<std::size_t>(r);
    }
}

std::string TPty::readUntil(const std::function<bool(const std::string&)>& done, int timeoutMs) {
    std::string got;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done(got)) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0)
            break;
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0 || !(p.revents & POLLIN))
            continue;
        char buffer[4096];
        ssize_t r = ::read(master_, buffer, sizeof buffer);
        if (r > 0)
            got.append(buffer, static_cast<std::size_t>(r));
    }
    return got;
}

TResponder::TResponder(int fd, THandler handler) : fd_(fd), handler_(std::move(handler)) {
    if (::pipe2(wake_, O_CLOEXEC) != 0)
        ADD_FAILURE() << "pipe";
    thread_ = std::thread([this] { run(); });
}

TResponder::~TResponder() {
    stop_ = true;
    char c = 1;
    (void)!::write(wake_[1], &c, 1);
    thread_.join();
    ::close(wake_[0]);
    ::close(wake_[1]);
}

std::string TResponder::lastLine() const {
    std::lock_guard lock(lock_);
    return last_;
}

void TResponder::run() {
    std::string pending;
    while (!stop_) {
        pollfd p[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(p, 2, -1) <= 0 || p[1].revents)
            continue;
        if (!(p[0].revents & POLLIN))
            return; // peer gone
        char buffer[4096];
        ssize_t r = ::read(fd_, buffer, sizeof buffer);
        if (r <= 0)
            return;
        pending.append(buffer, static_cast<std::size_t>(r));
        std::size_t end;
        while ((end = pending.find("\r\n")) != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 2);
            // The checksum suffix "@XX" is the link's business, not the handler's.
            if (line.size() >= 3 && line[line.size() - 3] == '@')
                line.resize(line.size() - 3);
            {
                std::lock_guard lock(lock_);
                last_ = line;
            }
            ++lines_;
            std::string answer = handler_(line);
            std::size_t done = 0;
            while (done < answer.size()) {
                ssize_t w = ::write(fd_, answer.data() + done, answer.size() - done);
                if (w <= 0)
                    break;
                done += static_cast<std::size_t>(w);
            }
        }
    }
}

TListener::TListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(fd_, 4) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size) != 0)
        ADD_FAILURE() << "listener";
    port_ = ntohs(a.sin_port);
}

TListener::~TListener() {
    if (fd_ >= 0)
        ::close(fd_);
}

int TListener::accept(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return -1;
    return ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
}

void TLinkFixture::SetUp() {
    setUiBridge(&bridge_);
    // An error a previous test left pending would hold back the next one's notice.
    while (debugCore().takePendingError()) {
    }
    SetInputMode(TInputMode::Idle);
}

void TLinkFixture::TearDown() {
    CloseReceiverConnection();
    TCommState& state = commState();
    SetInputMode(TInputMode::Idle);
    state.connectionMode = cmDirect;
    state.configWindowOpen = false;
    state.testMode = false;
    state.SetTerminalSink(nullptr);
    state.SetRealTimeSink(nullptr);
    state.SetSharingSink(nullptr);
    state.SetPlotSink(nullptr);
    state.SetDecoderSink(nullptr);
    setUiBridge(nullptr);
}

bool TLinkFixture::until(const std::function<bool()>& done, int timeoutMs) {
    return bridge_.processUntil(done, timeoutMs);
}

void TPtyLinkFixture::SetUp() {
    TLinkFixture::SetUp();
    SetLatencyAllowance(0);
    ASSERT_EQ(CreateReceiverConnection(pty_.slave(), {}), "");
}

void TPtyLinkFixture::TearDown() {
    CloseReceiverConnection();
    responder_.reset();
    TLinkFixture::TearDown();
}

void TPtyLinkFixture::answer(TResponder::THandler handler) {
    responder_ = std::make_unique<TResponder>(pty_.master(), std::move(handler));
}

double processCpuMs() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

} // namespace telvor::testing
