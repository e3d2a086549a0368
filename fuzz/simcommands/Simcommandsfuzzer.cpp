// Whatever arrives on the simulated receiver's port: every answer it gives must be a framed,
// checked message, and an epoch after it must still be well formed.
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
        std::size_t at = 0;
        while (at < bytes.size()) {
            std::size_t left = bytes.size() - at;
            if (left < telvor::kHeaderSize || !telvor::isMessageHeader(p + at))
                std::abort();
            std::size_t length = telvor::messageLength(p + at, left);
            if (length > left || telvor::checkMessage(p + at, length) != telvor::CheckResult::Good)
                std::abort();
            at += length;
        }
    }
    void switchRateAfterOutput(unsigned) override {}
    void restartAfterOutput(bool) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TCheckingHost host;
    telvorsim::TSimOptions options;
    options.startMs = 1700000000000;
    telvorsim::TEngine engine(options, host, "/dev/ser/a", options.startMs);
    engine.receive(data, size);
    engine.receive(reinterpret_cast<const std::uint8_t*>("\r"), 1);
    engine.runEpoch(true);
    return 0;
}
