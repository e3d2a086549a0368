// Any reply text as a port's output, as the receiver's set expansions and as a reference
// position: recognition and parsing must neither crash nor read outside the text.
#include "config/Baseconfig.h"
#include "config/Presets.h"
#include "fuzz/Fuzzflags.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// Every parameter answers the fuzz text; the first byte picks which ones stay silent.
class TFuzzReader : public telvor::TParamReader {
public:
    TFuzzReader(std::string text, unsigned silent) : text_(std::move(text)), silent_(silent) {}
    std::optional<std::string> print(const std::string&) override { return next(); }
    std::optional<std::string> collect(const std::string&) override { return next(); }

private:
    std::optional<std::string> next() {
        if (silent_ & (1u << (calls_++ % 8)))
            return std::nullopt;
        return text_;
    }
    std::string text_;
    unsigned silent_;
    unsigned calls_ = 0;
};

class TNoHost : public telvor::TConfigHost {
public:
    bool waitShown() const override { return true; }
    void showWait(const std::string&) override {}
    void closeWait() override {}
    void setStatus(const std::string&) override {}
    void showPage(const std::string&) override {}
};

class TNoSink : public telvor::TParamSink {
public:
    bool set(const std::string&, const std::string&) override { return true; }
};

} // namespace

// Every parameter reads the same text, so a long one costs many times over; the replies these
// units take apart are a few hundred bytes.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    telvorfuzz::PrependFlags(argc, argv, {"-max_len=512"});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    TFuzzReader in(text, data[0]);
    const auto found = telvor::DetectPreset(in, "/dev/ser/b");
    if (found.ok)
        telvor::PresetCommand("/dev/ser/b", found.caption, found.period);
    telvor::ParseAngleText(text);
    // Built once, as the window keeps its page between refreshes: the rows cost more to make
    // than one refresh costs to read.
    static telvor::TBasePage base;
    TNoHost host;
    base.refresh(in, host);
    TNoSink sink;
    base.script(sink);
    return 0;
}
