#include "protocol/Link.h"

#include "protocol/Commstate.h"
#include "protocol/Commthread.h"
#include "protocol/Debugcore.h"
#include "protocol/Messageformat.h"
#include "protocol/Tick.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace telvor {

TReceiverConnection* CurrentConnection = nullptr;

TReceiverConnection::TReceiverConnection(std::uint8_t kind)
    : LastWriteTick(tickCount()), Kind(kind) {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0)
        SetErrorText("Can't create event!");
    Thread = std::make_unique<TCommThread>(*this);
}

TReceiverConnection::~TReceiverConnection() {
    // Derived destructors stop the thread before closing their handles; this only catches a
    // link that never started one.
    StopThread();
    Thread.reset();
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
    if (CurrentConnection == this)
        CurrentConnection = nullptr;
}

int TReceiverConnection::ReadTimed(std::uint8_t* buffer, int count, std::uint32_t timeoutMs) {
    const std::uint32_t speed = Speed.load() ? Speed.load() : 1;
    const std::uint32_t deadline = timeoutMs + static_cast<std::uint32_t>(count) * 10000u / speed;
    const std::uint32_t start = tickCount();
    int total = 0;
    while (total < count && ticksSince(start) < deadline) {
        int n = Read(buffer + total, count - total);
        if (n > 0)
            total += n;
        else
            // The device has nothing yet: wait for it a little instead of spinning.
            WaitReadable(1);
    }
    return total;
}

void TReceiverConnection::WaitReadable(int timeoutMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
}

bool TReceiverConnection::SetEventMask(std::uint32_t mask) {
    EventMask.store(mask);
    return true;
}

bool TReceiverConnection::SetSpeed(std::uint32_t) {
    return true;
}
std::uint32_t TReceiverConnection::GetSpeed() {
    return Speed.load();
}
bool TReceiverConnection::SetHandshake(bool) {
    return true;
}
bool TReceiverConnection::Reconnect(int) {
    return true;
}
bool TReceiverConnection::StartConnect(TEvent*) {
    return false;
}
void TReceiverConnection::Cancel() {}
bool TReceiverConnection::IsConnected() const {
    return true;
}
std::string TReceiverConnection::LostReason() const {
    if (IsConnected())
        return {};
    const std::string text = ErrorText();
    return text.empty() ? "the connection was closed" : text;
}
bool TReceiverConnection::Purge() {
    return true;
}

bool TReceiverConnection::SendCommand(std::string_view text) {
    std::string line = formatCommandLine(text);
    if (debugCore().showAllCommands())
        debugCore().showLine(line.substr(0, line.size() - 2));
    const TInputMode mode = commState().inputMode.load();
    if (mode == TInputMode::Idle || mode == TInputMode::Monitoring)
        Input.Clear();
    return WriteRaw(line);
}

bool TReceiverConnection::WriteRaw(std::string_view text) {
    const int count = static_cast<int>(text.size());
    return Write(reinterpret_cast<const std::uint8_t*>(text.data()), count) == count;
}

std::string TReceiverConnection::ErrorText() const {
    std::lock_guard lock(errorLock_);
    return errorText_;
}

void TReceiverConnection::SetErrorText(std::string text) {
    std::lock_guard lock(errorLock_);
    errorText_ = std::move(text);
}

void TReceiverConnection::Wake() {
    if (wakeFd_ < 0)
        return;
    std::uint64_t one = 1;
    while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void TReceiverConnection::ResetWake() {
    if (wakeFd_ < 0)
        return;
    std::uint64_t value;
    while (::read(wakeFd_, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool TReceiverConnection::WaitWake(int timeoutMs) const {
    if (wakeFd_ < 0)
        return false;
    pollfd p{wakeFd_, POLLIN, 0};
    int r;
    while ((r = ::poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    return r > 0;
}

bool TReceiverConnection::ThreadStarted() const {
    return Thread && Thread->Started();
}

void TReceiverConnection::ResumeThread() {
    if (Thread)
        Thread->Start();
}

void TReceiverConnection::StopThread() {
    if (!ThreadStarted())
        return;
    Thread->Terminate();
    Wake();
    Thread->WaitFor();
}

void FeedInput(const std::uint8_t* bytes, int count) {
    if (CurrentConnection && CurrentConnection->Thread)
        CurrentConnection->Thread->AppendToReply(bytes, count);
}

void RouteInput(const std::uint8_t* bytes, int count) {
    TReceiverConnection* link = CurrentConnection;
    if (!link || !link->Thread || count <= 0)
        return;
    link->LastWriteTick.store(tickCount());
    link->Thread->Route(bytes, count);
}

} // namespace telvor
