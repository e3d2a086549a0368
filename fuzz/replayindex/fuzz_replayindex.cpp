// The epoch index of a recording: every epoch it finds is a whole, checked "~~" message inside
// the bytes, in file order and not overlapping the one before.
#include "links/Replayfile.h"
#include "protocol/Messageformat.h"

#include <cstdlib>
#include <cstring>

using namespace telvor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<TReplayEpoch> epochs = indexEpochs(data, size);
    std::uint64_t next = 0;
    for (const TReplayEpoch& e : epochs) {
        if (e.offset < next || e.offset + 10 > size || data[e.offset] != '~' ||
            data[e.offset + 1] != '~' || checkMessage(data + e.offset, 10) != CheckResult::Good)
            std::abort();
        next = e.offset + 10;
    }
    return 0;
}
