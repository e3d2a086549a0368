#include "sim/Ecpport.h"

#include <algorithm>
#include <sys/socket.h>
#include <unistd.h>

namespace telvorsim {
namespace {

constexpr int kModeStandard = 0, kModeByte = 1, kModeEcp = 3, kModeTest = 6;

// Status lines of the peripheral in each step of the handshakes.
constexpr std::uint8_t kIdle = 0x78;      // compatible mode
constexpr std::uint8_t kAccepting = 0x38; // answers the request: nAck low, PError, Select, nFault
constexpr std::uint8_t kEcpAgreed = 0xD8; // XFlag: ECP mode granted
constexpr std::uint8_t kForward = 0xF8;   // PeriphAck, PeriphClk, nAckReverse high
constexpr std::uint8_t kReverse = 0xD8;   // nAckReverse low; PeriphClk low while data waits

std::uint8_t configA(int wordBytes) {
    const std::uint8_t code = wordBytes == 2 ? 0x00 : wordBytes == 4 ? 0x20 : 0x10;
    return code | 0x04;
}

} // namespace

TSimEcpPort::TSimEcpPort(std::uint16_t base, int fifoSize)
    : base_(base), fifoSize_(static_cast<std::size_t>(fifoSize > 0 ? fifoSize : 16)) {}

TSimEcpPort::~TSimEcpPort() {
    attach(-1);
}

void TSimEcpPort::attach(int fd) {
    std::lock_guard lock(lock_);
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

void TSimEcpPort::setFaults(const TEcpFaults& faults) {
    std::lock_guard lock(lock_);
    faults_ = faults;
}

long TSimEcpPort::accesses() const {
    std::lock_guard lock(lock_);
    return accesses_;
}

int TSimEcpPort::negotiations() const {
    std::lock_guard lock(lock_);
    return negotiations_;
}

bool TSimEcpPort::inEcpMode() const {
    std::lock_guard lock(lock_);
    return phase_ == TPhase::Ecp;
}

std::string TSimEcpPort::forwarded() const {
    std::lock_guard lock(lock_);
    return forwarded_;
}

bool TSimEcpPort::reverse() const {
    return phase_ == TPhase::Ecp && !(control_ & 0x04) && (control_ & 0x20);
}

std::uint8_t TSimEcpPort::in(std::uint16_t address) {
    std::lock_guard lock(lock_);
    ++accesses_;
    if (faults_.noPort)
        return 0xFF;
    const int offset = address - base_;
    switch (offset) {
    case 0:
        return data_;
    case 1:
        return statusLocked();
    case 2:
        return control_;
    case 0x400:
        if (mode() == kModeTest || (mode() == kModeEcp && reverse()))
            return fifoRead();
        return mode() == kModeEcp ? 0xFF : configA(faults_.wordBytes);
    case 0x401:
        return configB_;
    case 0x402:
        return ecrLocked();
    default:
        return 0xFF;
    }
}

void TSimEcpPort::out(std::uint16_t address, std::uint8_t value) {
    std::lock_guard lock(lock_);
    ++accesses_;
    if (faults_.noPort)
        return;
    switch (address - base_) {
    case 0:
        data_ = value;
        break;
    case 2: {
        const std::uint8_t old = control_;
        control_ = value;
        controlChanged(old);
        break;
    }
    case 0x400:
        fifoWrite(value);
        break;
    case 0x401:
        configB_ = value;
        break;
    case 0x402: {
        const int newMode = value >> 5;
        if (newMode == kModeStandard || newMode == kModeByte) {
            // A reset FIFO loses nothing the receiver sent: unread bytes go back in line.
            if (reverse())
                pendingIn_.insert(pendingIn_.begin(), fifo_.begin(), fifo_.end());
            fifo_.clear();
        }
        ecr_ = value;
        break;
    }
    default:
        break;
    }
}

std::uint8_t TSimEcpPort::statusLocked() {
    switch (phase_) {
    case TPhase::Compatible:
        return kIdle;
    case TPhase::Requested:
    case TPhase::Strobed:
    case TPhase::Terminating:
        return kAccepting;
    case TPhase::Negotiated:
        return kEcpAgreed;
    case TPhase::Ecp:
        if (control_ & 0x04)
            return kForward;
        refill();
        return fifo_.empty() && pendingIn_.empty() ? kReverse : kReverse & ~0x40;
    }
    return kIdle;
}

std::uint8_t TSimEcpPort::ecrLocked() {
    if (mode() == kModeEcp) {
        if (reverse())
            refill();
        else
            flush();
    }
    std::uint8_t value = ecr_ & 0xFC;
    if (fifo_.size() >= fifoSize_)
        value |= 0x02;
    if (fifo_.empty())
        value |= 0x01;
    return value;
}

void TSimEcpPort::controlChanged(std::uint8_t old) {
    (void)old;
    const bool active = !(control_ & 0x08); // nSelectIn high: IEEE-1284 active
    if (!active && phase_ != TPhase::Ecp && phase_ != TPhase::Terminating)
        phase_ = TPhase::Compatible;
    switch (phase_) {
    case TPhase::Compatible:
        if (active && (control_ & 0x02) && data_ == 0x10 && !faults_.noNegotiationAck)
            phase_ = TPhase::Requested;
        break;
    case TPhase::Requested:
        if (control_ & 0x01)
            phase_ = TPhase::Strobed;
        break;
    case TPhase::Strobed:
        if (!(control_ & 0x01))
            phase_ = TPhase::Negotiated;
        break;
    case TPhase::Negotiated:
        if (control_ & 0x02) {
            phase_ = TPhase::Ecp;
            ++negotiations_;
            stalled_ = false;
            fifo_.clear();
        }
        break;
    case TPhase::Ecp:
        if (!active)
            phase_ = TPhase::Terminating;
        break;
    case TPhase::Terminating:
        if (control_ & 0x02)
            phase_ = TPhase::Compatible;
        break;
    }
}

void TSimEcpPort::fifoWrite(std::uint8_t value) {
    if (mode() == kModeTest) {
        if (!faults_.fifoNeverFills && fifo_.size() < fifoSize_)
            fifo_.push_back(value);
        return;
    }
    if (mode() != kModeEcp || phase_ != TPhase::Ecp || reverse())
        return;
    if (faults_.stallNextWrite) {
        faults_.stallNextWrite = false;
        stalled_ = true;
    }
    if (stalled_) {
        if (fifo_.size() < fifoSize_)
            fifo_.push_back(value);
        return;
    }
    pendingOut_ += static_cast<char>(value);
    forwarded_ += static_cast<char>(value);
    flush();
}

std::uint8_t TSimEcpPort::fifoRead() {
    if (fifo_.empty())
        return 0xFF;
    const std::uint8_t value = fifo_.front();
    fifo_.pop_front();
    return value;
}

void TSimEcpPort::refill() {
    if (fd_ >= 0 && pendingIn_.size() < 65536) {
        char chunk[4096];
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0)
            pendingIn_.append(chunk, static_cast<std::size_t>(n));
    }
    const std::size_t take =
        std::min(fifoSize_ - std::min(fifoSize_, fifo_.size()), pendingIn_.size());
    fifo_.insert(fifo_.end(), pendingIn_.begin(), pendingIn_.begin() + static_cast<long>(take));
    pendingIn_.erase(0, take);
}

void TSimEcpPort::flush() {
    if (fd_ < 0 || pendingOut_.empty())
        return;
    const ssize_t n =
        ::send(fd_, pendingOut_.data(), pendingOut_.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n > 0)
        pendingOut_.erase(0, static_cast<std::size_t>(n));
}

} // namespace telvorsim
