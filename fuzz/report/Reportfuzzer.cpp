// Receiver answers, one a line, handed to the report's builders in the order they ask: every
// model, version and odd value must give complete texts without a crash.
#include "fuzz/Fuzzflags.h"
#include "info/Receiverinfo.h"
#include "info/Reportlayout.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

class TFuzzSource : public telvor::TParamSource {
public:
    explicit TFuzzSource(std::string_view data) : data_(data) {}
    std::string value(const std::string&) override {
        if (data_.empty())
            return telvor::kUnknownValue;
        std::size_t end = data_.find('\n');
        std::string v(data_.substr(0, end));
        data_ = end == std::string_view::npos ? std::string_view() : data_.substr(end + 1);
        return v;
    }

private:
    std::string_view data_;
};

} // namespace

// The report asks some seventy questions, each answered in a short line; longer inputs only
// slow the search.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    telvorfuzz::PrependFlags(argc, argv, {"-max_len=1024"});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    // The first two bytes pick the firmware number around the thresholds that matter.
    const int version = 1000 + (data[0] << 8 | data[1]) % 1100;
    std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    TFuzzSource memo(rest), fixed(rest), report(rest);
    auto lines = telvor::receiverMemo(memo, version);
    if (lines.empty() || lines.front().rfind("Receiver model:\t", 0) != 0)
        std::abort();
    if (telvor::fixedLayout(fixed, version).empty() ||
        telvor::reportLayout(report, version).empty())
        std::abort();
    std::string sn(rest.substr(0, rest.find('\n')));
    std::string name = telvor::proposedReportName(sn);
    if (name.size() < 6 || name.compare(name.size() - 4, 4, ".txt") != 0)
        std::abort();
    return 0;
}
