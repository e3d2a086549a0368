#include "protocol/Commstate.h"

#include "protocol/Latestmsgs.h"
#include "protocol/Link.h"

namespace telvor {

TCommState& commState() {
    static TCommState state;
    return state;
}

// Taking the main lock makes a swap wait for the chunk in progress.
void TCommState::SetTerminalSink(TTerminalSink* sink) {
    std::lock_guard lock(mainLock);
    terminal_.store(sink);
}

void TCommState::SetSharingSink(TSharingSink* sink) {
    std::lock_guard lock(mainLock);
    sharing_.store(sink);
}

void TCommState::SetRealTimeSink(TRealTimeSink* sink) {
    std::lock_guard lock(mainLock);
    realTime_.store(sink);
}

void TCommState::SetPlotSink(TPlotSink* sink) {
    std::lock_guard lock(mainLock);
    plot_.store(sink);
}

void TCommState::SetDecoderSink(TDecoderSink* sink) {
    std::lock_guard lock(mainLock);
    decoder_.store(sink);
}

void TCommState::SetMessageTap(TMessageTap* tap) {
    std::lock_guard lock(mainLock);
    tap_.store(tap);
}

void SetInputMode(TInputMode mode) {
    TCommState& state = commState();
    {
        std::lock_guard lock(state.mainLock);
        if (CurrentConnection)
            CurrentConnection->Input.Clear();
        state.inputMode.store(mode);
        latestMessages().Clear();
    }
    if (TPlotSink* plot = state.Plot())
        plot->InputModeChanged(mode);
}

} // namespace telvor
