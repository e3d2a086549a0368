#include "sim/Receiver.h"

#include "sim/Engine.h"
#include "sim/Faults.h"
#include "sim/Login.h"
#include "sim/Transport.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>

namespace telvorsim {
namespace {

constexpr std::size_t kPacedDataRoom = 8192;   // a serial port's output buffer
constexpr std::size_t kDataRoom = 256 * 1024;  // a peer that reads slowly over a socket
constexpr std::size_t kHardRoom = 1024 * 1024; // never more, whatever it is
constexpr int kPaceWakeMs = 5;
constexpr std::size_t kMaxDelayed = 4096; // replies held back at once

std::int64_t steadyUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

class TSimReceiver::TImpl : public TEngineHost, public TTransportSink {
public:
    explicit TImpl(TSimOptions options) : opt(std::move(options)), random(opt.seed) {}
    ~TImpl() override { stop(); }

    bool start(std::unique_ptr<TTransport> t, const std::string& portName);
    void stop();
    void loop();

    // TEngineHost
    void send(std::string bytes, bool reply) override;
    void switchRateAfterOutput(unsigned newRate) override {
        pushMarker({"", 0, true, TOut::Rate, newRate});
    }
    void restartAfterOutput(bool clearNvram) override {
        restartPending = true;
        TOut m{"", 0, true, TOut::Restart, 0};
        m.clearNvram = clearNvram;
        pushMarker(std::move(m));
    }

    // TTransportSink
    void onPeerConnected() override;
    void onPeerInput(const std::uint8_t* data, std::size_t count) override;
    void onPeerGone() override;
    std::string refusalText() override { return TLogin::refusal(); }

    struct TOut {
        enum Marker { None, Rate, Restart, HangUp };
        std::string bytes;
        std::size_t off = 0;
        bool reply = false;
        Marker marker = None;
        unsigned rate = 0;
        bool clearNvram = false;
    };

    void enqueue(TOut out);
    void pushMarker(TOut marker);
    void pump(std::int64_t nowUs);
    void beginSilence(bool clearNvram, std::int64_t nowMs);
    bool mismatch() const {
        if (!transport->paced())
            return false;
        unsigned peer = transport->peerRate();
        return peer != 0 && peer != rate;
    }
    bool silentFault(std::int64_t nowMs) const {
        return opt.faults.silentAfterMs >= 0 && nowMs - faultsSetMs >= opt.faults.silentAfterMs;
    }
    bool silent(std::int64_t nowMs) const {
        return silentUntilMs >= 0 || nowMs < lineDownUntilMs || silentFault(nowMs);
    }
    void lineDown(std::int64_t nowMs);
    std::int64_t nowMs() const { return steadyUs() / 1000; }
    void log(const std::string& text) const {
        if (opt.verbose && opt.log)
            opt.log(text);
    }

    TSimOptions opt;
    mutable std::mutex mu;
    std::unique_ptr<TTransport> transport;
    std::unique_ptr<TEngine> engine;
    std::thread thread;
    int wake[2] = {-1, -1};
    std::atomic<bool> stopping{false};
    bool started = false;
    std::string error;

    unsigned rate = 0;
    std::deque<TOut> queue;
    std::size_t queued = 0;
    std::deque<std::pair<std::int64_t, TOut>> delayed; // replies held back by the fault
    TFaultRandom random;
    double credit = 0;
    std::int64_t creditUs = 0;

    bool restartPending = false;
    std::int64_t silentUntilMs = -1;
    bool silenceClears = false;
    std::int64_t startWallMs = 0, nextEpochMs = 0;
    std::int64_t faultsSetMs = 0; // "silent after" counts from here
    std::int64_t sentSinceFaults = 0;
    std::int64_t lineDownUntilMs = -1;
    int corruptRun = 0;

