// Arbitrary monitor messages into the NMEA epoch collector, and every epoch end into the
// sentence builder: no read past a message, and every sentence stays a well-formed NMEA line
// of at most 82 characters with its checksum.
#include "nmea/Nmeaepoch.h"
#include "nmea/Sentences.h"
#include "protocol/Messageformat.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace telvor;

namespace {

constexpr const char* kIds[] = {"~~", "RD", "SI", "NN", "EL", "AZ", "EC",
                                "SS", "PV", "PG", "DP", "||", "GS", "MS"};

std::vector<std::uint8_t> makeMessage(FuzzedDataProvider& in) {
    const char* id = in.PickValueInArray(kIds);
    const std::string body = in.ConsumeRandomLengthString(300);
    std::vector<std::uint8_t> m = {static_cast<std::uint8_t>(id[0]),
                                   static_cast<std::uint8_t>(id[1])};
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03zX", (body.size() + 1) & 0xFFF);
    m.insert(m.end(), digits, digits + 3);
    m.insert(m.end(), body.begin(), body.end());
    if (in.ConsumeBool()) // checksum made right, so that the body is read
        m.push_back(rotatingChecksum(m.data(), m.size()));
    if (in.ConsumeBool() && !m.empty())
        m.resize(in.ConsumeIntegralInRange<std::size_t>(0, m.size()));
    return m;
}

[[noreturn]] void fail(const std::string& all) {
    std::fprintf(stderr, "bad sentences:\n%s\n", all.c_str());
    std::abort();
}

void checkSentences(const std::string& all) {
    std::size_t from = 0;
    while (from < all.size()) {
        const std::size_t end = all.find("\r\n", from);
        if (end == std::string::npos || end + 2 - from > 82 || all[from] != '$')
            fail(all);
        const std::size_t star = all.rfind('*', end);
        if (star == std::string::npos || star < from || star + 3 != end)
            fail(all);
        const std::string_view body(all.data() + from + 1, star - from - 1);
        if (std::strtol(all.substr(star + 1, 2).c_str(), nullptr, 16) != nmeaChecksum(body))
            fail(all);
        from = end + 2;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    TNmeaCollector collector;
    while (in.remaining_bytes() > 0) {
        const std::vector<std::uint8_t> m = makeMessage(in);
        // A buffer of exactly the message's size: a read past it is caught.
        std::vector<std::uint8_t> exact(m);
        if (collector.offer(exact.data(), exact.size()))
            checkSentences(epochSentences(collector.epoch()));
    }
    return 0;
}
