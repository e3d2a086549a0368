#include "app/Replaycontrol.h"

#include "links/Replayconnection.h"

#include <cstdio>

namespace telvor {
namespace {

const double kSpeeds[] = {1, 2, 5, 10, 60, 600, TReplayPacer::kAsFastAsPossible};

// Both figures in the unit that suits the file's size.
std::string bytesText(std::uint64_t position, std::uint64_t size) {
    const bool mega = size >= 1000000;
    const double unit = mega ? 1e6 : 1e3;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.1f of %.1f %s", double(position) / unit, double(size) / unit,
                  mega ? "MB" : "kB");
    return buf;
}

} // namespace

const std::vector<std::string>& TReplayControl::speedCaptions() {
    static const std::vector<std::string> captions = {"1x",  "2x",   "5x", "10x",
                                                      "60x", "600x", "max"};
    return captions;
}

std::string replayTimeText(std::int64_t receiverMs) {
    if (receiverMs < 0)
        return "--:--:--";
    const std::int64_t s = receiverMs / 1000;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                  static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
    return buf;
}

std::string replayPositionText(const TReplayStatus& s) {
    return "Epoch " + std::to_string(s.epoch) + " of " + std::to_string(s.epochs) + ", " +
           bytesText(s.position, s.size);
}

TReplayBarState TReplayControl::update() {
    TReplayBarState b;
    TReplayConnection* link = CurrentReplay();
    if (!link)
        return b;
    const TReplayStatus s = link->status();
    if (s.finished && ended_ != link) {
        ended_ = link;
        if (hooks_.onEnd)
            hooks_.onEnd(replaySummary(*link));
    } else if (!s.finished && ended_ == link) {
        ended_ = nullptr; // a jump back: it may end again
    }
    b.visible = true;
    b.speedIndex = kDefaultSpeed;
    for (int i = 0; i < int(std::size(kSpeeds)); ++i)
        if (kSpeeds[i] == s.speed)
            b.speedIndex = i;
    b.pauseCaption = s.paused ? "Resume" : "Pause";
    b.stepEnabled = s.paused && !s.finished;
    b.sliderMaximum = s.epochs > 0 ? int(s.epochs - 1) : 0;
    b.sliderValue = s.epoch > 0 ? int(s.epoch - 1) : 0;
    b.timeText = replayTimeText(s.receiverMs);
    b.positionText = replayPositionText(s);
    return b;
}

void TReplayControl::chooseSpeed(int index) {
    if (TReplayConnection* link = CurrentReplay())
        if (index >= 0 && index < int(std::size(kSpeeds)))
            link->setSpeed(kSpeeds[index]);
}

void TReplayControl::togglePause() {
    if (TReplayConnection* link = CurrentReplay())
        link->setPaused(!link->status().paused);
}

void TReplayControl::step() {
    if (TReplayConnection* link = CurrentReplay())
        link->step();
}

void TReplayControl::seek(int epoch) {
    TReplayConnection* link = CurrentReplay();
    if (!link)
        return;
    link->seekEpoch(epoch < 0 ? 0 : std::size_t(epoch));
    if (hooks_.onJump)
        hooks_.onJump();
}

} // namespace telvor
