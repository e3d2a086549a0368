#include "sim/Encoders.h"

#include "protocol/Crc16.h"
#include "protocol/Messageformat.h"
#include "sim/Body.h"
#include "sim/Rawencoders.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace telvorsim {
namespace {

void add(std::vector<std::string>& out, const char* id, const TBody& b) {
    out.push_back(frameMessage(id, b.s));
}

// Per-satellite byte lists.
template <typename F>
void perSat(const TEpochView& v, const char* id, F value, std::vector<std::string>& out) {
    TBody b;
    for (auto* s : v.sats)
        value(b, *s);
    add(out, id, b);
}

void encRT(const TEpochView& v, std::vector<std::string>& out) {
    TBody b;
    b.u32(v.epoch.todMs);
    add(out, "~~", b);
}

void encRD(const TEpochView& v, std::vector<std::string>& out) {
    TBody b;
    b.u16(static_cast<unsigned>(v.epoch.year));
    b.u8(v.epoch.month);
    b.u8(v.epoch.day);
    b.u8(0); // time base: GPS
    add(out, "RD", b);
}

void encSI(const TEpochView& v, std::vector<std::string>& out) {
    perSat(
        v, "SI", [](TBody& b, const TSat& s) { b.u8(s.index); }, out);
}

void encNN(const TEpochView& v, std::vector<std::string>& out) {
    TBody b;
    for (auto* s : v.sats)
        if (s->system == TSystem::Glonass)
            b.u8(s->number);
    add(out, "NN", b);
}

void encEL(const TEpochView& v, std::vector<std::string>& out) {
    perSat(
        v, "EL", [](TBody& b, const TSat& s) { b.i8(static_cast<int>(std::lround(s.elDeg))); },
        out);
}

void encAZ(const TEpochView& v, std::vector<std::string>& out) {
    perSat(
        v, "AZ",
        [](TBody& b, const TSat& s) { b.u8(static_cast<int>(std::lround(s.azDeg / 2)) % 180); },
        out);
}

void encEC(const TEpochView& v, std::vector<std::string>& out) {
    perSat(
        v, "EC", [](TBody& b, const TSat& s) { b.u8(s.ca); }, out);
}

void encE1(const TEpochView& v, std::vector<std::string>& out) {
    perSat(
        v, "E1", [](TBody& b, const TSat& s) { b.u8(s.p1); }, out);
}

void encE2(const TEpochView& v, std::vector<std::string>& out) {
    perSat(
        v, "E2", [](TBody& b, const TSat& s) { b.u8(s.p2); }, out);
}

void encSS(const TEpochView& v, std::vector<std::string>& out) {
    TBody b;
    for (auto* s : v.sats)
        b.u8(s->status);
    b.u8(v.epoch.fix.type); // solution type after the per-satellite states
    add(out, "SS", b);
}

void encTC(const TEpochView& v, std::vector<std::string>& out) {
    perSat(
        v, "TC", [](TBody& b, const TSat& s) { b.u16(static_cast<unsigned>(s.trackS)); }, out);
}

void encDC(const TEpochView& v, std::vector<std::string>& out) {
    perSat(
        v, "DC",
        [](TBody& b, const TSat& s) {
            b.i32(static_cast<std::int32_t>(std::lround(s.dopplerHz * 10000)));
        },
        out);
}

void encDO(const TEpochView& v, std::vector<std::string>& out) {
    TBody b;
    b.f32(v.epoch.clockRate);
    add(out, "DO", b);
}

void encOO(const TEpochView& v, std::vector<std::string>& out) {
    TBody b;
    b.f32(v.epoch.oscOffset);
    add(out, "OO", b);
}

void encTT(const TEpochView& v, std::vector<std::string>& out) {
    TBody b;
    b.u32(v.epoch.uptimeS);
    add(out, "TT", b);
}

void encPV(const TEpochView& v, std::vector<std::string>& out) {
    const TFix& f = v.epoch.fix;
    TBody b;
    b.f64(f.x);
    b.f64(f.y);
    b.f64(f.z);
    b.f32(f.posRms);
    b.f32(f.vx);
    b.f32(f.vy);
    b.f32(f.vz);
    b.f32(f.velRms);
    b.u8(f.type);
    add(out, "PV", b);
}

void encPO(const TEpochView& v, std::vector<std::string>& out) {
    const TFix& f = v.epoch.fix;
    TBody b;
    b.f64(f.x);
    b.f64(f.y);
    b.f64(f.z);
    b.f32(f.posRms);
    b.u8(f.type);
    add(out, "PO", b);
}

void encVE(const TEpochView& v, std::vector<std::string>& out) {
    const TFix& f = v.epoch.fix;
    TBody b;
    b.f32(f.vx);
    b.f32(f.vy);
    b.f32(f.vz);
    b.f32(f.velRms);
    b.u8(f.type);
    add(out, "VE", b);
}

void encPG(const TEpochView& v, std::vector<std::string>& out) {
    const TFix& f = v.epoch.fix;
    TBody b;
    b.f64(f.latRad);
    b.f64(f.lonRad);
    b.f64(f.height);
    b.f32(f.posRms);
    b.u8(f.type);
    add(out, "PG", b);
}

void encDP(const TEpochView& v, std::vector<std::string>& out) {
    const TFix& f = v.epoch.fix;
    TBody b;
    b.f32(f.hdop);
    b.f32(f.vdop);
    b.f32(f.tdop);
    b.u8(f.type);
    add(out, "DP", b);
}

void encSG(const TEpochView& v, std::vector<std::string>& out) {
    const TFix& f = v.epoch.fix;
    TBody b;
    b.f32(f.hRms);
    b.f32(f.vRms);
    b.f32(f.hvRms);
    b.f32(f.vvRms);
    b.u8(f.type);
    add(out, "SG", b);
}

void encMS(const TEpochView& v, std::vector<std::string>& out) {
    char text[96];
    const TEpoch& e = v.epoch;
    if (e.rtcmLink)
        std::snprintf(text, sizeof text, ",RTCMST,%03d,%04d,%04d,%.2f,@", 17, e.rtcmMessages,
                      e.rtcmErrors, e.linkQuality);
    else
        std::snprintf(text, sizeof text, ",RTCMST,999,0000,0000,100.00,@");
    out.push_back(frameMessage("MS", text));
}

// Satellite view text: count, then per satellite number, [frequency,] elevation, azimuth,
// C/A, P1, P2, status.
void satView(const TEpochView& v, TSystem system, const char* id, const char* tag,
             std::vector<std::string>& out) {
    std::string text;
    int count = 0;
    char field[96];
    for (auto* s : v.sats) {
        if (s->system != system)
            continue;
        ++count;
        if (system == TSystem::Glonass)
            std::snprintf(field, sizeof field, ",%03d,%d", s->number, s->freq);
        else
            std::snprintf(field, sizeof field, ",%03d", s->number);
        text += field;
        std::snprintf(field, sizeof field, ",%d,%d,%03d,%d,%02d,%02d",
                      static_cast<int>(std::lround(s->elDeg)),
                      static_cast<int>(std::lround(s->azDeg)) % 360, s->ca,
                      s->p1 == 255 ? 0 : s->p1, s->p2 == 255 ? 0 : s->p2, s->status);
        text += field;
    }
    std::snprintf(field, sizeof field, ",%s,%02d", tag, count);
    out.push_back(frameMessage(id, std::string(field) + text + ",@"));
}

void encGS(const TEpochView& v, std::vector<std::string>& out) {
    satView(v, TSystem::Gps, "GS", "GPSVST", out);
}

void encNS(const TEpochView& v, std::vector<std::string>& out) {
    satView(v, TSystem::Glonass, "NS", "GLSVST", out);
}

void gpsAlmanac(int prn, std::vector<std::string>& out) {
    TBody b;
    b.u8(prn);
    b.u8(0);                    // health
    b.u16(1380);                // week
    b.u32(405504);              // time of almanac
    b.f32(0.0043 + prn * 1e-4); // eccentricity
    b.f32(0.94 + prn * 1e-3);   // inclination, rad
    b.f32(-7.9e-9);             // rate of right ascension
    b.f64(5153.6);              // square root of the semi-major axis
    b.f64(-1.0 + prn * 0.1);    // longitude of the node
    b.f64(0.5 + prn * 0.05);    // argument of perigee
    b.f64(prn * 0.2);           // mean anomaly
    b.f32(1e-5);
    b.f32(0);
    add(out, "GA", b);
}

void encGA(const TEpochView& v, std::vector<std::string>& out) {
    for (int prn : v.epoch.gpsAlmanacs)
        gpsAlmanac(prn, out);
    if (v.forced && v.epoch.gpsAlmanacs.empty() && v.epoch.lastGpsAlmanac)
        gpsAlmanac(v.epoch.lastGpsAlmanac, out);
}

void gloAlmanac(int slot, std::vector<std::string>& out) {
    TBody b;
    b.u8(slot);
    b.i8(gloFrequency(slot));
    b.u8(0);                     // health
    b.u16(1412);                 // day number in the four-year period
    b.f32(30000.0 + slot * 100); // time of the ascending node
    b.f32(slot * 0.26);          // longitude of the node
    b.f32(0.0);                  // inclination correction
    b.f32(0.0009);               // eccentricity
    b.f32(0.7 + slot * 0.01);    // argument of perigee
    b.f32(-2655.7);              // period correction
    b.f32(0.0);
    b.f32(-1e-5); // clock offset
    add(out, "NA", b);
}

void encNA(const TEpochView& v, std::vector<std::string>& out) {
    for (int slot : v.epoch.gloAlmanacs)
        gloAlmanac(slot, out);
    if (v.forced && v.epoch.gloAlmanacs.empty() && v.epoch.lastGloAlmanac)
        gloAlmanac(v.epoch.lastGloAlmanac, out);
}

void event(const TEpochView& v, char which, const char* id, std::vector<std::string>& out) {
    for (char e : v.events)
        if (e == which) {
            TBody b;
            b.u32(v.epoch.todMs);
            b.i32(0); // nanoseconds beyond the millisecond
            b.u8(0);  // time scale: receiver
            add(out, id, b);
        }
}

void encXA(const TEpochView& v, std::vector<std::string>& out) {
    event(v, 'A', "XA", out);
}

void encXB(const TEpochView& v, std::vector<std::string>& out) {
    event(v, 'B', "XB", out);
}

void encEE(const TEpochView&, std::vector<std::string>& out) {
    out.push_back(frameMessage("||", ""));
}

char hexDigit(int v) {
    return "0123456789ABCDEF"[v & 15];
}

} // namespace

