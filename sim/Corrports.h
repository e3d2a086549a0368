#pragma once
// The receiver's correction ports: an input pty that takes what a rover would be sent (kept in
// a record file, counted into the RTCM link status), and an output pty on which a base sends
// a steady RTCM 3 stream built from the simulator's own epochs.
#include "sim/Rtcm3.h"
#include "sim/Sky.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace telvorsim {

struct TCorrPortOptions {
    std::string inPath, recordPath, outPath; // each optional
    int stationId = 17;
};

class TCorrPorts {
public:
    TCorrPorts();
    ~TCorrPorts(); // stops
    // Opens the ports and starts their thread; an error text, empty on success.
    std::string start(const TCorrPortOptions& options);
    void stop();
    // On the receiver's thread after each epoch: the link figures from what came in, and the
    // base's frames for this epoch queued for the output port.
    void onEpoch(TEpoch& epoch);

    std::uint64_t bytesIn() const { return bytesIn_; }
    std::string inSlave() const { return inSlave_; }
    std::string outSlave() const { return outSlave_; }

private:
    class TInput;
    void run();

    TCorrPortOptions options_;
    std::unique_ptr<TInput> input_;
    std::unique_ptr<class TPtyTransport> output_;
    std::string inSlave_, outSlave_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<std::uint64_t> bytesIn_{0};
    std::mutex lock_;
    std::deque<std::vector<std::uint8_t>> outQueue_;
    int framesAtLastEpoch_ = 0;
    std::deque<bool> recent_; // per epoch: whether a frame came
    std::int64_t lastFrameMs_ = -1;
};

} // namespace telvorsim
