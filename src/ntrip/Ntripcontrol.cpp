#include "ntrip/Ntripcontrol.h"

#include "server/Sharingpacket.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace telvor {
namespace {

TNtripLogin loginOf(const TNtripFields& f) {
    TNtripLogin login;
    if (auto c = parseCasterAddress(f.caster))
        login.caster = *c;
    login.mount = f.mount.rfind('/', 0) == 0 ? f.mount.substr(1) : f.mount;
    login.user = f.user;
    login.password = f.password;
    login.version = f.version;
    return login;
}

std::string fixed(double v, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

} // namespace

TNtripControl::~TNtripControl() {
    stop();
}

TNtripFields TNtripControl::load(const TProfile& p) {
    TNtripFields f;
    f.caster = p.read(keys::NtripCaster);
    f.mount = p.read(keys::NtripMount);
    f.user = p.read(keys::NtripUser);
    f.password = decodeStoredPassword(p.read(keys::NtripPassword)).value_or("");
    f.destination = p.read(keys::NtripDestination);
    f.version = p.read(keys::NtripVersion) == 1 ? 1 : 2;
    f.ggaSeconds = std::clamp(p.read(keys::NtripGga), 0, 3600);
    return f;
}

void TNtripControl::save(TProfile& p, const TNtripFields& f) {
    p.write(keys::NtripCaster, f.caster);
    p.write(keys::NtripMount, f.mount);
    p.write(keys::NtripUser, f.user);
    p.write(keys::NtripPassword, encodeStoredPassword(f.password));
    p.write(keys::NtripDestination, f.destination);
    p.write(keys::NtripVersion, f.version);
    p.write(keys::NtripGga, f.ggaSeconds);
}

std::string TNtripControl::check(const TNtripFields& f) {
    if (!parseCasterAddress(f.caster))
        return "Caster: give HOST:PORT";
    if (f.mount.empty() || f.mount == "/")
        return "Mountpoint: give the stream's name";
    if (f.destination.empty())
        return "Destination: give a serial port or HOST:PORT";
    if (f.version != 1 && f.version != 2)
        return "NTRIP version: 1 or 2";
    if (f.ggaSeconds < 0 || f.ggaSeconds > 3600)
        return "GGA: 0 to 3600 seconds";
    return {};
}

std::string TNtripControl::start(const TNtripFields& f) {
    stop();
    if (std::string bad = check(f); !bad.empty())
        return bad;
    std::string error;
    output_ = openCorrOutput(f.destination, error);
    if (!output_)
        return error;
    TNtripClientConfig config;
    config.login = loginOf(f);
    config.ggaSeconds = f.ggaSeconds;
    config.gga = [this] { return gga(); };
    client_ = std::make_unique<TNtripClient>(
        config,
        [out = output_.get()](const std::uint8_t* b, std::size_t n) { return out->write(b, n); });
    client_->start();
    return {};
}

void TNtripControl::stop() {
    client_.reset(); // joins the client's thread before its output goes
    output_.reset();
}

void TNtripControl::setPosition(double latDeg, double lonDeg, double heightM) {
    std::lock_guard guard(lock_);
    position_ = TGeoPoint{latDeg, lonDeg};
    heightM_ = heightM;
}

std::string TNtripControl::gga() const {
    const double now =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    std::lock_guard guard(lock_);
    return position_ ? ggaSentence(position_->latDeg, position_->lonDeg, heightM_,
                                   std::fmod(now, 86400.0))
                     : std::string();
}

std::vector<std::string> TNtripControl::statusLines() const {
    if (!client_)
        return {"State: " + stateText(TNtripState::Idle)};
    const TNtripStatus s = client_->status();
    std::vector<std::string> lines = {
        "State: " + stateText(s.state),
        "Bytes: " + std::to_string(s.bytes),
        "Rate: " + fixed(s.rate / 1000, 2) + " kB/s",
        "Age: " + (s.ageMs < 0 ? std::string("-") : fixed(s.ageMs / 1000.0, 1) + " s"),
    };
    if (!s.lastError.empty())
        lines.push_back("Error: " + s.lastError);
    return lines;
}

std::vector<std::vector<std::string>>
TNtripControl::sourcetableRows(const TSourcetable* table) const {
    std::vector<std::vector<std::string>> rows;
    TNtripStatus s;
    if (table)
        s.sourcetable = *table;
    else if (client_)
        s = client_->status();
    std::optional<TGeoPoint> from;
    {
        std::lock_guard guard(lock_);
        from = position_;
    }
    for (const TStreamEntry& e : s.sourcetable.streams)
        rows.push_back({e.mount, e.format, e.navSystem,
                        from && e.hasPosition
                            ? fixed(distanceKm(*from, {e.latDeg, e.lonDeg}), 1) + " km"
                            : ""});
    return rows;
}

TSourcetable TNtripControl::list(const TNtripFields& f, std::string& error) {
    if (!parseCasterAddress(f.caster)) {
        error = "Caster: give HOST:PORT";
        return {};
    }
    return fetchSourcetable(loginOf(f), 10000, error);
}

} // namespace telvor
