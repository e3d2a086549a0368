#include "links/Usbreader.h"

#include <deque>

namespace telvor {

CMyReader::CMyReader(CUsbIo& io, std::uint8_t endpoint, THandler handler)
    : io_(io), endpoint_(endpoint), handler_(std::move(handler)) {}

CMyReader::~CMyReader() {
    Stop();
}

void CMyReader::Start() {
    if (thread_.joinable())
        return;
    terminate_.store(false);
    running_.store(true);
    thread_ = std::thread([this] { Run(); });
}

void CMyReader::Stop() {
    if (!thread_.joinable())
        return;
    terminate_.store(true);
    io_.AbortPipe();
    thread_.join();
}

bool CMyReader::CountError(std::uint32_t status) {
    // A read ended by our own abort is no fault of the device.
    if (status == kUsbCancelled)
        return false;
    // Nothing comes back from a device that is gone: no use trying again.
    if (status == kUsbNoDevice)
        return true;
    return ++errors_ > kMaxErrors;
}

void CMyReader::Run() {
    std::deque<int> queue;
    auto submit = [&](int slot) {
        const std::uint32_t status = io_.SubmitRead(slot, endpoint_, pool_[slot], kBufferSize);
        if (status == kUsbOk) {
            queue.push_back(slot);
            return true;
        }
        const bool stop = CountError(status);
        handler_(nullptr, 0, status, stop);
        return !stop;
    };
    bool stop = false;
    for (int slot = 0; slot < kBuffers && !stop; ++slot)
        stop = !submit(slot);

    while (!stop && !terminate_.load() && !queue.empty()) {
        const int slot = queue.front();
        queue.pop_front();
        const TUsbRead read = io_.WaitRead(slot);
        if (terminate_.load())
            break;
        if (read.status == kUsbOk) {
            errors_ = 0;
            if (read.length > 0)
                handler_(pool_[slot], read.length, kUsbOk, false);
        } else {
            stop = CountError(read.status);
            handler_(nullptr, 0, read.status, stop);
        }
        if (!stop)
            stop = !submit(slot);
    }
    // Reads still out are ended and collected before the buffers go.
    io_.AbortPipe();
    for (int slot : queue)
        io_.WaitRead(slot);
    running_.store(false);
}

} // namespace telvor
