#include "sim/Corrports.h"

#include "sim/Transport.h"

#include <poll.h>

#include <chrono>
#include <cstdio>

namespace telvorsim {
namespace {

constexpr std::size_t kQualityEpochs = 10;

std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

class TCorrPorts::TInput : public TTransportSink {
public:
    TPtyTransport pty;
    std::FILE* record = nullptr;
    TRtcm3Counter counter;
    std::mutex* lock = nullptr;
    std::atomic<std::uint64_t>* bytes = nullptr;
    std::int64_t lastFrameMs = -1;

    ~TInput() override {
        if (record)
            std::fclose(record);
    }
    void onPeerConnected() override {}
    void onPeerInput(const std::uint8_t* data, std::size_t count) override {
        if (record) {
            std::fwrite(data, 1, count, record);
            std::fflush(record); // a test compares the file while we run
        }
        *bytes += count;
        std::lock_guard guard(*lock);
        const int before = counter.frames();
        counter.feed(data, count);
        if (counter.frames() != before)
            lastFrameMs = nowMs();
    }
    void onPeerGone() override {}
    std::string refusalText() override { return {}; }
};

TCorrPorts::TCorrPorts() = default;

TCorrPorts::~TCorrPorts() {
    stop();
}

std::string TCorrPorts::start(const TCorrPortOptions& options) {
    options_ = options;
    std::string error;
    if (!options.inPath.empty()) {
        input_ = std::make_unique<TInput>();
        input_->lock = &lock_;
        input_->bytes = &bytesIn_;
        if (!input_->pty.open(options.inPath, 115200, error))
            return "--corr-pty: " + error;
        inSlave_ = input_->pty.slavePath();
        if (!options.recordPath.empty() &&
            !(input_->record = std::fopen(options.recordPath.c_str(), "ab")))
            return "--corr-record: cannot open " + options.recordPath;
    }
    if (!options.outPath.empty()) {
        output_ = std::make_unique<TPtyTransport>();
        if (!output_->open(options.outPath, 115200, error))
            return "--corr-out-pty: " + error;
        outSlave_ = output_->slavePath();
    }
    if (input_ || output_)
        thread_ = std::thread([this] { run(); });
    return {};
}

void TCorrPorts::stop() {
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
    input_.reset();
    output_.reset();
}

void TCorrPorts::onEpoch(TEpoch& e) {
    std::lock_guard guard(lock_);
    if (output_) {
        outQueue_.push_back(rtcm3Station(options_.stationId, e.antenna));
        auto observations = rtcm3GpsObservations(options_.stationId, e);
        if (observations.size() > 14) // a base sends no observations before it tracks
            outQueue_.push_back(std::move(observations));
        while (outQueue_.size() > 20) // nobody reads: keep only the newest
            outQueue_.pop_front();
    }
    if (!input_)
        return;
    const int frames = input_->counter.frames();
    recent_.push_back(frames != framesAtLastEpoch_);
    framesAtLastEpoch_ = frames;
    if (recent_.size() > kQualityEpochs)
        recent_.pop_front();
    e.rtcmLink = frames > 0;
    if (!e.rtcmLink)
        return;
    int good = 0;
    for (bool b : recent_)
        good += b;
    e.rtcmMessages = frames % 10000;
    e.rtcmErrors = input_->counter.errors() % 10000;
    e.linkQuality = 100.0 * good / static_cast<double>(recent_.size());
}

void TCorrPorts::run() {
    struct TNoSink : TTransportSink {
        void onPeerConnected() override {}
        void onPeerInput(const std::uint8_t*, std::size_t) override {}
        void onPeerGone() override {}
        std::string refusalText() override { return {}; }
    } outSink;
    while (!stopping_) {
        std::vector<pollfd> fds;
        if (input_) {
            input_->pty.refresh(*input_);
            input_->pty.addPollFds(fds, false);
        }
        const std::size_t outAt = fds.size();
        if (output_) {
            output_->refresh(outSink);
            output_->addPollFds(fds, false);
        }
        ::poll(fds.data(), fds.size(), 20);
        if (input_)
            input_->pty.onPoll(fds.data(), *input_);
        if (output_)
            output_->onPoll(fds.data() + outAt, outSink); // a base ignores what it is sent
        std::deque<std::vector<std::uint8_t>> frames;
        {
            std::lock_guard guard(lock_);
            frames.swap(outQueue_);
        }
        for (const auto& f : frames)
            if (output_ && output_->peerPresent())
                output_->write(f.data(), f.size());
    }
}

} // namespace telvorsim
