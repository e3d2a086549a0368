#pragma once
// The USB link's reader worker: keeps a pool of reads submitted on the IN pipe and hands every
// completed one to the link, oldest first.
#include "links/Usbio.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace telvor {

class CMyReader {
public:
    static constexpr int kBuffers = 5;
    static constexpr int kBufferSize = 1024;
    static constexpr int kMaxErrors = 3; // consecutive; the next one stops the reader

    // Called on the worker for every completed read: its bytes, or a failure status (bytes
    // null). `stopping` is set on the last call, when the reader gives up.
    using THandler = std::function<void(const std::uint8_t* bytes, int count, std::uint32_t status,
                                        bool stopping)>;

    CMyReader(CUsbIo& io, std::uint8_t endpoint, THandler handler);
    ~CMyReader();
    CMyReader(const CMyReader&) = delete;
    CMyReader& operator=(const CMyReader&) = delete;

    void Start();
    // Sets the terminate flag, aborts the pipe and waits for the worker.
    void Stop();
    bool Running() const { return running_.load(); }

private:
    void Run();
    // Counts a failed read; true when that was one too many.
    bool CountError(std::uint32_t status);

    CUsbIo& io_;
    const std::uint8_t endpoint_;
    THandler handler_;
    std::uint8_t pool_[kBuffers][kBufferSize] = {};
    std::thread thread_;
    std::atomic<bool> terminate_{false};
    std::atomic<bool> running_{false};
    int errors_ = 0;
};

} // namespace telvor
