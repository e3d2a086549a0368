#include "sim/Engine.h"

#include "sim/Commandline.h"
#include "sim/Gnsstime.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace telvorsim {
namespace {

constexpr std::size_t kMaxLine = 4096;    // a longer line is garbage; it is dropped
constexpr std::size_t kReplyChunk = 1024; // longest value in one "RE"
constexpr std::size_t kCommandMemory = 1000;

// Picks where to cut a long value: after a comma when there is one near the limit, so no part
// begins or ends with a blank that the reader would trim away.
std::size_t cutPoint(const std::string& v, std::size_t from) {
    std::size_t end = from + kReplyChunk;
    if (end >= v.size())
        return v.size();
    for (std::size_t i = end; i > from + kReplyChunk / 2; --i)
        if (v[i - 1] == ',')
            return i;
    while (end > from + 1 && (v[end] == ' ' || v[end - 1] == ' '))
        --end;
    return end;
}

std::string printable(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c < 32 || c > 126) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else
            out.push_back(static_cast<char>(c));
    }
    return out;
}

} // namespace

TEngine::TEngine(const TSimOptions& options, TEngineHost& host, std::string portName,
                 std::int64_t startMs)
    : options_(options), host_(host), port_(std::move(portName)),
      params_(paramTableText(), [this](std::string_view name) { return resolveVar(name); }),
      sky_(makeSky(options)), timeMs_(startMs), restartMs_(startMs) {
    // The factory rate of every serial port.
    for (const char* p : {"/par/raw/msint", "/par/pos/msint"})
        params_.setDefault(p, std::to_string(options.epochStepMs));
    for (const char* p : {"a", "b", "c", "d"})
        params_.setDefault(std::string("/par/dev/ser/") + p + "/rate",
                           std::to_string(options.defaultBaud));
    for (const char* p : {"ser/a", "ser/b", "ser/c", "ser/d", "usb/a", "tcp/a", "prl/a", "modem/a"})
        params_.setDefault(std::string("/par/dev/") + p + "/eoff", options.echoOff);
    if (!options.modemPort.empty())
        modem_ = std::make_unique<TSimModem>(options.modem);
    powerUp(startMs);
    setFaults(options.faults);
}

void TEngine::powerUp(std::int64_t startMs) {
    params_.restoreDefaults("/");
    // The rate this port runs at now.
    params_.force("/par" + port_ + "/rate", std::to_string(options_.baud));
    for (const std::string& path : options_.omit)
        params_.remove(normalise(path));
    outputs_.clear();
    line_.clear();
    echoLine_.clear();
    transfer_.cancel();
    events_.clear();
    commands_.clear();
    epochs_ = 0;
    restarts_ = 0;
    timeMs_ = restartMs_ = startMs;
    if (!powerUpSky_ || powerUpSky_->startMs != startMs) {
        TSky sky = makeSky(options_);
        sky.restart(startMs);
        TEpoch first = sky.compute(startMs, skySettings());
        powerUpSky_ = TPowerUpSky{startMs, std::move(sky), std::move(first)};
    }
    sky_ = powerUpSky_->sky;
    last_ = powerUpSky_->first;
    transfer_ = TBlockTransfer();
    // Seeded files: an hour apart, the last an hour before the start.
    files_ = TFileSystem();
    logFile_.clear();
    recording_ = false;
    const std::size_t n = options_.files.size();
    for (std::size_t i = 0; i < n; ++i) {
        const TSeedFile& f = options_.files[i];
        auto time = startMs / 1000 - kFileEpochOffsetS - static_cast<std::int64_t>(n - i) * 3600;
        files_.create(f.name, static_cast<std::uint32_t>(std::max<std::int64_t>(0, time)),
                      seedContent(f.size, f.seed));
    }
}