const std::vector<TMessageDef>& messageTable() {
    static const std::vector<TMessageDef> kTable = {
        {"RT", "~~", encRT, false},
        {"RD", "RD", encRD, false},
        {"SI", "SI", encSI, false},
        {"NN", "NN", encNN, false},
        {"EL", "EL", encEL, false},
        {"AZ", "AZ", encAZ, false},
        {"EC", "EC", encEC, false},
        {"E1", "E1", encE1, false},
        {"E2", "E2", encE2, false},
        {"SS", "SS", encSS, false},
        {"TC", "TC", encTC, false},
        {"DC", "DC", encDC, false},
        {"DO", "DO", encDO, false},
        {"OO", "OO", encOO, false},
        {"TT", "TT", encTT, false},
        {"PV", "PV", encPV, false},
        {"PO", "PO", encPO, false},
        {"VE", "VE", encVE, false},
        {"PG", "PG", encPG, false},
        {"DP", "DP", encDP, false},
        {"SG", "SG", encSG, false},
        {"rM", "rM", encRawMeasurements, false},
        {"GE", "GE", encGpsEphemeris, true, true},
        {"NE", "NE", encGloEphemeris, true, true},
        {"IO", "IO", encIonosphere, true, true},
        {"UO", "UO", encUtc, true, true},
        {"MS", "MS", encMS, false},
        {"GS", "GS", encGS, false},
        {"NS", "NS", encNS, false},
        {"GA", "GA", encGA, true},
        {"NA", "NA", encNA, true},
        {"XA", "XA", encXA, true},
        {"XB", "XB", encXB, true},
        {"EE", "||", encEE, false},
    };
    return kTable;
}

