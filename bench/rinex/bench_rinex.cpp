// Conversion throughput of a day of 1 Hz raw data with 22 satellites, made here in memory,
// against the splitter alone over the same bytes. Prints figures; never fails on time.
#include "protocol/Crc16.h"
#include "protocol/Splitter.h"
#include "rinex/Rinexwriter.h"
#include "rinex/Vxrreader.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

template <typename T> void put(std::string& s, T v) {
    char b[sizeof v];
    std::memcpy(b, &v, sizeof v);
    s.append(b, sizeof v);
}

void frame(std::string& out, const char* id, const std::string& body, bool crc) {
    char head[6];
    std::snprintf(head, sizeof head, "%c%c%03X", id[0], id[1], unsigned(body.size() + 2));
    std::string m = std::string(head, 5) + body;
    std::uint16_t c = telvor::crc16(0, m.data(), m.size());
    if (crc)
        m += std::string{char(c & 0xff), char(c >> 8)};
    out += m;
}

std::string dayOfRawData(int epochs, int sats) {
    std::string out;
    for (int e = 0; e < epochs; ++e) {
        std::string b;
        put<std::uint16_t>(b, 2448);
        put<std::uint32_t>(b, std::uint32_t(e) * 1000);
        b += char(sats);
        b += char(0);
        put<double>(b, 1e-4);
        for (int k = 0; k < sats; ++k) {
            b += char(k < 12 ? 0 : 1);
            b += char(k < 12 ? k + 1 : k - 11);
            b += char(k < 12 ? 0 : k - 18);
            b += char(0);
            double r = 2.1e7 + 1e5 * k + 700.0 * e;
            for (int band = 0; band < 2; ++band) {
                put<double>(b, r + band * 3.1);
                put<double>(b, r / (band ? 0.2442 : 0.1903));
                put<float>(b, -3680.5f + k);
                put<std::uint16_t>(b, 4500);
                put<std::uint32_t>(b, std::uint32_t(e) * 1000);
            }
        }
        frame(out, "rM", b, true);
        out += "~~005\x01\x02\x03\x04\x05"; // an upper-case message in between, as in a recording
    }
    return out;
}

struct TCount : telvor::TSplitterSink {
    std::size_t messages = 0, skipped = 0;
    void onMessage(const std::uint8_t*, std::size_t) override { ++messages; }
    void onSkipped(const std::uint8_t*, std::size_t n, bool) override { skipped += n; }
};

double seconds(auto&& f) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

} // namespace

int main() {
    const std::string raw = dayOfRawData(86400, 22);
    const auto* p = reinterpret_cast<const std::uint8_t*>(raw.data());
    const double mb = raw.size() / 1e6;
    std::size_t text = 0, epochs = 0;
    double read = 0, convert = seconds([&] {
                         telvor::TVxrContent c;
                         read = seconds([&] { c = telvor::readVxr(p, raw.size()); });
                         epochs = c.epochs.size();
                         text = telvor::rinexObservations(c, {}).size();
                     });
    TCount count;
    double split = seconds([&] {
        telvor::TMessageSplitter s(count);
        for (std::size_t at = 0; at < raw.size();) {
            std::size_t n = std::min(raw.size() - at, s.space());
            s.feed(p + at, n);
            at += n;
        }
    });
    std::printf("raw file: %.1f MB, %zu epochs of 22 satellites; RINEX 3.04 text %.1f MB\n", mb,
                epochs, text / 1e6);
    std::printf("conversion: %.3f s, %.1f MB/s (reading %.3f s, %.1f MB/s)\n", convert,
                mb / convert, read, mb / read);
    std::printf("splitter alone: %.3f s, %.1f MB/s; conversion takes %.1f x the splitter\n", split,
                mb / split, convert / split);
    return 0;
}