void TEngine::setFaults(const TFaults& faults) {
    options_.faults = faults;
    hasRefuse_ = !faults.refuse.empty();
    hasIgnore_ = !faults.ignore.empty();
    try {
        if (hasRefuse_)
            refuse_ = std::regex(faults.refuse);
        if (hasIgnore_)
            ignore_ = std::regex(faults.ignore);
    } catch (const std::regex_error&) {
        // Patterns are checked where they come from; a bad one here just matches nothing.
        hasRefuse_ = hasIgnore_ = false;
    }
}

void TEngine::log(const std::string& text) const {
    if (options_.verbose && options_.log)
        options_.log(text);
}

std::string TEngine::resolveVar(std::string_view name) const {
    if (name == "model")
        return options_.model;
    if (name == "serial")
        return options_.serial;
    if (name == "id")
        return options_.id;
    if (name == "firmware")
        return options_.firmware;
    if (name == "version")
        return options_.firmware + " Mar,14,2007";
    if (name == "uptime")
        return std::to_string((timeMs_ - restartMs_) / 1000);
    if (name == "block_size")
        return "2048";
    if (name == "blocks")
        return "16128";
    if (name == "blk_size")
        return std::to_string(files_.total());
    if (name == "blk_free")
        return std::to_string(files_.free());
    if (name == "blk_files")
        return std::to_string(files_.files().size());
    if (name == "rawmsint" || name == "posmsint")
        return params_.get(name == "rawmsint" ? "/par/raw/msint" : "/par/pos/msint")
            .value_or(std::to_string(options_.epochStepMs));
    if (name == "fsinit")
        return files_.initProgress();
    if (name == "statrw")
        return files_.readWriteStats();
    if (name == "msint")
        return std::to_string(options_.epochStepMs);
    return "";
}

unsigned TEngine::portRate() const {
    auto v = params_.get("/par" + port_ + "/rate");
    return v ? static_cast<unsigned>(std::stoul(*v)) : 0;
}

std::optional<std::string> TEngine::param(const std::string& path) const {
    return params_.get(normalise(path));
}

std::optional<std::string> TEngine::printed(const std::string& path) {
    TResult r = cmdPrint({"print", path});
    return r.ok ? std::optional<std::string>(r.value) : std::nullopt;
}

std::vector<std::string> TEngine::enabledMessages(const std::string& port) const {
    return outputs_.enabled(port.empty() ? port_ : port);
}

std::string TEngine::normalise(const std::string& path) const {
    std::string p = path;
    if (p.empty())
        return p;
    if (p[0] != '/')
        p = "/par/" + p;
    for (std::size_t at = p.find("/cur/term"); at != std::string::npos;
         at = p.find("/cur/term", at)) {
        std::size_t end = at + 9;
        if (end < p.size() && p[end] != '/' && p[end] != '&') {
            at = end;
            continue;
        }
        p.replace(at, 9, port_);
        at += port_.size();
    }
    return p;
}

bool TEngine::isPort(const std::string& path) const {
    static const char* const kPorts[] = {"/dev/ser/a", "/dev/ser/b",   "/dev/ser/c",
                                         "/dev/ser/d", "/dev/usb/a",   "/dev/tcp/a",
                                         "/dev/prl/a", "/dev/modem/a", "/cur/log"};
    for (auto p : kPorts)
        if (path == p)
            return true;
    return false;
}

bool TEngine::portArg(const std::string& arg, std::string& port) const {
    if (arg.empty() || arg == "/cur/term" || arg == "cur/term") {
        port = port_;
        return true;
    }
    port = arg;
    return isPort(arg);
}

bool TEngine::acceptsCommands() const {
    auto mode = params_.get("/par" + port_ + "/imode");
    return !mode || *mode == "cmd" || *mode == "echo";
}

