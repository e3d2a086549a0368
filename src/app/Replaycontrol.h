#pragma once
// The rules of the replay bar: the speeds offered, pause and step, the position slider and the
// texts of receiver time and file position. The bar only shows what state() gives and hands
// the user's actions here. Works on the current replay link; without one everything is off.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace telvor {

struct TReplayStatus;

struct TReplayBarState {
    bool visible = false; // a recording plays
    int speedIndex = 0;   // into speedCaptions()
    std::string pauseCaption = "Pause";
    bool stepEnabled = false; // only while paused
    int sliderMaximum = 0;    // epochs - 1
    int sliderValue = 0;      // the epoch shown last
    std::string timeText;     // receiver time of the epoch shown last
    std::string positionText; // epoch and bytes of the file
};

class TReplayControl {
public:
    static const std::vector<std::string>& speedCaptions();
    // Real time.
    static constexpr int kDefaultSpeed = 0;

    struct THooks {
        // After a move of the slider: the plot histories start afresh, since the epochs after
        // a jump do not follow on from those before.
        std::function<void()> onJump;
        // Once per recording, when it has played to its end: what it lost.
        std::function<void(const std::string& summary)> onEnd;
    };
    explicit TReplayControl(THooks hooks = {}) : hooks_(std::move(hooks)) {}

    // What the bar shows now; tells onEnd when the recording has just ended.
    TReplayBarState update();
    void chooseSpeed(int index);
    void togglePause();
    void step();
    // The slider was moved to this epoch by the user.
    void seek(int epoch);

private:
    THooks hooks_;
    const void* ended_ = nullptr; // the link whose end was told
};

// "hh:mm:ss" of the receiver time (hours go on past 24, as the monitor's time does); "--:--:--"
// before the first epoch.
std::string replayTimeText(std::int64_t receiverMs);
// "Epoch 12 of 3600, 1.2 of 4.5 MB" (kB for a file below a megabyte).
std::string replayPositionText(const TReplayStatus& status);

} // namespace telvor
