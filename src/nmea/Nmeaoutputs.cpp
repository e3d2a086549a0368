// The NMEA outputs: the tap, the worker that serves the pty and the TCP clients, the options.
#include "nmea/Nmeaoutputs.h"

#include "nmea/Sentences.h"
#include "protocol/Numbers.h"
#include "protocol/Tick.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace telvor {

std::string parseNmeaTcp(const std::string& text, TNmeaOutputConfig& config) {
    std::string address = config.tcpAddress, port = text;
    const std::size_t colon = text.rfind(':');
    if (colon != std::string::npos) {
        address = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (address.size() >= 2 && address.front() == '[' && address.back() == ']')
            address = address.substr(1, address.size() - 2);
    }
    const auto p = parseInteger(port, 0, 65535); // 0: any free port, told at start
    if (!p || address.empty())
        return "bad --nmea-tcp \"" + text + "\": use [ADDR:]PORT, PORT 0 to 65535";
    config.tcp = true;
    config.tcpAddress = address;
    config.tcpPort = static_cast<int>(*p);
    return {};
}

std::string parseNmeaOptions(const std::map<std::string, std::string>& options,
                             TNmeaOutputConfig& config) {
    if (auto it = options.find("nmea-pty"); it != options.end()) {
        if (it->second.empty())
            return "--nmea-pty needs a path";
        config.ptyPath = it->second;
    }
    if (auto it = options.find("nmea-tcp"); it != options.end())
        return parseNmeaTcp(it->second, config);
    return {};
}

TNmeaOutputs::~TNmeaOutputs() {
    stop();
}

std::string TNmeaOutputs::start(const TNmeaOutputConfig& config) {
    stop();
    config_ = config;
    std::string error;
    if (!config.ptyPath.empty())
        error = pty_.open(config.ptyPath);
    if (error.empty() && config.tcp)
        error = tcp_.listen(config.tcpAddress, config.tcpPort);
    if (error.empty() && ::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        error = "can't start the NMEA output";
    if (!error.empty()) {
        pty_.close();
        tcp_.close();
        return error;
    }
    stop_ = false;
    collector_.reset();
    worker_ = std::thread([this] { run(); });
    return {};
}

void TNmeaOutputs::stop() {
    if (worker_.joinable()) {
        stop_ = true;
        (void)!::write(wake_[1], "x", 1);
        worker_.join();
    }
    for (int& fd : wake_)
        if (fd >= 0)
            ::close(fd), fd = -1;
    pty_.close();
    tcp_.close();
}

void TNmeaOutputs::attach(TCommState& state) {
    state.SetMessageTap(this);
}

void TNmeaOutputs::detach(TCommState& state) {
    if (state.Tap() == this)
        state.SetMessageTap(nullptr);
}

void TNmeaOutputs::OnMessage(const std::uint8_t* message, std::size_t length) {
    if (!running() || !collector_.offer(message, length))
        return;
    send(epochSentences(collector_.epoch()));
    lastEpoch_ = tickCount();
    ++epochs_;
}

void TNmeaOutputs::send(const std::string& sentences) {
    std::lock_guard lock(writeLock_);
    if (pty_.isOpen())
        pty_.write(sentences);
    if (tcp_.isOpen())
        tcp_.write(sentences);
}

std::string TNmeaOutputs::statusText() const {
    if (!worker_.joinable())
        return {};
    std::string s = "NMEA: ";
    if (pty_.isOpen())
        s += pty_.path();
    if (tcp_.isOpen()) {
        const int n = tcp_.clientCount();
        s += std::string(pty_.isOpen() ? ", " : "") + tcp_.address() + ":" +
             std::to_string(tcp_.port()) + " (" + std::to_string(n) +
             (n == 1 ? " client)" : " clients)");
    }
    return s;
}

void TNmeaOutputs::run() {
    std::uint32_t lastNoFix = 0;
    std::vector<pollfd> polled;
    std::vector<int> fds;
    while (!stop_) {
        fds.assign({wake_[0]});
        // A pty without a reader reports a hang-up at once: the timeout paces it instead.
        if (pty_.isOpen() && pty_.readerPresent())
            fds.push_back(pty_.fd());
        tcp_.pollFds(fds);
        polled.clear();
        for (int fd : fds)
            polled.push_back({fd, POLLIN, 0});
        ::poll(polled.data(), polled.size(), 250);
        char buf[64];
        while (::read(wake_[0], buf, sizeof buf) > 0) {
        }
        pty_.drain();
        tcp_.service();
        // The receiver went quiet after it had sent epochs: "no fix" once a second.
        const std::uint32_t last = lastEpoch_.load();
        if (epochs_.load() > 0 && ticksSince(last) >= kSilenceMs && ticksSince(lastNoFix) >= 1000) {
            lastNoFix = tickCount();
            send(noFixSentences());
        }
    }
}

} // namespace telvor
