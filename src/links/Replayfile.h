#pragma once
// A recorded raw data file (.vxr) opened for replay: its bytes, mapped read-only, and the index
// of its epochs, the "~~" receiver-time messages that start them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace telvor {

struct TReplayEpoch {
    std::uint64_t offset = 0; // of the "~~" message
    // Receiver time of day in ms, counted on across midnights so that it only grows with the
    // file (a step back of more than half a day is taken as the next day).
    std::int64_t receiverMs = 0;
};

// The epochs of a recording's bytes, in file order.
std::vector<TReplayEpoch> indexEpochs(const std::uint8_t* data, std::size_t size);

class TReplayFile {
public:
    TReplayFile() = default;
    ~TReplayFile();
    TReplayFile(const TReplayFile&) = delete;
    TReplayFile& operator=(const TReplayFile&) = delete;

    // Maps the file and indexes its epochs; the error text, empty when it can be replayed.
    std::string open(const std::string& path);

    const std::uint8_t* data() const { return data_; }
    std::uint64_t size() const { return size_; }
    const std::vector<TReplayEpoch>& epochs() const { return epochs_; }
    // The first epoch at or after `receiverMs`; epochs().size() when there is none.
    std::size_t epochAt(std::int64_t receiverMs) const;
    // Where the bytes of the stream after epoch `index` end: the next epoch, or the file's end.
    std::uint64_t epochEnd(std::size_t index) const;

private:
    int fd_ = -1;
    const std::uint8_t* data_ = nullptr;
    std::uint64_t size_ = 0;
    std::vector<TReplayEpoch> epochs_;
};

} // namespace telvor
