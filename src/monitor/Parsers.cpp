#include "monitor/Parsers.h"

#include "monitor/Body.h"
#include "monitor/Numformat.h"
#include "protocol/Messageformat.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace telvor {
namespace {

bool validDate(int y, int m, int d) {
    static constexpr int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1 || d > days[m - 1])
        return false;
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return !(m == 2 && d == 29 && !leap);
}

std::string localeDate(int y, int m, int d) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = m - 1;
    t.tm_mday = d;
    char buf[64];
    std::size_t n = std::strftime(buf, sizeof buf, "%x", &t);
    return std::string(buf, n);
}

constexpr std::array kLiveLabels = {
    "PositionX",         "PositionY",    "PositionZ",   "PosLatLabel",      "PosLonLabel",
    "PosAltLabel",       "SpeedLabel",   "PDOPLabel",   "PosTypeLabel",     "PSigmaLabel",
    "VSigmaLabel",       "TimeLabel",    "DateLabel",   "ClockOffsetLabel", "TimeDriftLabel",
    "TrackingTimeLabel", "RTKLinkLabel", "EventALabel", "EventBLabel",      "TgtLatLabel",
    "TgtLonLabel",       "ETTLabel",     "NTTLabel",    "DTTLabel",         "CTTLabel"};

} // namespace

const char* solutionTypeName(int type) {
    static constexpr const char* names[] = {"no solution", "standalone", "code differential",
                                            "RTK float", "RTK fixed"};
    return type >= 0 && type <= 4 ? names[type] : nullptr;
}

std::string receiverTimeText(std::uint32_t ms) {
    std::uint32_t s = ms / 1000;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", s / 3600, s / 60 % 60, s % 60);
    return buf;
}

std::string trackingTimeText(std::uint32_t s) {
    char buf[48];
    std::uint32_t days = s / 86400;
    if (days > 0)
        std::snprintf(buf, sizeof buf, "%ud %02u:%02u:%02u", days, s / 3600 % 24, s / 60 % 60,
                      s % 60);
    else
        std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", s / 3600, s / 60 % 60, s % 60);
    return buf;
}

std::optional<std::string> rtcmLinkText(std::string_view t) {
    if (t == "MS020,RTCMST,999,0000,0000,100.00,@1F")
        return std::string(); // no link: hide
    const std::size_t n = t.size();
    if (n < 32 || t.find('\0') != std::string_view::npos || t.substr(6, 6) != "RTCMST" ||
        t[n - 3] != '@' || t[5] != ',' || t[12] != ',' || t[21] != ',' || t[26] != ',')
        return std::nullopt;
    int hi = telvor::hexDigitValue(t[n - 2]), lo = telvor::hexDigitValue(t[n - 1]);
    if (hi < 0 || lo < 0 || rotatingChecksum(t.data(), n - 2) != hi * 16 + lo)
        return std::nullopt;
    std::string q(t.substr(27, n - 4 - 27));
    // A one-decimal quality loses its decimal; the integer part stays whole.
    if (q.size() >= 2 && q[q.size() - 2] == '.')
        q.resize(q.size() - 2);
    return "LQ: " + q + "% (" + std::string(t.substr(13, 13)) + ")";
}

void TOscillatorOffset::update(float value) {
    double v = static_cast<double>(value) * 1e6;
    // An unknown value shows as such and leaves the last known one as the base of the delta.
    unknown_ = !std::isfinite(v);
    if (unknown_)
        return;
    delta_ = hasValue_ ? (v - previous_) * 1000 : 0;
    maxDelta_ = std::max(maxDelta_, std::fabs(delta_));
    previous_ = v;
    hasValue_ = true;
}

std::string TOscillatorOffset::text() const {
    if (unknown_)
        return std::string(kUnknownText);
    if (!hasValue_)
        return {};
    switch (mode()) {
    case 1:
        return signPrefix(delta_) + formatFixed(delta_, 15, 4) + " ppb";
    case 2:
        return formatFixed(maxDelta_, 15, 4) + " ppb";
    default:
        return signPrefix(previous_) + formatFixed(previous_, 15, 4) + " ppm";
    }
}

void TOscillatorOffset::doubleClick(bool shift) {
    if (!shift)
        mode_ = (mode() + 1) % kModes;
    else if (mode() == 2)
        maxDelta_ = 0;
}

TMonitorDecoder::TMonitorDecoder(TMonitorView& main, TTargetPoint& target)
    : main_(main), target_(target), dateText_(localeDate) {}

void TMonitorDecoder::put(std::string_view name, std::string text) {
    if (logging_ && isLoggingControl(name))
        logging_->show(name, std::move(text));
    else
        main_.show(name, std::move(text));
}

bool TMonitorDecoder::hasDecoder(std::string_view id) {
    return findDecoder(id) || TSatelliteTables::handles(id);
}

void TMonitorDecoder::showPosition(double x, double y, double z) {
    put("PositionX", fixedText(x, 15, 4));
    put("PositionY", fixedText(y, 15, 4));
    put("PositionZ", fixedText(z, 15, 4));
}

