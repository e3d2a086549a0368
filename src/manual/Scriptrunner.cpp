// The interpreter: runs, lines, directives, reply capture and evaluation.
#include "manual/Scriptrunner.h"

#include "protocol/Numbers.h"
#include "settings/Profile.h"

#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace telvor {
namespace {

struct TFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

// "@1" ... "@9" -> 1 ... 9, else 0.
int parameterIndex(const std::string& item) {
    if (item.size() == 2 && item[0] == '@' && item[1] >= '1' && item[1] <= '9')
        return item[1] - '0';
    return 0;
}

std::string baseName(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

struct TScriptInterpreter::TRun {
    TScriptParameters parameters;
    std::string name;                 // as shown: item 0, ".vxc" added
    std::string path;                 // where it was opened
    std::vector<std::string> inline_; // the single "@send" line of a "send" run
    std::size_t inlineAt = 0;
    TFile file;
    bool echo = true;
    int replyTimeoutMs = 5000;
    bool stopOnErrors = true;
    int result = 0;
    std::string finalStatus;
};

TScriptInterpreter::TScriptInterpreter(TScriptHost& host, TProfile* profile)
    : host_(host), profile_(profile) {}

void TScriptInterpreter::received(const std::uint8_t* data, std::size_t count) {
    if (count == 0)
        return;
    received_ = true;
    if (capturing_ && capture_.size() < kCaptureLimit)
        capture_.append(reinterpret_cast<const char*>(data),
                        std::min(count, kCaptureLimit - capture_.size()));
}

std::string TScriptInterpreter::resolve(const std::string& name) const {
    if (name.empty() || name[0] == '/' || folder_.empty())
        return name;
    return folder_.back() == '/' ? folder_ + name : folder_ + "/" + name;
}

int TScriptInterpreter::RunScript(std::string_view argumentText, int depth) {
    if (depth > kMaxDepth) {
        host_.setStatus("Too deep call level (" + std::to_string(kMaxDepth) + ")!");
        return 1;
    }
    if (depth == 0) {
        stop_ = false;
        running_ = true;
        finalStatus_.clear();
        warnings_.clear();
        host_.runStarted();
    }

    TRun run;
    std::vector<std::string> items = splitScriptItems(argumentText);
    for (std::size_t i = 0; i < items.size() && i < run.parameters.size(); ++i)
        run.parameters[i] = items[i];
    const std::string item0 = items.empty() ? std::string() : items[0];
    bool opened = true;
    if (item0 == "send") {
        run.name = item0;
        run.inline_.push_back("@" + std::string(argumentText));
    } else {
        run.name = item0;
        if (baseName(item0).find('.') == std::string::npos)
            run.name += ".vxc";
        run.path = resolve(run.name);
        run.file.reset(std::fopen(run.path.c_str(), "rb"));
        if (!run.file) {
            run.finalStatus = "Unable to open " + run.name;
            opened = false;
            // The calling script goes on; its author should still hear of it.
            if (depth > 0)
                warn(run.finalStatus);
        }
    }

    if (opened) {
        host_.setStatus("Executing " + run.name + "...");
        std::string line;
        while (true) {
            host_.processEvents();
            if (stop_ || !nextLine(run, line))
                break;
            if (!runLine(run, line, depth))
                break;
        }
    }

    if (stop_)
        run.finalStatus = "Interrupted";
    if (depth == 0) {
        running_ = false;
        finalStatus_ = run.finalStatus;
        host_.runEnded();
    }
    run.file.reset();
    // A run that ended well but passed over lines says so where its end is shown.
    if (depth == 0 && run.finalStatus.empty() && !warnings_.empty())
        host_.setStatus(warnings_.front() +
                        (warnings_.size() > 1
                             ? " (and " + std::to_string(warnings_.size() - 1) + " more)"
                             : std::string()));
    else
        host_.setStatus(run.finalStatus);
    return run.result;
}

void TScriptInterpreter::warn(const std::string& text) {
    warnings_.push_back(text);
    host_.warn(text);
}

// The next non-empty trimmed line; lines are read in pieces of at most 1023 characters.
bool TScriptInterpreter::nextLine(TRun& run, std::string& line) {
    if (!run.file) {
        if (run.inlineAt >= run.inline_.size())
            return false;
        line = trimScriptLine(run.inline_[run.inlineAt++]);
        return !line.empty();
    }
    std::string piece;
    while (true) {
        if (!readScriptPiece(run.file.get(), piece))
            return false;
        line = trimScriptLine(piece);
        if (!line.empty())
            return true;
    }
}

// False when the script ends here.
bool TScriptInterpreter::runLine(TRun& run, const std::string& raw, int depth) {
    const std::string line = keepsMarkers(raw) ? raw : substituteParameters(raw, run.parameters);
    host_.setStatus(line);
    const TScriptLineKind kind = classifyScriptLine(line);
    TDirective d;
    if (kind == TScriptLineKind::Directive)
        d = parseDirective(line);
    if (run.echo && !isEchoSwitch(d))
        host_.echo(line);
    switch (kind) {
    case TScriptLineKind::Comment:
        return true;
    case TScriptLineKind::Directive:
        return directive(run, d, line, depth);
    case TScriptLineKind::WaitedCommand:
    case TScriptLineKind::Command:
        return command(run, line);
    }
    return true;
}

// The directives by keyword; a handler returns false when the script ends with it.
bool TScriptInterpreter::directive(TRun& run, const TDirective& d, const std::string& line,
                                   int depth) {
    using THandler = bool (*)(TScriptInterpreter&, TRun&, const TDirective&, int depth);
    struct TEntry {
        std::string_view keyword;
        THandler handler;
    };
    static const TEntry kDirectives[] = {
        {"echo",
         [](TScriptInterpreter& s, TRun& r, const TDirective& d, int) {
             if (isEchoSwitch(d))
                 r.echo = d.items[1] == "on";
             else
                 s.host_.echo(d.text);
             return true;
         }},
        {"disconnect",
         [](TScriptInterpreter& s, TRun& r, const TDirective&, int) {
             s.host_.disconnect();
             r.result = 1;
             return false;
         }},
        {"exit",
         [](TScriptInterpreter& s, TRun& r, const TDirective&, int) {
             s.host_.disconnect();
             s.host_.quit();
             r.result = 1;
             return false;
         }},
        {"stop", [](TScriptInterpreter&, TRun&, const TDirective&, int) { return false; }},
        {"clear",
         [](TScriptInterpreter& s, TRun&, const TDirective&, int) {
             s.host_.clearPane();
             return true;
         }},
        {"goto",
         [](TScriptInterpreter& s, TRun& r, const TDirective& d, int) {
             if (d.items.size() == 2)
                 s.gotoLabel(r, d.items[1]);
             return true;
         }},
        {"call", [](TScriptInterpreter& s, TRun& r, const TDirective& d,
                    int depth) { return s.call(r, d.text, depth); }},
        {"sleep",
         [](TScriptInterpreter& s, TRun& r, const TDirective& d, int) {
             const std::size_t n = d.items.size();
             if (n <= 2) {
                 auto ms = n == 2 ? parseInteger(d.items[1]) : std::nullopt;
                 s.sleep(r, ms && *ms >= 0 && *ms <= 0x7FFFFFFF ? int(*ms) : 1000);
             }
             return true;
         }},
        {"timeout",
         [](TScriptInterpreter&, TRun& r, const TDirective& d, int) {
             if (d.items.size() == 2)
                 if (auto ms = parseInteger(d.items[1]); ms && *ms >= 0 && *ms <= 0x7FFFFFFF)
                     r.replyTimeoutMs = int(*ms);
             return true;
         }},
        {"default",
         [](TScriptInterpreter&, TRun& r, const TDirective& d, int) {
             const int p = d.items.size() == 3 ? parameterIndex(d.items[1]) : 0;
             if (p && r.parameters[p].empty())
                 r.parameters[p] = d.items[2];
             return true;
         }},
        {"stoponerrors",
         [](TScriptInterpreter&, TRun& r, const TDirective& d, int) {
             if (d.items.size() == 2 && (d.items[1] == "on" || d.items[1] == "off"))
                 r.stopOnErrors = d.items[1] == "on";
             return true;
         }},
        {"set",
         [](TScriptInterpreter& s, TRun& r, const TDirective& d, int) {
             if (d.items.size() == 3)
                 s.set(r, d.items);
             return true;
         }},
        {"send",
         [](TScriptInterpreter& s, TRun& r, const TDirective& d, int) {
             return s.host_.writeRaw(sendBytes(d.text)) || s.errorStop(r, "Can't send command");
         }},
    };
    if (d.label || d.items.empty())
        return true;
    for (const TEntry& e : kDirectives)
        if (e.keyword == d.items[0])
            return e.handler(*this, run, d, depth);
    // Passed over, as the receiver never sees it; a typo ("@sleap") must not go unnoticed.
    warn("Unknown directive in " + run.name + ": " + line);
    return true;
}

void TScriptInterpreter::set(TRun& run, const std::vector<std::string>& items) {
    const std::string value = substituteParameters(items[2], run.parameters);
    if (items[1] == "speed" || items[1] == "rate") {
        auto v = parseInteger(value);
        const long long rate = v && *v > 0 && *v <= 0xFFFFFFFF ? *v : 115200;
        const int divisor = std::max(1, host_.speedDivisor());
        host_.setLinkSpeed(static_cast<std::uint32_t>(rate / divisor));
        if (profile_)
            profile_->write(keys::CommBaud, std::to_string(rate));
    } else if (items[1] == "rtscts") {
        const bool on = value == "on";
        host_.setLinkHandshake(on);
        if (profile_)
            profile_->write(keys::CommRTSCTS, on);
    } else if (int p = parameterIndex(items[1])) {
        run.parameters[p] = value;
    }
}

void TScriptInterpreter::gotoLabel(TRun& run, const std::string& name) {
    if (!run.file)
        return;
    std::FILE* f = run.file.get();
    const long back = std::ftell(f);
    const std::string wanted = "@:" + name;
    std::rewind(f);
    std::string line;
    while (nextLine(run, line))
        if (toLowerAscii(substituteParameters(line, run.parameters)) == wanted)
            return;
    std::clearerr(f);
    std::fseek(f, back, SEEK_SET);
}

bool TScriptInterpreter::call(TRun& run, const std::string& text, int depth) {
    long at = 0;
    if (run.file) {
        at = std::ftell(run.file.get());
        run.file.reset();
    }
    const int result = RunScript(text, depth + 1);
    if (!run.path.empty()) {
        run.file.reset(std::fopen(run.path.c_str(), "rb"));
        if (!run.file || std::fseek(run.file.get(), at, SEEK_SET) != 0) {
            run.result = 1;
            run.finalStatus = host_.status();
            return false;
        }
    }
    if (result != 0) {
        run.result = 1;
        run.finalStatus = host_.status();
        return false;
    }
    return true;
}

// Does not look at the stop request: the stop takes effect at the next line.
void TScriptInterpreter::sleep(TRun& run, int ms) {
    const std::uint32_t start = host_.nowMs();
    while (true) {
        const std::uint32_t elapsed = host_.nowMs() - start;
        if (elapsed >= static_cast<std::uint32_t>(ms))
            break;
        host_.setStatus("Sleeping: " + std::to_string(ms - static_cast<int>(elapsed)) + " ms left");
        host_.sleep(10);
    }
    host_.setStatus("Executing " + run.name + "...");
}

bool TScriptInterpreter::errorStop(TRun& run, const std::string& text) {
    if (!run.stopOnErrors)
        return true;
    host_.echo("Stop: " + text);
    run.finalStatus = text;
    run.result = 1;
    return false;
}

// Waits up to `ms` from now, but not past `timeoutMs` after `since`, nor past a stop.
void TScriptInterpreter::waitFor(int ms, std::uint32_t since, int timeoutMs) {
    const std::uint32_t start = host_.nowMs();
    while (!stop_ && host_.nowMs() - start < static_cast<std::uint32_t>(ms) &&
           host_.nowMs() - since < static_cast<std::uint32_t>(timeoutMs))
        host_.sleep(10);
}

bool TScriptInterpreter::command(TRun& run, const std::string& line) {
    received_ = false;
    const bool waited = line[0] == '%';
    capture_.clear();
    capturing_ = waited;
    if (!host_.sendLine(line)) {
        capturing_ = false;
        return errorStop(run, "Can't send command");
    }
    if (!waited)
        return true;

    const std::uint32_t sent = host_.nowMs();
    const auto timeout = static_cast<std::uint32_t>(run.replyTimeoutMs);
    const std::string before = host_.status();
    bool longWait = false;
    while (!received_ && !stop_) {
        const std::uint32_t elapsed = host_.nowMs() - sent;
        if (elapsed >= timeout)
            break;
        if (elapsed > 1000) {
            host_.setStatus("Waiting " + std::to_string(elapsed) + " ms");
            longWait = true;
        }
        host_.sleep(10);
    }
    if (longWait)
        host_.setStatus(before);
    // The rest of the reply: as long as every 100 ms bring more.
    while (received_ && !stop_ && host_.nowMs() - sent < timeout) {
        received_ = false;
        waitFor(100, sent, run.replyTimeoutMs);
    }
    capturing_ = false;
    if (stop_)
        return false;

    std::string value;
    if (capture_.rfind("RE", 0) == 0) {
        std::size_t percent = capture_.rfind('%');
        if (percent != std::string::npos)
            value = trimScriptLine(std::string_view(capture_).substr(percent + 1));
    } else if (capture_.rfind("ER", 0) == 0) {
        if (!errorStop(run, "An error reply from the receiver"))
            return false;
    } else if (capture_.empty()) {
        if (!errorStop(run, "Receiver timeout"))
            return false;
    }
    run.parameters[0] = value;
    capture_.clear();
    return !stop_;
}

} // namespace telvor
