#include "links/Replayfile.h"

#include "protocol/Messageformat.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace telvor {
namespace {

constexpr std::int64_t kDayMs = 86400000;
constexpr std::size_t kTimeMessageSize = 10; // "~~005", 4 bytes of time, checksum

} // namespace

TReplayFile::~TReplayFile() {
    if (data_)
        ::munmap(const_cast<std::uint8_t*>(data_), size_);
    if (fd_ >= 0)
        ::close(fd_);
}

std::string TReplayFile::open(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        return "Can't open " + path + ": " + std::strerror(errno);
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))
        return "Can't open " + path + ": not a file";
    size_ = std::uint64_t(st.st_size);
    if (size_ == 0)
        return {};
    void* p = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_, 0);
    if (p == MAP_FAILED) {
        size_ = 0;
        return "Can't read " + path + ": " + std::strerror(errno);
    }
    data_ = static_cast<const std::uint8_t*>(p);
    ::madvise(p, size_, MADV_SEQUENTIAL);
    epochs_ = indexEpochs(data_, std::size_t(size_));
    return {};
}

// A "~~" only counts where the whole message is there and its checksum holds, as for the
// splitter; a "~~" inside other bytes is thus next to never taken for an epoch.
std::vector<TReplayEpoch> indexEpochs(const std::uint8_t* data, std::size_t size) {
    std::vector<TReplayEpoch> epochs;
    const std::uint8_t* p = data;
    const std::uint8_t* end = data + size;
    std::int64_t day = 0, lastOfDay = -1;
    while (end - p >= std::ptrdiff_t(kTimeMessageSize)) {
        p = static_cast<const std::uint8_t*>(std::memchr(p, '~', std::size_t(end - p)));
        if (!p || end - p < std::ptrdiff_t(kTimeMessageSize))
            break;
        if (p[1] != '~' || !isMessageHeader(p) ||
            messageLength(p, std::size_t(end - p)) != kTimeMessageSize ||
            checkMessage(p, kTimeMessageSize) != CheckResult::Good) {
            ++p;
            continue;
        }
        const std::int64_t ms = std::int64_t(std::uint32_t(p[5]) | std::uint32_t(p[6]) << 8 |
                                             std::uint32_t(p[7]) << 16 | std::uint32_t(p[8]) << 24);
        if (lastOfDay >= 0 && ms + kDayMs / 2 < lastOfDay)
            day += kDayMs;
        lastOfDay = ms;
        epochs.push_back({std::uint64_t(p - data), day + ms});
        p += kTimeMessageSize;
    }
    return epochs;
}

std::size_t TReplayFile::epochAt(std::int64_t receiverMs) const {
    auto it =
        std::lower_bound(epochs_.begin(), epochs_.end(), receiverMs,
                         [](const TReplayEpoch& e, std::int64_t ms) { return e.receiverMs < ms; });
    return std::size_t(it - epochs_.begin());
}

std::uint64_t TReplayFile::epochEnd(std::size_t index) const {
    return index + 1 < epochs_.size() ? epochs_[index + 1].offset : size_;
}

} // namespace telvor