void TEngine::receive(const std::uint8_t* data, std::size_t count) {
    // The input mode is a parameter lookup: read it again only after what may change it.
    bool echo = echoing();
    for (std::size_t i = 0; i < count; ++i) {
        std::string blocks;
        if (transfer_.take(data[i], blocks)) {
            if (!blocks.empty())
                host_.send(std::move(blocks), true);
            continue;
        }
        char c = static_cast<char>(data[i]);
        if (echo) {
            echoByte(c);
            echo = echoing();
            continue;
        }
        if (c == '\r' || c == '\n') {
            std::string line;
            line.swap(line_);
            if (!line.empty()) {
                onLine(line);
                echo = echoing();
            }
            continue;
        }
        if (line_.size() < kMaxLine)
            line_.push_back(c);
    }
}

void TEngine::onLine(const std::string& line) {
    if (logging())
        log("RX: " + printable(line));
    if (!acceptsCommands())
        return;
    TParsedLine parsed = parseLine(line, options_.echoOff);
    switch (parsed.kind) {
    case TLineKind::Empty:
    case TLineKind::Silent:
        return;
    case TLineKind::BadChecksum:
        reply(TCommand{}, TResult{false, "Checksum error", nullptr});
        return;
    case TLineKind::Commands:
        for (auto& cmd : parsed.commands) {
            // Once a "get" has the port, the rest of its line is not for the command intake.
            if (transfer_.active())
                break;
            execute(cmd);
        }
        return;
    }
}

void TEngine::execute(const TCommand& cmd) {
    commands_.push_back(cmd.hasId ? "%" + cmd.id + "%" + cmd.text : cmd.text);
    if (commands_.size() > kCommandMemory)
        commands_.pop_front();
    if (cmd.text.empty()) {
        if (cmd.hasId)
            reply(cmd, TResult{});
        return;
    }
    if (hasIgnore_ && std::regex_search(cmd.text, ignore_))
        return;
    if (hasRefuse_ && std::regex_search(cmd.text, refuse_)) {
        reply(cmd, TResult{false, "Command refused", nullptr});
        return;
    }
    std::string verb = cmd.text.substr(0, cmd.text.find(','));
    for (const TCommandEntry* e = kCommands; e->verb; ++e) {
        if (verb != e->verb)
            continue;
        auto args = splitArgs(cmd.text, e->maxArgs);
        echo_ = cmd.hasId ? "%" + cmd.id + "%" : "";
        reply(cmd, (this->*e->handler)(args));
        return;
    }
    reply(cmd, TResult{false, "Unknown command " + verb, nullptr});
}

void TEngine::reply(const TCommand& cmd, const TResult& result) {
    std::string echo = cmd.hasId ? "%" + cmd.id + "%" : "";
    if (result.ok && result.raw) {
        host_.send(result.value, true);
        return;
    }
    if (!result.ok) {
        std::string m = frameReply(false, result.value + "\n");
        if (logging())
            log("TX: " + printable(m));
        host_.send(std::move(m), true);
    } else {
        for (const std::string& part : result.parts)
            host_.send(frameReply(true, echo + part + "\n"), true);
        // A long value goes out as several replies, each with the echo.
        const std::string& v = result.value;
        std::size_t from = 0;
        while (result.parts.empty()) {
            std::size_t to = cutPoint(v, from);
            std::string m = frameReply(true, echo + v.substr(from, to - from) + "\n");
            if (logging())
                log("TX: " + printable(m));
            host_.send(std::move(m), true);
            from = to;
            if (from >= v.size())
                break;
        }
    }
    if (result.afterReply)
        result.afterReply();
}

TSky TEngine::makeSky(const TSimOptions& o) {
    TWorldOptions world;
    world.east = o.antennaEast;
    world.north = o.antennaNorth;
    world.up = o.antennaUp;
    world.slipRate = o.faults.slipRate;
    world.multipath = o.faults.multipath;
    return TSky(o.latDeg, o.lonDeg, o.heightM, o.seed, o.solutionCycleS, world);
}

