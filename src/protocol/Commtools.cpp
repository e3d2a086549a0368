#include "protocol/Commtools.h"

#include "protocol/Bridge.h"
#include "protocol/Commstate.h"
#include "protocol/Debugcore.h"
#include "protocol/Link.h"
#include "protocol/Listscan.h"
#include "protocol/Logfile.h"
#include "protocol/Tick.h"

#include <atomic>
#include <cstring>

namespace telvor {
namespace {

std::atomic<std::uint32_t> gLatency{0};

constexpr int kPollMs = 10;
constexpr std::size_t kMaxEnableLine = 124;

inline bool isUpperHex(std::uint8_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}
inline int hexValue(std::uint8_t c) {
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

// Blanks and control characters off both ends.
std::string trimmed(std::string_view text) {
    std::size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ')
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ')
        --last;
    return std::string(text.substr(first, last - first));
}

struct TFound {
    int pos = -1;
    int length = 0;
};

// The first header of one of `ids` ("RE", "ER") in the buffer.
TFound findReply(const std::uint8_t* data, int fill, std::string_view ids) {
    for (int i = 0; i + 5 <= fill; ++i) {
        bool idMatch = false;
        for (std::size_t k = 0; k + 1 < ids.size(); k += 2)
            if (data[i] == static_cast<std::uint8_t>(ids[k]) &&
                data[i + 1] == static_cast<std::uint8_t>(ids[k + 1]))
                idMatch = true;
        if (idMatch && isUpperHex(data[i + 2]) && isUpperHex(data[i + 3]) &&
            isUpperHex(data[i + 4]))
            return {i, hexValue(data[i + 2]) * 256 + hexValue(data[i + 3]) * 16 +
                           hexValue(data[i + 4]) + 5};
    }
    return {};
}

// Waits with event pumping only where the link is slow (remote and Ethernet links); the
// front window stays disabled meanwhile.
bool pumpsEvents(const TReceiverConnection* link) {
    const TConnectionMode mode = commState().connectionMode.load();
    return mode == cmInternetClient || (mode == cmDirect && link->Kind == kLinkEthernet);
}

class TWaitScope {
public:
    explicit TWaitScope(bool active) : sink_(active ? commState().Wait() : nullptr) {
        if (sink_)
            sink_->BeginWait();
    }
    ~TWaitScope() {
        if (sink_)
            sink_->EndWait();
    }

private:
    TWaitSink* sink_;
};

enum class TAwait { Found, Timeout, LinkGone };

// Polls the reply buffer for a whole message of one of `ids` for up to `timeoutMs` per
// phase (finding the header, then the whole message). On success the message stands at the
// front and its length is returned in `found`.
TAwait awaitAny(std::string_view ids, std::uint32_t timeoutMs, std::string* which) {
    TReceiverConnection* link = CurrentConnection;
    if (!link)
        return TAwait::LinkGone;
    const bool pump = pumpsEvents(link);
    TWaitScope scope(pump);
    TSharedBuffer& input = link->Input;

    for (int phase = 1; phase <= 2; ++phase) {
        const std::uint32_t start = tickCount();
        for (;;) {
            const std::uint32_t generation = input.Generation();
            {
                std::uint8_t* data = input.LockAndGet();
                if (!data)
                    return TAwait::Timeout;
                const int fill = input.Fill();
                TFound f = findReply(data, fill, ids);
                if (f.pos >= 0 && phase == 1) {
                    input.Release();
                    break;
                }
                if (f.pos >= 0 && f.pos + f.length <= fill) {
                    // The reply and what follows it go to the front; what was before it goes.
                    if (f.pos > 0)
                        input.Discard(f.pos);
                    input.SetFrontMessage(f.length);
                    if (which)
                        which->assign(reinterpret_cast<const char*>(data), 2);
                    logReply(data, f.length);
                    input.Release();
                    return TAwait::Found;
                }
                input.Release();
            }
            if (ticksSince(start) >= timeoutMs)
                return TAwait::Timeout;
            // Sleeps one polling step, or less when the input thread appended something.
            const std::uint32_t left = timeoutMs - ticksSince(start);
            const int step = static_cast<int>(left < kPollMs ? left : kPollMs);
            // An Internet Client link's bytes arrive only through the events run here, so the
            // wait is for events: it ends as the reply's bytes come.
            if (link->Kind == kLinkInternetClient && pump) {
                uiBridge().waitForEvents(step);
            } else {
                input.WaitAppend(generation, step);
                if (pump)
                    uiBridge().processEvents();
            }
            if (CurrentConnection != link)
                return TAwait::LinkGone;
        }
    }
    return TAwait::Timeout;
}

void consumeFront(TReceiverConnection* link) {
    if (!link)
        return;
    if (int length = link->Input.FrontMessage())
        link->Input.Consume(length);
}

} // namespace

std::uint32_t LatencyAllowance() {
    return gLatency.load();
}
void SetLatencyAllowance(std::uint32_t ms) {
    gLatency.store(ms);
}

bool SendLine(std::string_view text) {
    TReceiverConnection* link = CurrentConnection;
    return link && link->SendCommand(text);
}

bool AwaitReply(std::string_view id, int timeoutMs) {
    if (timeoutMs < 0 || id.size() != 2)
        return false;
    std::uint32_t timeout = static_cast<std::uint32_t>(timeoutMs);
    if (timeoutMs != 100)
        timeout += LatencyAllowance();
    // Whole polling steps, as many as the timeout holds.
    timeout -= timeout % kPollMs;
    return awaitAny(id, timeout, nullptr) == TAwait::Found;
}

std::string ReplyText(int offset) {
    TReceiverConnection* link = CurrentConnection;
    if (!link || offset < 0)
        return {};
    TSharedBuffer& input = link->Input;
    std::uint8_t* data = input.LockAndGet();
    if (!data)
        return {};
    int end = input.FrontMessage() > 0 ? input.FrontMessage() : input.Fill();
    const void* zero = offset < end ? std::memchr(data + offset, 0, end - offset) : nullptr;
    if (zero)
        end = static_cast<int>(static_cast<const std::uint8_t*>(zero) - data);
    std::string text;
    if (offset < end)
        text.assign(reinterpret_cast<const char*>(data) + offset, end - offset);
    input.Release();
    return trimmed(text);
}

TReply SendAndWait(std::string_view line, int timeoutMs) {
    TReceiverConnection* link = CurrentConnection;
    if (!link)
        return TReply::None;
    // Replies to earlier lines (the logging run's "em", sent without a wait) are not this
    // line's: in every input mode the wait starts from an empty buffer.
    if (!line.empty())
        link->Input.Clear();
    if (!line.empty() && !SendLine(line))
        return TReply::None;
    const std::uint32_t slices =
        (static_cast<std::uint32_t>(timeoutMs < 0 ? 0 : timeoutMs) + LatencyAllowance()) / 100;
    // One pair of 100 ms slices per 100 ms of timeout; whichever reply comes first wins, so a
    // later "RE" never hides an "ER".
    std::string which;
    if (slices == 0 || awaitAny("REER", slices * 200, &which) != TAwait::Found)
        return TReply::None;
    return which == "RE" ? TReply::RE : TReply::ER;
}

std::string PrintParameter(std::string_view name, std::string_view def, int timeoutMs) {
    TReply reply = SendAndWait("%%print," + std::string(name), timeoutMs);
    if (reply == TReply::RE)
        return ReplyText(7);
    if (def == "ERROR" && SendAndWait("", timeoutMs) == TReply::ER)
        return ReplyText(5);
    return std::string(def);
}

bool SendWithRetries(std::string_view line, int attempts) {
    const std::string full = "%command%" + std::string(line);
    debugCore().showLine("Sending: " + full);
    for (int attempt = 0; attempt < attempts; ++attempt) {
        switch (SendAndWait(full, 2000)) {
        case TReply::RE:
            debugCore().showLine("Success");
            return true;
        case TReply::ER:
            debugCore().showError(ReplyText(0));
            break;
        case TReply::None:
            debugCore().showError("Timeout waiting for a reply");
            return false;
        }
    }
    debugCore().showError(std::to_string(attempts) + " attempts failed");
    return false;
}

bool Synchronise(int count) {
    for (int k = count; k >= 1; --k) {
        uiBridge().processEvents();
        const std::string marker = "%Wait_" + std::to_string(k) + "%";
        if (!SendLine(marker))
            return false;
        for (int i = 0; i < 10; ++i) {
            TReply reply = SendAndWait("", 300);
            if (reply == TReply::None)
                continue;
            std::string text = ReplyText(5);
            // Older replies ahead of ours are taken off one by one.
            consumeFront(CurrentConnection);
            if (reply == TReply::RE && text == marker)
                return true;
        }
    }
    return false;
}

bool EnableMessages(std::string_view list) {
    static constexpr std::string_view kStart = "em,,vxr{";
    std::string line(kStart);
    bool hasItems = false;
    for (const std::string& item : SplitItems(list)) {
        if (item.empty())
            continue;
        if (hasItems && item.size() + line.size() > kMaxEnableLine) {
            line += '}';
            if (!SendWithRetries(line, 5))
                return false;
            line = kStart;
            hasItems = false;
        }
        if (hasItems)
            line += ',';
        line += item;
        hasItems = true;
    }
    if (!hasItems)
        return true;
    line += '}';
    return SendWithRetries(line, 5);
}

bool ValueComplete(std::string_view text) {
    int depth = 0;
    const bool closed = scanListSyntax(text, [&](std::size_t, char c) {
        depth += c == '{' ? 1 : c == '}' ? -1 : 0;
        return true;
    });
    return depth <= 0 && closed;
}

std::vector<std::string> SplitItems(std::string_view list) {
    std::vector<std::string> items;
    std::size_t start = 0;
    int depth = 0;
    scanListSyntax(list, [&](std::size_t at, char c) {
        if (c == '{')
            ++depth;
        else if (c == '}')
            --depth;
        else if (c == ',' && depth <= 0) {
            items.emplace_back(list.substr(start, at - start));
            start = at + 1;
        }
        return true;
    });
    items.emplace_back(list.substr(start));
    return items;
}

bool ReadCompleteValue(std::string& value, int offset, int timeoutMs) {
    value = ReplyText(offset);
    consumeFront(CurrentConnection);
    while (!ValueComplete(value)) {
        if (!AwaitReply("RE", timeoutMs))
            return false;
        value += ReplyText(offset);
        consumeFront(CurrentConnection);
    }
    return true;
}

bool SaveParameterLine(std::ostream& file, std::string_view name) {
    if (SendAndWait("%%print," + std::string(name), 2000) != TReply::RE)
        return false;
    std::string value;
    if (!ReadCompleteValue(value))
        return false;
    file << '%' << name << "%set," << name << ',' << value << '\n';
    return static_cast<bool>(file);
}

namespace {

// "{name:{period,...},...}" or "{name={period,...},...}" into (name, period) pairs.
std::vector<std::pair<std::string, std::string>> messageItems(std::string_view value) {
    std::vector<std::pair<std::string, std::string>> items;
    std::string_view inner = value;
    if (inner.size() >= 2 && inner.front() == '{' && inner.back() == '}')
        inner = inner.substr(1, inner.size() - 2);
    for (const std::string& element : SplitItems(inner)) {
        std::string e = trimmed(element);
        if (e.empty())
            continue;
        std::size_t cut = e.find_first_of(":={");
        std::string name = trimmed(e.substr(0, cut));
        std::string period;
        if (cut != std::string::npos) {
            std::string_view rest = std::string_view(e).substr(e[cut] == '{' ? cut : cut + 1);
            if (!rest.empty() && rest.front() == '{') {
                rest = rest.substr(1, rest.size() >= 2 && rest.back() == '}' ? rest.size() - 2
                                                                             : rest.size() - 1);
                auto parts = SplitItems(rest);
                period = parts.empty() ? std::string() : trimmed(parts.front());
            } else {
                period = trimmed(rest);
            }
        }
        if (!name.empty())
            items.emplace_back(std::move(name), std::move(period));
    }
    return items;
}

} // namespace

bool SavePortMessages(std::ostream& file, std::string_view port) {
    file << "%dm," << port << "%dm," << port << '\n';
    if (SendAndWait("%%print,/par/out" + std::string(port) + ":on", 2000) != TReply::RE)
        return false;
    std::string value;
    if (!ReadCompleteValue(value))
        return false;
    for (const auto& [name, period] : messageItems(value)) {
        const std::string command = "em," + std::string(port) + "," + name + ":" + period;
        file << '%' << command << '%' << command << '\n';
    }
    return static_cast<bool>(file);
}

} // namespace telvor
