// Arbitrary messages into every monitor decoder: a valid header with any body, wrong length
// digits, bodies cut short or overlong, good and bad checksums. Each message sits in a buffer
// of exactly its own size, so any read past it is caught.
#include "fuzz/Fuzzflags.h"
#include "monitor/Displaytick.h"
#include "monitor/Parsers.h"
#include "monitor/Plotdata.h"
#include "monitor/Skymap.h"
#include "protocol/Messageformat.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <vector>

using namespace telvor;

namespace {

constexpr const char* kIds[] = {"~~", "RD", "SI", "NN", "EL", "AZ", "EC", "E1", "E2", "SS", "TC",
                                "DC", "PV", "PG", "DO", "OO", "TT", "DP", "PO", "VE", "GA", "NA",
                                "MS", "SG", "GS", "NS", "XA", "XB", "RE", "ER", "||", "QF"};

std::vector<std::uint8_t> makeMessage(FuzzedDataProvider& in) {
    const char* id = in.PickValueInArray(kIds);
    int lengthMode = in.ConsumeIntegralInRange(0, 3);
    std::string body = in.ConsumeRandomLengthString(1100);
    std::vector<std::uint8_t> m = {static_cast<std::uint8_t>(id[0]),
                                   static_cast<std::uint8_t>(id[1])};
    std::size_t announced = lengthMode == 1 ? in.ConsumeIntegralInRange<std::size_t>(0, 0xFFF)
                                            : body.size() + (lengthMode == 0 ? 1 : 0);
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03zX", announced & 0xFFF);
    m.insert(m.end(), digits, digits + 3);
    m.insert(m.end(), body.begin(), body.end());
    if (lengthMode == 0) // binary checksum made right
        m.push_back(rotatingChecksum(m.data(), m.size()));
    if (lengthMode == 3) { // hexadecimal checksum made right
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", rotatingChecksum(m.data(), m.size()));
        m.push_back(static_cast<std::uint8_t>(hex[0]));
        m.push_back(static_cast<std::uint8_t>(hex[1]));
    }
    if (in.ConsumeBool() && !m.empty()) // cut anywhere, even inside the header
        m.resize(in.ConsumeIntegralInRange<std::size_t>(0, m.size()));
    return m;
}

struct Slots : TSlotSource {
    std::vector<std::vector<std::uint8_t>> pending;
    void takeSlots(TSlotCopies& out) override {
        for (auto& s : out.rows)
            s.length = 0;
        for (const auto& m : pending) {
            if (m.size() < 2 || m.size() >= TLatestMessages::kSlotSize)
                continue;
            int row = TLatestMessages::RowOf(static_cast<char>(m[0]), static_cast<char>(m[1]));
            if (row < 0)
                continue;
            auto& s = out.rows[static_cast<std::size_t>(row)];
            std::copy(m.begin(), m.end(), s.bytes.begin());
            s.length = m.size();
        }
        pending.clear();
    }
};

using Host = TQuietMonitorHost;

} // namespace

// A kilobyte holds a dozen ordinary messages or one of the longest; inputs grown to 4 KB
// halve the rate without reaching another decoder state.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    telvorfuzz::PrependFlags(argc, argv, {"-max_len=1024"});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    // Building the views' label tables costs more than most inputs; they are emptied by the
    // display reset at the end.
    static TMonitorView main;
    static TMonitorView logging(TViewKind::Logging);
    TTargetPoint target;
    TMonitorDecoder decoder(main, target);
    decoder.setDebugSink([](const std::string&) {});
    Host host;
    Slots slotSource;
    TMonitorDisplay display(decoder, host, slotSource);
    // The store's rings are a quarter megabyte: one store, emptied after each input. What it
    // keeps besides (the last "SG" and "DP") only feeds texts.
    static std::uint32_t now = 0;
    static TPlotData plot(3600, [] { return now; });
    now = 0;
    TSkyTracks sky;
    sky.setGeometry(TSkyGeometry::forSize(300, 200));

    // A few dozen messages reach every decoder state; more only make the input slow.
    for (int count = 0; count < 32 && in.remaining_bytes() > 0; ++count) {
        std::vector<std::uint8_t> owned = makeMessage(in);
        // An exact-size heap copy: ASan sees every byte past the end.
        std::unique_ptr<std::uint8_t[]> m(new std::uint8_t[owned.size() + 1]);
        std::copy(owned.begin(), owned.end(), m.get());
        const std::size_t n = owned.size();
        switch (in.ConsumeIntegralInRange(0, 7)) {
        case 0:
            decoder.setLoggingView(in.ConsumeBool() ? &logging : nullptr);
            break;
        case 1:
            decoder.armTargetCapture();
            break;
        case 2:
            display.columnClick(in.ConsumeBool(), in.ConsumeIntegralInRange(-1, 9));
            break;
        case 3:
            decoder.deltaDoubleClick(in.ConsumeBool());
            break;
        default:
            break;
        }
        decoder.decode(m.get(), n);
        decoder.noteAlmanac(m.get(), n);
        decoder.countEvent(m.get(), n);
        plot.feed(m.get(), n);
        positionOfPg(m.get(), n);
        if (n >= 2)
            slotSource.pending.push_back(owned);
        if (in.ConsumeBool()) {
            display.tick(true);
            now += 1000;
            TDrained d = plot.drain();
            for (const auto& v : d.views)
                sky.apply(v, nullptr);
            signalPanel(sky, plot.dops());
        }
    }
    display.tick(false);
    decoder.setLoggingView(&logging);
    decoder.resetDisplay();
    plot.resetPositions();
    plot.resetSatellites();
    return 0;
}
