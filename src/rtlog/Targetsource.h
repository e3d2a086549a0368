#pragma once
// Where "Get from receiver" of the target position window takes its position: the current
// link and, while the stream is split into messages, the plot store (which sees every "PG").
#include "monitor/Target.h"

#include <cstdint>

namespace telvor {

class TPlotData;

class TLinkPositionSource : public TPositionSource {
public:
    explicit TLinkPositionSource(const TPlotData& data) : data_(data) {}

    bool linkOpen() override;
    bool monitoring() override;
    void clearInput() override;
    void sendLine(const std::string& line) override;
    // Monitoring or logging: the next "PG" the plot store sees. Otherwise the next "PG" in the
    // link's reply buffer, which is taken out of it.
    std::optional<TLatLon> awaitPosition(int timeoutMs) override;

private:
    const TPlotData& data_;
    std::uint64_t seen_ = 0;
};

} // namespace telvor
