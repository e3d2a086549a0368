#include "cli/Ntripcommand.h"

#include "ntrip/Basefeed.h"
#include "ntrip/Corroutput.h"
#include "ntrip/Ntripclient.h"
#include "ntrip/Ntripreply.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <ostream>
#include <thread>

namespace telvor {
namespace {

struct TNtripArgs {
    TNtripLogin login;
    std::optional<TGeoPoint> position;
    double heightM = 0;
    int ggaSeconds = 0;
};

std::optional<double> numberIn(const std::string& text, double low, double high) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end || !(v >= low && v <= high))
        return std::nullopt;
    return v;
}

// The usage text of the first bad option, else empty.
std::string readArgs(const TCliContext& ctx, TNtripArgs& a) {
    auto caster = parseCasterAddress(ctx.has("caster") ? ctx.options.at("caster") : "");
    if (!caster)
        return "ntrip needs --caster HOST:PORT";
    a.login.caster = *caster;
    a.login.mount = ctx.has("mount") ? ctx.options.at("mount") : "";
    if (!a.login.mount.empty() && a.login.mount[0] == '/')
        a.login.mount.erase(0, 1);
    a.login.user = ctx.has("user") ? ctx.options.at("user") : "";
    a.login.password = ctx.sharingPassword.value_or("");
    if (ctx.has("ntrip-version")) {
        const std::string& v = ctx.options.at("ntrip-version");
        if (v != "1" && v != "2")
            return "bad --ntrip-version \"" + v + "\": use 1 or 2";
        a.login.version = v[0] - '0';
    }
    if (ctx.has("gga")) {
        const auto n = numberIn(ctx.options.at("gga"), 1, 3600);
        if (!n)
            return "bad --gga: use seconds from 1 to 3600";
        a.ggaSeconds = static_cast<int>(*n);
    }
    if (ctx.has("position")) {
        double lat = 0, lon = 0, h = 0;
        char tail = 0;
        const int n =
            std::sscanf(ctx.options.at("position").c_str(), "%lf,%lf,%lf%c", &lat, &lon, &h, &tail);
        if ((n != 2 && n != 3) || !(lat >= -90 && lat <= 90) || !(lon >= -180 && lon <= 180))
            return "bad --position: use LAT,LON[,HEIGHT] in degrees and metres";
        a.position = TGeoPoint{lat, lon};
        a.heightM = h;
    }
    if (a.ggaSeconds && !a.position)
        return "--gga needs --position";
    if (ctx.has("raw") && !ctx.has("from"))
        return "--raw belongs to a base feed (--from)";
    if (!ctx.has("list") && !ctx.has("raw") && a.login.mount.empty())
        return "ntrip needs --mount (or --list)";
    if (!ctx.has("list") && ctx.has("to") == ctx.has("from"))
        return "ntrip needs one of --to DEVICE|HOST:PORT or --from DEVICE";
    return {};
}

int list(TCliContext& ctx, const TNtripArgs& a) {
    std::string error;
    const TSourcetable table = fetchSourcetable(a.login, 10000, error);
    if (!error.empty()) {
        ctx.err << error << std::endl;
        return 1;
    }
    ctx.out << formatSourcetable(table, a.position) << std::flush;
    return 0;
}

std::string ggaNow(const TNtripArgs& a) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const double seconds = std::chrono::duration<double>(now).count();
    return ggaSentence(a.position->latDeg, a.position->lonDeg, a.heightM,
                       std::fmod(seconds, 86400));
}

void sleepTick() {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

int receive(TCliContext& ctx, const TNtripArgs& a) {
    std::string error;
    std::unique_ptr<TCorrOutput> out = openCorrOutput(ctx.options.at("to"), error);
    if (!out) {
        ctx.err << error << std::endl;
        return 1;
    }
    TNtripClientConfig config;
    config.login = a.login;
    config.ggaSeconds = a.ggaSeconds;
    if (a.position)
        config.gga = [a] { return ggaNow(a); };
    TNtripClient client(config,
                        [&out](const std::uint8_t* b, std::size_t n) { return out->write(b, n); });
    client.start();
    TNtripState shown = TNtripState::Idle;
    std::string shownError;
    for (int tick = 0; !cliStopRequested(); ++tick) {
        const TNtripStatus s = client.status();
        if (s.state == TNtripState::Refused) {
            ctx.err << s.lastError << std::endl;
            if (!s.sourcetable.streams.empty())
                ctx.err << formatSourcetable(s.sourcetable, a.position);
            return 1;
        }
        if (s.state != shown || s.lastError != shownError || (ctx.verbose && tick % 50 == 0)) {
            ctx.err << stateText(s.state) << (s.lastError.empty() ? "" : ": " + s.lastError) << " ("
                    << s.bytes << " bytes)" << std::endl;
            shown = s.state;
            shownError = s.lastError;
        }
        sleepTick();
    }
    client.stop();
    ctx.err << "Stopped after " << client.status().bytes << " bytes" << std::endl;
    return 0;
}

int feed(TCliContext& ctx, const TNtripArgs& a) {
    std::string error;
    std::unique_ptr<TCorrInput> in = openCorrInput(ctx.options.at("from"), error);
    if (!in) {
        ctx.err << error << std::endl;
        return 1;
    }
    TBaseFeedConfig config;
    config.login = a.login;
    config.mode = ctx.has("raw")         ? TFeedMode::Raw
                  : a.login.version == 1 ? TFeedMode::Source1
                                         : TFeedMode::Post2;
    TBaseFeed feed(config, std::move(in));
    feed.start();
    bool connected = false;
    std::string shownError;
    while (!cliStopRequested()) {
        const TBaseFeedStatus s = feed.status();
        if (s.inputGone) {
            ctx.err << s.lastError << std::endl;
            return 1;
        }
        if (s.connected != connected || s.lastError != shownError) {
            ctx.err << (s.connected ? "Sending" : "Waiting to reconnect")
                    << (s.lastError.empty() || s.connected ? "" : ": " + s.lastError) << std::endl;
            connected = s.connected;
            shownError = s.lastError;
        }
        sleepTick();
    }
    feed.stop();
    const TBaseFeedStatus s = feed.status();
    ctx.err << "Stopped after " << s.bytesSent << " bytes sent, " << s.bytesDropped << " dropped"
            << std::endl;
    return 0;
}

} // namespace

int runNtrip(TCliContext& ctx) {
    TNtripArgs a;
    if (const std::string bad = readArgs(ctx, a); !bad.empty())
        return usageError(ctx.err, bad);
    if (ctx.has("list"))
        return list(ctx, a);
    return ctx.has("to") ? receive(ctx, a) : feed(ctx, a);
}

} // namespace telvor