const TMessageDef* findMessage(std::string_view name) {
    for (auto& m : messageTable())
        if (name == m.name)
            return &m;
    return nullptr;
}

const std::vector<std::string>& defaultSet() {
    static const std::vector<std::string> kSet = {"RT", "RD", "SI", "NN", "EL", "AZ", "EC", "E1",
                                                  "E2", "SS", "TC", "DC", "DO", "OO", "PV", "DP",
                                                  "SG", "rM", "GE", "NE", "IO", "UO"};
    return kSet;
}

std::string frameMessage(std::string_view id, std::string_view payload) {
    int row = telvor::messInfoRow(id[0], id[1]);
    int kind = telvor::MessInfoVXR[row].kind;
    std::size_t extra = kind == telvor::kBinaryChecksum ? 1 : kind == telvor::kNoChecksum ? 0 : 2;
    std::size_t length = payload.size() + extra;
    std::string m;
    m.reserve(length + telvor::kHeaderSize);
    m.append(id.substr(0, 2));
    m.push_back(hexDigit(static_cast<int>(length >> 8)));
    m.push_back(hexDigit(static_cast<int>(length >> 4)));
    m.push_back(hexDigit(static_cast<int>(length)));
    m.append(payload);
    if (kind == telvor::kBinaryChecksum) {
        m.push_back(static_cast<char>(telvor::rotatingChecksum(m.data(), m.size())));
    } else if (kind == telvor::kHexChecksum) {
        std::uint8_t c = telvor::rotatingChecksum(m.data(), m.size());
        m.push_back(hexDigit(c >> 4));
        m.push_back(hexDigit(c));
    } else if (kind == telvor::kCrcChecksum) {
        std::uint16_t c = telvor::crc16(0, m.data(), m.size());
        m.push_back(static_cast<char>(c & 0xFF));
        m.push_back(static_cast<char>(c >> 8));
    }
    return m;
}

std::string frameReply(bool ok, std::string_view body) {
    return frameMessage(ok ? "RE" : "ER", body);
}

} // namespace telvorsim
