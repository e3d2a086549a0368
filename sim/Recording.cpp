// Recording into the current log file: "create" names it, "em,/cur/log,<list>" starts it, each
// due epoch appends its messages, "dm,/cur/log" (or removing the file) stops it. Also "event",
// whose records the receiver keeps with its data.
#include "sim/Engine.h"

namespace telvorsim {

TEngine::TResult TEngine::startRecording(const std::vector<TMsgItem>& items) {
    if (logFile_.empty() || !files_.find(logFile_))
        return {false, "No log file", nullptr};
    outputs_.enable("/cur/log", items);
    recording_ = true;
    return {true, "", nullptr};
}

void TEngine::stopRecording() {
    outputs_.disable("/cur/log");
    recording_ = false;
}

void TEngine::recordEpoch() {
    if (!recording_)
        return;
    const auto due = outputs_.due("/cur/log", timeMs_);
    if (due.empty())
        return;
    TEpochView view{last_, {}, events_, false};
    int mask = 5;
    if (auto m = params_.get("/par/out/elm/cur/log"))
        mask = std::stoi(*m);
    for (const TSat& s : last_.sats)
        if (s.elDeg >= mask)
            view.sats.push_back(&s);
    std::string bytes;
    for (const auto& d : due) {
        std::vector<std::string> messages;
        encodeDue(view, d, messages);
        for (auto& m : messages)
            if (!d.onChange || outputs_.changed("/cur/log", d.def->name, m))
                bytes += m;
    }
    // A full memory ends the recording, as the receiver does.
    if (!files_.append(logFile_, bytes))
        stopRecording();
}

// event,"<text>"
TEngine::TResult TEngine::cmdEvent(const std::vector<std::string>& args) {
    const std::string text = args.size() > 1 ? args[1] : "";
    if (text.size() < 3 || text.front() != '"' || text.back() != '"')
        return {false, "Invalid event", nullptr};
    return {true, "", nullptr};
}

} // namespace telvorsim