    std::unique_ptr<TLogin> login;
    bool loggedIn = false;
};

bool TSimReceiver::TImpl::start(std::unique_ptr<TTransport> t, const std::string& portName) {
    transport = std::move(t);
    std::int64_t startMs = opt.startMs;
    if (startMs < 0) {
        using namespace std::chrono;
        startMs = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
        startMs -= startMs % 1000; // epochs fall on whole seconds
    }
    opt.epochWallMs = std::max(1, opt.epochWallMs);
    opt.epochStepMs = std::max(1, opt.epochStepMs);
    engine = std::make_unique<TEngine>(opt, *this, portName, startMs);
    rate = engine->portRate() ? engine->portRate() : opt.baud;
    if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = "pipe failed";
        return false;
    }
    startWallMs = faultsSetMs = nowMs();
    nextEpochMs = startWallMs + opt.epochWallMs;
    creditUs = steadyUs();
    started = true;
    thread = std::thread([this] { loop(); });
    return true;
}

void TSimReceiver::TImpl::stop() {
    if (thread.joinable()) {
        stopping = true;
        char c = 0;
        [[maybe_unused]] auto n = ::write(wake[1], &c, 1);
        thread.join();
    }
    std::lock_guard lock(mu);
    transport.reset();
    for (int& fd : wake)
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
}

void TSimReceiver::TImpl::send(std::string bytes, bool reply) {
    std::int64_t now = nowMs();
    if (silent(now) || !transport->peerPresent())
        return;
    TOut out;
    out.bytes = damage(bytes, opt.faults.corrupt, opt.faults.drop, random, opt.faults.corruptBurst,
                       &corruptRun);
    out.reply = reply;
    if (reply && opt.faults.replyDelayMs > 0) {
        if (delayed.size() < kMaxDelayed)
            delayed.emplace_back(now + opt.faults.replyDelayMs, std::move(out));
        return;
    }
    enqueue(std::move(out));
}

void TSimReceiver::TImpl::enqueue(TOut out) {
    std::size_t room = out.reply ? kHardRoom : transport->paced() ? kPacedDataRoom : kDataRoom;
    // A full output buffer loses whole data messages, as the receiver's own buffer would.
    if (queued + out.bytes.size() > room)
        return;
    queued += out.bytes.size();
    queue.push_back(std::move(out));
}

void TSimReceiver::TImpl::pushMarker(TOut marker) {
    if (!delayed.empty())
        delayed.emplace_back(delayed.back().first, std::move(marker));
    else
        queue.push_back(std::move(marker));
}

void TSimReceiver::TImpl::beginSilence(bool clearNvram, std::int64_t now) {
    log("restart");
    restartPending = false;
    silentUntilMs = now + std::max(0, opt.resetSilenceMs);
    silenceClears = clearNvram;
    queue.clear();
    delayed.clear();
    queued = 0;
    if (transport->needsLogin()) {
        transport->dropPeer();
        transport->setAccepting(false);
        login.reset();
        loggedIn = false;
    }
}

void TSimReceiver::TImpl::lineDown(std::int64_t now) {
    log("line down");
    opt.faults.lineDownAfterBytes = -1;
    lineDownUntilMs = now + std::max(0, opt.faults.lineDownMs);
    queue.clear();
    delayed.clear();
    queued = 0;
    engine->dropPartialLine();
}

void TSimReceiver::TImpl::pump(std::int64_t nowUs) {
    std::int64_t now = nowUs / 1000;
    while (!delayed.empty() && delayed.front().first <= now) {
        TOut out = std::move(delayed.front().second);
        delayed.pop_front();
        if (out.marker == TOut::None)
            enqueue(std::move(out));
        else
            queue.push_back(std::move(out));
    }
    if (transport->paced()) {
        double perUs = rate / 10.0 / 1e6; // 8N1: ten bits a byte
        credit += (nowUs - creditUs) * perUs;
        credit = std::min(credit, std::max(64.0, rate / 10.0 / 100)); // at most 10 ms in a burst
    }
    creditUs = nowUs;
    std::uint8_t buffer[4096];
    while (!queue.empty()) {
        TOut& f = queue.front();
        if (f.marker == TOut::Rate) {
            log("rate " + std::to_string(f.rate));
            rate = f.rate;
            queue.pop_front();
            continue;
        }
        if (f.marker == TOut::Restart) {
            bool clears = f.clearNvram;
            queue.pop_front();
            beginSilence(clears, now);
            return;
        }
        if (f.marker == TOut::HangUp) {
            queue.pop_front();
            transport->dropPeer();
            onPeerGone();
            return;
        }
        if (!transport->peerPresent()) {
            queued -= f.bytes.size() - f.off;
            queue.pop_front();
            continue;
        }
        std::size_t n = std::min(f.bytes.size() - f.off, sizeof buffer);
        if (transport->paced())
            n = std::min(n, static_cast<std::size_t>(credit));
        const std::int64_t downAt = opt.faults.lineDownAfterBytes;
        if (downAt >= 0 && sentSinceFaults >= downAt) {
            lineDown(now);
            return;
        }
        if (downAt >= 0)
            n = std::min(n, static_cast<std::size_t>(downAt - sentSinceFaults));
        if (n == 0)
            return;
        std::copy_n(reinterpret_cast<const std::uint8_t*>(f.bytes.data()) + f.off, n, buffer);
        if (mismatch())
            garble(buffer, n, random);
        long w = transport->write(buffer, n);
        if (w < 0) {
            onPeerGone();
            return;
        }
        if (w == 0)
            return;
        if (opt.onOutput)
            opt.onOutput(buffer, static_cast<std::size_t>(w));
        f.off += static_cast<std::size_t>(w);
        sentSinceFaults += w;
        queued -= static_cast<std::size_t>(w);
        credit -= static_cast<double>(w);
        if (f.off == f.bytes.size())
            queue.pop_front();
    }
}

void TSimReceiver::TImpl::onPeerConnected() {
    log("peer connected");
    if (transport->needsLogin()) {
        login = std::make_unique<TLogin>(opt.password);
        loggedIn = false;
        enqueue({TLogin::greeting(), 0, true});
    }
}

void TSimReceiver::TImpl::onPeerGone() {
    log("peer gone");
    // The receiver acts on a command whether or not anyone reads its reply: a rate change or
    // a restart still waiting behind unsent output takes effect now.
    bool restart = false, clears = false;
    auto settle = [&](const TOut& out) {
        if (out.marker == TOut::Rate)
            rate = out.rate;
        else if (out.marker == TOut::Restart) {
            restart = true;
            clears = clears || out.clearNvram;
        }
    };
    for (const TOut& out : queue)
        settle(out);
    for (const auto& entry : delayed)
        settle(entry.second);
    queue.clear();
    delayed.clear();
    queued = 0;
    engine->dropPartialLine();
    login.reset();
    loggedIn = false;
    if (restart)
        beginSilence(clears, nowMs());
}

void TSimReceiver::TImpl::onPeerInput(const std::uint8_t* data, std::size_t count) {
    std::int64_t now = nowMs();
    if (silent(now) || restartPending)
        return;
    if (mismatch()) {
        // At the wrong rate the receiver's UART sees only framing errors.
        engine->dropPartialLine();
        return;
    }
    if (transport->needsLogin() && !loggedIn) {
        if (!login)
            return;
        TLogin::TStep step = login->feed(data, count);
        if (!step.answer.empty())
            enqueue({step.answer, 0, true});
        if (step.hangUp) {
            queue.push_back({"", 0, true, TOut::HangUp});
            return;
        }
        if (!step.loggedIn)
            return;
        log("logged in");
        loggedIn = true;
        data += step.used;
        count -= step.used;
    }
    engine->receive(data, count);
}

void TSimReceiver::TImpl::loop() {
    std::vector<pollfd> fds;
    for (;;) {
        int timeout;
        {
            std::lock_guard lock(mu);
            std::int64_t nowUs = steadyUs(), now = nowUs / 1000;
            int hint = transport->refresh(*this);
            if (silentUntilMs >= 0 && now >= silentUntilMs) {
                silentUntilMs = -1;
                engine->reboot(silenceClears);
                if (unsigned r = engine->portRate())
                    rate = r;
                transport->setAccepting(true);
                log("restarted at " + std::to_string(rate));
            }
            while (now >= nextEpochMs) {
                engine->runEpoch(!silent(now) && !restartPending);
                nextEpochMs += opt.epochWallMs;
                if (now - nextEpochMs > 5 * opt.epochWallMs) // asleep for long: do not catch up
                    nextEpochMs = now + opt.epochWallMs;
            }
            pump(nowUs);

            std::int64_t wait = nextEpochMs - now;
            if (hint >= 0)
                wait = std::min<std::int64_t>(wait, hint);
            if (silentUntilMs >= 0)
                wait = std::min(wait, silentUntilMs - now);
            if (!delayed.empty())
                wait = std::min(wait, delayed.front().first - now);
            bool pending = !queue.empty();
            if (pending && transport->paced())
                wait = std::min<std::int64_t>(wait, kPaceWakeMs);
            timeout = static_cast<int>(std::clamp<std::int64_t>(wait, 0, 1000));

            fds.clear();
            fds.push_back({wake[0], POLLIN, 0});
            transport->addPollFds(fds, pending && !transport->paced());
        }
        ::poll(fds.data(), fds.size(), timeout);
        if (stopping)
            return;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(wake[0], drain, sizeof drain) > 0) {
            }
        }
        std::lock_guard lock(mu);
        transport->onPoll(fds.data() + 1, *this);
        pump(steadyUs());
    }
}

