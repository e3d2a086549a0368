#include "rtlog/Logdriver.h"

#include "protocol/Bridge.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "protocol/Link.h"
#include "protocol/Tick.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"

namespace telvor {
namespace {

constexpr const char* kStopAll = "%%dm||%%dm||%%dm";

// Runs `body` once; a nested call (an event run inside a wait of the step) does nothing.
class TOnce {
public:
    explicit TOnce(bool& flag) : flag_(flag), first_(!flag) { flag_ = true; }
    ~TOnce() {
        if (first_)
            flag_ = false;
    }
    bool first() const { return first_; }

private:
    bool& flag_;
    bool first_;
};

} // namespace

TLogDriver::TLogDriver(TLogDriverHost& host, TProfile& profile)
    : host_(host), profile_(profile), log_(*this, profile) {}

// The engine reports back while it stops: that happens while every member is still there.
TLogDriver::~TLogDriver() {
    if (log_.running())
        log_.stop(false);
    log_.detach();
}

void TLogDriver::setState(TLogState state) {
    if (state_ == state)
        return;
    state_ = state;
    host_.stateChanged();
}

void TLogDriver::beginMonitor() {
    sentPlots_ = plots_ ? plots_() : TLogPlots{};
    beginRealTimeMonitor(sentPlots_.satellites, sentPlots_.positions);
}

// A plot window opened or closed while monitoring: its messages follow.
void TLogDriver::followPlots() {
    if (!plots_ || commState().testMode.load() || !CurrentConnection ||
        commState().inputMode.load() != TInputMode::Monitoring)
        return;
    if (plots_() != sentPlots_)
        beginMonitor();
}

std::string TLogDriver::open() {
    if (opened_)
        return {};
    opened_ = true;
    const std::string mask = PrintParameter("/par/out/elm/cur/term", "", 2000);
    log_.attach();
    autoRun_ = profile_.read(keys::RealTimeAutoRun);
    if (!commState().testMode.load()) {
        beginMonitor();
        timerOn_ = true;
    }
    return mask;
}

bool TLogDriver::start(const TStartRequest& request) {
    return state_ == TLogState::Idle && begin(request);
}

bool TLogDriver::begin(const TStartRequest& request) {
    failure_.clear();
    if (!log_.start(request))
        return false;
    lastBytes_ = 0;
    lastFile_ = log_.currentFileName();
    lastData_ = tickCount();
    setState(TLogState::Running);
    return true;
}

void TLogDriver::startWhenClockKnown(const TStartRequest& request) {
    if (state_ != TLogState::Idle)
        return;
    failure_.clear();
    pending_ = request;
    restartTick_ = tickCount();
    setState(TLogState::Restarting);
}

void TLogDriver::stop() {
    if (state_ == TLogState::Searching || state_ == TLogState::Restarting) {
        if (state_ == TLogState::Searching && link_.cancel)
            link_.cancel();
        setState(TLogState::Idle);
        return;
    }
    if (!log_.running())
        return;
    stopping_ = true;
    log_.stop(true);
    stopping_ = false;
    ended(log_.failure());
}

void TLogDriver::ended(const std::string& failure) {
    failure_ = failure;
    setState(TLogState::Idle);
}

void TLogDriver::step() {
    TOnce once(inStep_);
    if (!once.first())
        return;
    switch (state_) {
    case TLogState::Running:
        runningStep();
        break;
    case TLogState::Searching:
        log_.timerStep();
        search();
        break;
    case TLogState::Restarting:
        log_.timerStep();
        if (log_.receiverSeconds() >= 0 || ticksSince(restartTick_) >= kClockWaitMs)
            restart();
        break;
    case TLogState::Idle:
        log_.timerStep();
        followPlots();
        if (autoRun_) {
            autoRun_ = false;
            uiBridge().post(TWindowId::RealTime, kAutoStartCode);
        }
        break;
    }
}

void TLogDriver::runningStep() {
    const std::string lost = lostReason();
    if (!lost.empty()) {
        onLost(lost);
        return;
    }
    log_.timerStep();
    // A write error stopped the run.
    if (!log_.running())
        ended(log_.failure());
}

// The link's own report, or no byte for kSilenceMs while logging (the receiver stopped
// sending without the port noticing).
std::string TLogDriver::lostReason() {
    TReceiverConnection* link = CurrentConnection;
    if (!link)
        return "the link was closed";
    if (!link->IsConnected())
        return link->LostReason();
    const std::string file = log_.currentFileName();
    if (log_.bytesWritten() != lastBytes_ || file != lastFile_ || commState().testMode.load()) {
        lastBytes_ = log_.bytesWritten();
        lastFile_ = file;
        lastData_ = tickCount();
    }
    if (ticksSince(lastData_) >= kSilenceMs)
        return "no data for " + std::to_string(kSilenceMs / 1000) + " s";
    return {};
}

// The files written so far stay as they are; the series goes on with the next name.
void TLogDriver::onLost(const std::string& reason) {
    setStatus("Link lost: " + reason + ": reconnecting");
    lost_ = true;
    log_.stop(false);
    lost_ = false;
    pending_ = log_.request();
    pending_.startCount = std::to_string(log_.startCount());
    if (const std::string failure = log_.failure(); !failure.empty()) {
        ended(failure);
        return;
    }
    if (link_.drop)
        link_.drop();
    setState(link_.reconnect ? TLogState::Searching : TLogState::Idle);
}

void TLogDriver::search() {
    const bool back = link_.reconnect();
    // Stop was pressed while the search ran its events.
    if (state_ != TLogState::Searching)
        return;
    if (!back)
        return;
    beginMonitor();
    restartTick_ = tickCount();
    setState(TLogState::Restarting);
}

// No question may wait for an answer here: the station is unattended.
void TLogDriver::restart() {
    unattended_ = true;
    lastStatus_.clear();
    const bool ok = begin(pending_);
    unattended_ = false;
    if (!ok)
        ended(lastStatus_.empty() ? "Logging did not start again" : lastStatus_);
}

void TLogDriver::handleCode(std::uint32_t code) {
    if (code == kSyncCode) {
        if (timerOn_)
            step();
    } else if (code == kAutoStartCode) {
        if (state_ == TLogState::Idle)
            host_.pressStart();
    } else if (code == kConversionEndedCode) {
        log_.conversionsEnded();
    }
}

bool TLogDriver::mayClose(bool outputPageShown) const {
    if (stopping_)
        return false;
    return state_ == TLogState::Idle || outputPageShown;
}

void TLogDriver::close(const TStartRequest& controls) {
    stop();
    setState(TLogState::Idle);
    // Conversions of earlier files of a series: the window stays alive while they end.
    if (log_.conversionsRunning() > 0) {
        stopping_ = true;
        host_.showConvertWait(true);
        while (log_.conversionsRunning() > 0)
            host_.waitSlice();
        host_.showConvertWait(false);
        stopping_ = false;
    }
    log_.conversionsEnded();
    timerOn_ = false;
    if (CurrentConnection)
        SendAndWait(kStopAll, 5000);
    SetInputMode(TInputMode::Idle);
    saveLogSettings(profile_, controls);
    profile_.write(keys::RealTimeAutoRun, false);
    log_.detach();
}

void TLogDriver::setStatus(const std::string& text) {
    lastStatus_ = text;
    host_.setStatus(text);
}

bool TLogDriver::confirm(const std::string& text) {
    return unattended_ || host_.confirm(text);
}

TFileQuestions* TLogDriver::fileQuestions() {
    // A single file of a restarted run is appended to.
    return unattended_ ? nullptr : host_.fileQuestions();
}

// Monitoring again after Stop; not after a loss, where the link is gone.
void TLogDriver::afterStop() {
    if (!lost_ && !commState().testMode.load())
        beginMonitor();
    host_.afterStop();
}

} // namespace telvor
