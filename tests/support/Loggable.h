#pragma once
// What a raw data file must hold of a receiver stream: every byte but the replies ("RE", "ER")
// and the satellite-view texts ("GS", "NS"), skipped bytes included, in order.
#include "protocol/Splitter.h"

#include <string>

namespace telvor::testing {

inline std::string loggableBytes(const std::string& stream) {
    struct TSink : TSplitterSink {
        std::string out;
        void onMessage(const std::uint8_t* m, std::size_t n) override {
            std::string id(reinterpret_cast<const char*>(m), 2);
            if (id != "RE" && id != "ER" && id != "GS" && id != "NS")
                out.append(reinterpret_cast<const char*>(m), n);
        }
        void onSkipped(const std::uint8_t* b, std::size_t n, bool) override {
            out.append(reinterpret_cast<const char*>(b), n);
        }
    } sink;
    TMessageSplitter splitter(sink);
    std::size_t at = 0;
    while (at < stream.size()) {
        const std::size_t n = std::min(stream.size() - at, splitter.space());
        splitter.feed(reinterpret_cast<const std::uint8_t*>(stream.data()) + at, n);
        at += n;
    }
    return sink.out;
}

} // namespace telvor::testing