// ---- public face ----------------------------------------------------------------------------

TSimReceiver::TSimReceiver(TSimOptions options)
    : impl_(std::make_unique<TImpl>(std::move(options))) {}

TSimReceiver::~TSimReceiver() {
    stop();
}

std::string TSimReceiver::startPty(const std::string& linkPath) {
    if (impl_->started) {
        impl_->error = "already started";
        return "";
    }
    auto t = std::make_unique<TPtyTransport>();
    if (!t->open(linkPath, impl_->opt.baud, impl_->error))
        return "";
    std::string slave = t->slavePath();
    return impl_->start(std::move(t), impl_->opt.serialPort) ? slave : "";
}

int TSimReceiver::startTcp(int port, const std::string& address) {
    if (impl_->started) {
        impl_->error = "already started";
        return -1;
    }
    auto t = std::make_unique<TTcpTransport>();
    if (!t->open(address, port, impl_->error))
        return -1;
    int bound = t->port();
    return impl_->start(std::move(t), impl_->opt.tcpPort) ? bound : -1;
}

int TSimReceiver::startSocketpair() {
    if (impl_->started) {
        impl_->error = "already started";
        return -1;
    }
    auto t = std::make_unique<TPairTransport>();
    int client = t->open(impl_->error);
    if (client < 0)
        return -1;
    if (!impl_->start(std::move(t), impl_->opt.serialPort)) {
        ::close(client);
        return -1;
    }
    return client;
}

