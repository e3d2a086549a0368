#pragma once
// The link over a parallel port in ECP mode (link kind 1), for fast downloads. Its input
// thread polls the port while the event mask asks for data; raw mode hands the port to a
// download that reads and writes it directly.
#include "links/Parallelport.h"
#include "protocol/Link.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace telvor {

class TParallelConnection : public TReceiverConnection {
public:
    explicit TParallelConnection(const std::string& portName, TParallelBus& bus = parallelBus());
    ~TParallelConnection() override;

    int Read(std::uint8_t* buffer, int count) override;
    int Write(const std::uint8_t* bytes, int count) override;
    void WaitEvent(std::uint32_t& word) override;
    bool Reconnect(int attempts) override;

    // The port, or null when opening failed.
    TParallelPort* Port() { return port_.get(); }
    // Raw mode: the input thread leaves the port alone (mask 0) until message mode is back.
    void SetRawMode(bool on);
    bool RawMode() const { return raw_.load(); }

    std::atomic<int> PollInterval{35};

private:
    std::unique_ptr<TParallelPort> port_;
    std::atomic<bool> raw_{false};
    std::uint32_t savedMask_ = 0;
};

// Names of the bus's parallel ports added to `list` (no duplicates); the base of `wanted`,
// 0 when it is not among them.
std::uint16_t ListParallelPorts(std::vector<std::string>& list, const std::string& wanted = {},
                                TParallelBus& bus = parallelBus());

} // namespace telvor