void TMonitorDecoder::showSpeed(double vx, double vy, double vz) {
    const double speed = std::sqrt(vx * vx + vy * vy + vz * vz);
    std::string text = fixedText(speed, 7, 4, " m/s");
    if (std::isnan(speed) && debug_)
        debug_(formatFixed(vx, 7, 4) + " " + formatFixed(vy, 7, 4) + " " + formatFixed(vz, 7, 4));
    put("SpeedLabel", std::move(text));
}

// The decoders of the display tick by message id; the satellite tables have their own.
const TMonitorDecoder::TDecoderEntry* TMonitorDecoder::findDecoder(std::string_view id) {
    static constexpr TDecoderEntry table[] = {
        {"~~", &TMonitorDecoder::decodeTime},         {"RD", &TMonitorDecoder::decodeDate},
        {"TT", &TMonitorDecoder::decodeTrackingTime}, {"DP", &TMonitorDecoder::decodeDop},
        {"SG", &TMonitorDecoder::decodeSigmas},       {"PO", &TMonitorDecoder::decodePosition},
        {"VE", &TMonitorDecoder::decodeVelocity},     {"PV", &TMonitorDecoder::decodePosVel},
        {"PG", &TMonitorDecoder::decodePg},           {"DO", &TMonitorDecoder::decodeClockRate},
        {"OO", &TMonitorDecoder::decodeOscillator},   {"GA", &TMonitorDecoder::decodeAlmanacMap},
        {"NA", &TMonitorDecoder::decodeAlmanacMap},   {"MS", &TMonitorDecoder::decodeRtcmLink},
    };
    for (const auto& entry : table)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

bool TMonitorDecoder::decode(const std::uint8_t* m, std::size_t length) {
    if (length < kHeaderSize)
        return false;
    std::string_view id = messageId(m);
    if (TSatelliteTables::handles(id))
        return satellites_.decode(listView(), m, length);
    const TDecoderEntry* entry = findDecoder(id);
    return entry && (this->*entry->decode)(m, length);
}

bool TMonitorDecoder::decodeTime(const std::uint8_t* m, std::size_t length) {
    std::uint32_t ms;
    if (!TBody(m, length).read(0, ms))
        return false;
    put("TimeLabel", receiverTimeText(ms));
    return true;
}

bool TMonitorDecoder::decodeDate(const std::uint8_t* m, std::size_t length) {
    TBody body(m, length);
    std::uint16_t year;
    std::uint8_t month, day;
    if (!body.read(0, year) || !body.read(2, month) || !body.read(3, day))
        return false;
    std::string text = validDate(year, month, day) ? dateText_(year, month, day) : "??";
    if (logging_)
        logging_->show("ReceiverDateText", std::move(text));
    else
        main_.show("DateLabel", std::move(text));
    return true;
}

bool TMonitorDecoder::decodeTrackingTime(const std::uint8_t* m, std::size_t length) {
    std::uint32_t s;
    if (!TBody(m, length).read(0, s))
        return false;
    put("TrackingTimeLabel", trackingTimeText(s));
    return true;
}

bool TMonitorDecoder::decodeDop(const std::uint8_t* m, std::size_t length) {
    TBody body(m, length);
    float h, v, t;
    if (!body.read(0, h) || !body.read(4, v) || !body.read(8, t))
        return false;
    put("PDOPLabel", fixedText(std::sqrt(double(h) * h + double(v) * v), 7, 4));
    return true;
}

bool TMonitorDecoder::decodeSigmas(const std::uint8_t* m, std::size_t length) {
    TBody body(m, length);
    float a, b, c, d;
    if (!body.read(0, a) || !body.read(4, b) || !body.read(8, c) || !body.read(12, d))
        return false;
    put("PSigmaLabel", fixedText(std::sqrt(double(a) * a + double(b) * b), 10, 4, " m"));
    put("VSigmaLabel", fixedText(std::sqrt(double(c) * c + double(d) * d), 10, 4, " m/s"));
    return true;
}

bool TMonitorDecoder::decodePosition(const std::uint8_t* m, std::size_t length) {
    TBody body(m, length);
    double x, y, z;
    std::uint8_t type;
    if (!body.read(0, x) || !body.read(8, y) || !body.read(16, z) || !body.read(28, type))
        return false;
    if (type != 0)
        showPosition(x, y, z);
    return true;
}

bool TMonitorDecoder::decodeVelocity(const std::uint8_t* m, std::size_t length) {
    TBody body(m, length);
    float vx, vy, vz;
    std::uint8_t type;
    if (!body.read(0, vx) || !body.read(4, vy) || !body.read(8, vz) || !body.read(16, type))
        return false;
    if (type != 0)
        showSpeed(vx, vy, vz);
    return true;
}

bool TMonitorDecoder::decodePosVel(const std::uint8_t* m, std::size_t length) {
    TBody body(m, length);
    double x, y, z;
    float vx, vy, vz;
    std::uint8_t type;
    if (!body.read(0, x) || !body.read(8, y) || !body.read(16, z) || !body.read(28, vx) ||
        !body.read(32, vy) || !body.read(36, vz) || !body.read(44, type))
        return false;
    if (type != 0) {
        showPosition(x, y, z);
        showSpeed(vx, vy, vz);
    }
    return true;
}

bool TMonitorDecoder::decodeClockRate(const std::uint8_t* m, std::size_t length) {
    float rate;
    if (!TBody(m, length).read(0, rate))
        return false;
    double ppm = double(rate) * 1e6;
    if (!std::isfinite(ppm)) {
        // The trend marks keep the last known rate.
        main_.show("ClockOffsetLabel", std::string(kUnknownText));
        return true;
    }
    satellites_.setClockRate(rate);
    main_.show("ClockOffsetLabel", signPrefix(ppm) + formatFixed(ppm, 10, 4) + " ppm");
    return true;
}

bool TMonitorDecoder::decodeOscillator(const std::uint8_t* m, std::size_t length) {
    float value;
    if (!TBody(m, length).read(0, value))
        return false;
    oscillator_.update(value);
    showOscillator();
    return true;
}

bool TMonitorDecoder::decodeAlmanacMap(const std::uint8_t* m, std::size_t) {
    bool glo = messageId(m) == "NA";
    main_.show(glo ? "NALabel" : "GALabel", satellites_.almanacMap(glo));
    return true;
}

bool TMonitorDecoder::decodeRtcmLink(const std::uint8_t* m, std::size_t length) {
    auto text = rtcmLinkText(messageText(m, length));
    if (!text)
        return false;
    if (text->empty())
        main_.hide("RTKLinkLabel");
    else
        main_.show("RTKLinkLabel", std::move(*text));
    return true;
}

bool TMonitorDecoder::decodePg(const std::uint8_t* m, std::size_t length) {
    TBody body(m, length);
    double lat, lon, height;
    std::uint8_t type;
    if (!body.read(0, lat) || !body.read(8, lon) || !body.read(16, height) || !body.read(28, type))
        return false;
    main_.show("PosLatLabel", dmsText(lat, false));
    main_.show("PosLonLabel", dmsText(lon, true));
    main_.show("PosAltLabel", fixedText(height, 10, 4, " m"));
    if (const char* name = solutionTypeName(type))
        main_.show("PosTypeLabel", std::string("(") + name + ")");
    else
        main_.hide("PosTypeLabel");

    if (target_.capture && std::isfinite(lat) && std::isfinite(lon))
        setTarget(lat, lon);
    else if (!main_.visible("TgtLatLabel"))
        refreshTargetLabels();

    TOffsets o = targetOffsets(lon, lat, target_.lon, target_.lat);
    main_.show("ETTLabel", fixedText(o.east, 15, 3, " m"));
    main_.show("NTTLabel", fixedText(o.north, 15, 3, " m"));
    main_.show("DTTLabel", fixedText(o.distance, 15, 3, " m"));
    main_.show("CTTLabel", courseText(o.course));
    return true;
}

void TMonitorDecoder::showOscillator() {
    std::string text = oscillator_.text();
    if (!text.empty())
        main_.show("TimeDriftLabel", std::move(text));
}

void TMonitorDecoder::noteAlmanac(const std::uint8_t* m, std::size_t length) {
    satellites_.noteAlmanac(m, length);
}

void TMonitorDecoder::countEvent(const std::uint8_t* m, std::size_t length) {
    if (length < kHeaderSize || checkMessage(m, length) != CheckResult::Good || m[0] != 'X')
        return;
    if (m[1] == 'A')
        events_[0].fetch_add(1);
    else if (m[1] == 'B')
        events_[1].fetch_add(1);
}

void TMonitorDecoder::refreshEventLabels() {
    for (int i = 0; i < 2; ++i) {
        std::uint32_t n = events_[i].load();
        if (n > 0)
            main_.show(i ? "EventBLabel" : "EventALabel",
                       std::string(i ? "Event B: " : "Event A: ") + std::to_string(n));
    }
}

void TMonitorDecoder::resetEvent(int which) {
    which &= 1;
    events_[which].store(0);
    main_.setText(which ? "EventBLabel" : "EventALabel", which ? "Event B: 0" : "Event A: 0");
}

void TMonitorDecoder::deltaDoubleClick(bool shift) {
    oscillator_.doubleClick(shift);
    showOscillator();
}

void TMonitorDecoder::setTarget(double lat, double lon) {
    target_.capture = false;
    target_.lat = lat;
    target_.lon = lon;
    refreshTargetLabels();
    if (targetChanged_)
        targetChanged_(lat, lon);
}

void TMonitorDecoder::refreshTargetLabels() {
    main_.show("TgtLatLabel", dmsText(target_.lat, false));
    main_.show("TgtLonLabel", dmsText(target_.lon, true));
}

void TMonitorDecoder::resetSatelliteDisplay() {
    satellites_.reset(main_, logging_);
    main_.show("GALabel", " 0");
    main_.show("NALabel", " 0");
    events_[0].store(0);
    events_[1].store(0);
}

void TMonitorDecoder::resetDisplay() {
    resetSatelliteDisplay();
    for (const char* name : kLiveLabels)
        main_.hide(name);
}

} // namespace telvor