void TSimReceiver::stop() {
    impl_->stop();
}

bool TSimReceiver::running() const {
    return impl_->thread.joinable() && !impl_->stopping;
}

std::string TSimReceiver::lastError() const {
    std::lock_guard lock(impl_->mu);
    return impl_->error;
}

unsigned TSimReceiver::rate() const {
    std::lock_guard lock(impl_->mu);
    return impl_->rate;
}

bool TSimReceiver::restarting() const {
    std::lock_guard lock(impl_->mu);
    return impl_->restartPending || impl_->silentUntilMs >= 0;
}

int TSimReceiver::restarts() const {
    std::lock_guard lock(impl_->mu);
    return impl_->engine ? impl_->engine->restarts() : 0;
}

std::uint64_t TSimReceiver::epochs() const {
    std::lock_guard lock(impl_->mu);
    return impl_->engine ? impl_->engine->epochs() : 0;
}

std::int64_t TSimReceiver::receiverTimeMs() const {
    std::lock_guard lock(impl_->mu);
    return impl_->engine ? impl_->engine->receiverTimeMs() : 0;
}

std::string TSimReceiver::portName() const {
    std::lock_guard lock(impl_->mu);
    return impl_->engine ? impl_->engine->portName() : "";
}

std::vector<std::string> TSimReceiver::enabledMessages(const std::string& port) const {
    std::lock_guard lock(impl_->mu);
    return impl_->engine ? impl_->engine->enabledMessages(port) : std::vector<std::string>{};
}

