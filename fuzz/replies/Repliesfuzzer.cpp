// Receiver replies as the command engine reads them: whatever lands in the reply buffer is
// searched for "RE"/"ER", trimmed, and read as list notation. Nothing may crash or hang.
#include "links/Portio.h"
#include "protocol/Commtools.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// A link whose reply buffer the fuzzer fills directly; it never reads from a device.
class TFuzzLink : public telvor::TReceiverConnection {
public:
    TFuzzLink() : TReceiverConnection(telvor::kLinkSerial) {}
    int Read(std::uint8_t*, int) override { return 0; }
    int Write(const std::uint8_t*, int count) override { return count; }
    void WaitEvent(std::uint32_t& word) override { word = 0; }
};

void readReplies(const std::uint8_t* data, std::size_t size) {
    telvor::FeedInput(data, static_cast<int>(size));
    for (const char* id : {"RE", "ER", "REER"}) {
        if (!telvor::AwaitReply(id, 0))
            continue;
        for (int offset : {0, 5, 7, 4100}) {
            std::string text = telvor::ReplyText(offset);
            if (text.size() > 8192)
                std::abort();
            bool complete = telvor::ValueComplete(text);
            auto items = telvor::SplitItems(text);
            std::size_t total = 0;
            for (const auto& item : items)
                total += item.size();
            // Splitting only removes separators.
            if (total > text.size())
                std::abort();
            (void)complete;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TFuzzLink* link = [] {
        auto* l = new TFuzzLink;
        telvor::CurrentConnection = l;
        return l;
    }();
    link->Input.Clear();
    // The buffer takes at most 8192 bytes; feed the rest as a second chunk as the thread would.
    std::size_t first = size < 4096 ? size : 4096;
    readReplies(data, first);
    if (size > first)
        readReplies(data + first, size - first);
    return 0;
}