TSkySettings TEngine::skySettings() const {
    TSkySettings s;
    if (auto ms = params_.get("/par/raw/msint"))
        s.rawMsint = std::max(1, std::atoi(ms->c_str()));
    if (auto elm = params_.get("/par/pos/elm"))
        s.maskDeg = std::stoi(*elm);
    for (int prn = 1; prn <= 37; ++prn)
        if (params_.get("/par/pos/gps/sat/" + std::to_string(prn)) == "off")
            s.gpsExcluded.insert(prn);
    for (int slot = 1; slot <= 24; ++slot)
        if (params_.get("/par/pos/glo/sat/" + std::to_string(slot)) == "off")
            s.gloExcluded.insert(slot);
    return s;
}

void TEngine::runEpoch(bool emit) {
    timeMs_ += options_.epochStepMs;
    ++epochs_;
    last_ = sky_.compute(timeMs_, skySettings());
    if (options_.onEpoch)
        options_.onEpoch(last_);
    if (options_.onTruth)
        options_.onTruth(truthLine(last_));
    recordEpoch();
    if (emit) {
        auto due = outputs_.due(port_, timeMs_);
        if (newMessageSet_ && !due.empty() && !transfer_.active()) {
            host_.send(fileIdentifier(), false);
            newMessageSet_ = false;
        }
        emitEpoch(last_, due, false);
    }
    events_.clear();
}

// The identifier a receiver puts where a new message set begins: always 90 bytes.
std::string TEngine::fileIdentifier() const {
    std::string body = "TELVOR-SIM " + options_.model + " " + options_.serial + " " +
                       std::to_string(timeMs_ / 1000);
    body.resize(84, ' ');
    return frameMessage("QF", body + "\n");
}

void TEngine::emitEpoch(const TEpoch& epoch, const std::vector<TOutputs::TDue>& due, bool forced) {
    if (transfer_.active())
        return; // the port carries blocks now
    TEpochView view{epoch, {}, events_, forced};
    int mask = -90;
    if (auto m = params_.get("/par/out/elm" + port_))
        mask = std::stoi(*m);
    for (auto& s : epoch.sats)
        if (s.elDeg >= mask)
            view.sats.push_back(&s);
    for (auto& d : due) {
        std::vector<std::string> messages;
        encodeDue(view, d, messages);
        for (auto& m : messages) {
            if (d.onChange && !outputs_.changed(port_, d.def->name, m))
                continue;
            host_.send(std::move(m), false);
        }
    }
}

void TEngine::reboot(bool clearNvram) {
    ++restarts_;
    restartMs_ = timeMs_;
    outputs_.clear();
    newMessageSet_ = false;
    line_.clear();
    transfer_.cancel();
    events_.clear();
    if (clearNvram)
        params_.restoreDefaults("/");
    sky_.restart(timeMs_);
}

} // namespace telvorsim

namespace telvorsim {

std::string truthLine(const TEpoch& e) {
    const TGpsTime t = gpsTime(e.gpsMs);
    char text[160];
    std::snprintf(text, sizeof text, "%lld %d %.3f %.4f %.4f %.4f %.12e",
                  static_cast<long long>(e.timeMs), t.week, t.towMs / 1000.0, e.antenna.x,
                  e.antenna.y, e.antenna.z, e.clockBias);
    std::string line = text;
    for (const TSat& s : e.sats)
        if (s.status == 0 || s.status == 51 || s.status == 54) {
            std::snprintf(text, sizeof text, " %c%02d", s.system == TSystem::Gps ? 'G' : 'R',
                          s.number);
            line += text;
        }
    return line + "\n";
}

void encodeDue(const TEpochView& view, const TOutputs::TDue& due, std::vector<std::string>& out) {
    if (due.first && due.def->allOnEnable && !view.forced) {
        TEpochView all = view;
        all.forced = true;
        due.def->encode(all, out);
        return;
    }
    due.def->encode(view, out);
}

} // namespace telvorsim