std::vector<std::string> TSimReceiver::commands() const {
    std::lock_guard lock(impl_->mu);
    if (!impl_->engine)
        return {};
    auto& c = impl_->engine->commands();
    return {c.begin(), c.end()};
}

std::optional<std::string> TSimReceiver::param(const std::string& path) const {
    std::lock_guard lock(impl_->mu);
    return impl_->engine ? impl_->engine->param(path) : std::nullopt;
}

std::optional<std::string> TSimReceiver::printed(const std::string& path) {
    std::lock_guard lock(impl_->mu);
    return impl_->engine ? impl_->engine->printed(path) : std::nullopt;
}

std::optional<TSimFile> TSimReceiver::file(const std::string& name) const {
    std::lock_guard lock(impl_->mu);
    const TSimFile* f = impl_->engine ? impl_->engine->files().find(name) : nullptr;
    return f ? std::optional<TSimFile>(*f) : std::nullopt;
}

std::vector<std::string> TSimReceiver::fileNames() const {
    std::lock_guard lock(impl_->mu);
    std::vector<std::string> names;
    if (impl_->engine)
        for (const TSimFile& f : impl_->engine->files().files())
            names.push_back(f.name);
    return names;
}

int TSimReceiver::blocksSent() const {
    std::lock_guard lock(impl_->mu);
    return impl_->engine ? impl_->engine->transfer().sent() : 0;
}

bool TSimReceiver::peerConnected() const {
    std::lock_guard lock(impl_->mu);
    return impl_->transport && impl_->transport->peerPresent();
}

bool TSimReceiver::loggedIn() const {
    std::lock_guard lock(impl_->mu);
    return impl_->loggedIn;
}

void TSimReceiver::setFaults(const TFaults& faults) {
    std::lock_guard lock(impl_->mu);
    impl_->opt.faults = faults;
    impl_->faultsSetMs = impl_->nowMs();
    impl_->sentSinceFaults = 0;
    if (impl_->engine)
        impl_->engine->setFaults(faults);
}

void TSimReceiver::triggerEvent(char which) {
    std::lock_guard lock(impl_->mu);
    if (impl_->engine)
        impl_->engine->triggerEvent(which);
}

bool TSimReceiver::powerCycleModem() {
    std::lock_guard lock(impl_->mu);
    if (!impl_->engine || !impl_->engine->modem())
        return false;
    impl_->engine->modem()->powerCycle(impl_->nowMs());
    return true;
}

int TSimReceiver::modemValue(int query) const {
    std::lock_guard lock(impl_->mu);
    return impl_->engine && impl_->engine->modem() ? impl_->engine->modem()->value(query) : -1;
}

void TSimReceiver::setModemValue(int query, int value) {
    std::lock_guard lock(impl_->mu);
    if (impl_->engine && impl_->engine->modem())
        impl_->engine->modem()->force(query, value);
}

bool TSimReceiver::modemCommandMode() const {
    std::lock_guard lock(impl_->mu);
    return impl_->engine && impl_->engine->modem() && impl_->engine->modem()->commandMode();
}

int TSimReceiver::modemRegister(unsigned address) const {
    std::lock_guard lock(impl_->mu);
    if (!impl_->engine || !impl_->engine->modem() || address >= TSimModem::kRegisters)
        return -1;
    return impl_->engine->modem()->reg(static_cast<std::uint16_t>(address));
}

} // namespace telvorsim
