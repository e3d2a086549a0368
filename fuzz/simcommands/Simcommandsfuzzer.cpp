// Whatever arrives on the simulated receiver's port: every answer it gives must be a framed,
// checked message, and an epoch after it must still be well formed.
#include "fuzz/Fuzzflags.h"
#include "protocol/Messageformat.h"
#include "sim/Engine.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class TCheckingHost : public telvorsim::TEngineHost {
public:
    void send(std::string bytes, bool) override {
        auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
        // While a file transfer runs the port carries one whole block at a time instead.
        if (engine && engine->transfer().active()) {
            if (bytes.size() < 32 + 6 || bytes.size() > 4096 + 6 || (p[0] != 0x02 && p[0] != 0x04))
                std::abort();
            return;
        }
        std::size_t at = 0;
        while (at < bytes.size()) {
            std::size_t left = bytes.size() - at;
            // Raw measurements carry a lower-case id that the splitter never takes; their
            // framing and CRC are checked all the same.
            const bool raw = left >= telvor::kHeaderSize && p[at] == 'r' && p[at + 1] == 'M';
            if (left < telvor::kHeaderSize || (!raw && !telvor::isMessageHeader(p + at)))
                std::abort();
            std::size_t length = telvor::messageLength(p + at, left);
            if (length > left || telvor::checkMessage(p + at, length) != telvor::CheckResult::Good)
                std::abort();
            at += length;
        }
    }
    void switchRateAfterOutput(unsigned) override {}
    void restartAfterOutput(bool) override {}
    const telvorsim::TEngine* engine = nullptr;
};

} // namespace

constexpr std::int64_t kStartMs = 1700000000000;

// The engine outlives the inputs, and values it keeps (parameter texts grown by a "set") hold
// their memory, so the allocations of one input rarely balance; libFuzzer's leak check would
// then scan the heap after nearly every input, at three times the cost of the input itself.
// The unit tests under the asan preset look for the simulator's leaks.
// A command line is short: 512 bytes still hold a dozen commands, and longer inputs mostly
// make the run slower, not deeper.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    telvorfuzz::PrependFlags(argc, argv, {"-detect_leaks=0", "-max_len=512"});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Parsing the parameter table costs more than any input: one engine, switched on afresh
    // after each input (factory parameters and files, no outputs, the same clock).
    static TCheckingHost host;
    static telvorsim::TEngine& engine = []() -> telvorsim::TEngine& {
        telvorsim::TSimOptions options;
        options.startMs = kStartMs;
        auto* e = new telvorsim::TEngine(options, host, "/dev/ser/a", kStartMs);
        host.engine = e;
        return *e;
    }();
    // Eight line ends are enough for any sequence of commands to meet; an input of dozens
    // of whole-tree prints would only make the run slow.
    std::size_t used = 0;
    for (int ends = 0; used < size && ends < 8; ++used)
        if (data[used] == '\r' || data[used] == '\n')
            ++ends;
    engine.receive(data, used);
    engine.receive(reinterpret_cast<const std::uint8_t*>("\r"), 1);
    // Without outputs an epoch sends nothing to check.
    if (!engine.enabledMessages().empty())
        engine.runEpoch(true);
    engine.powerUp(kStartMs);
    return 0;
}
