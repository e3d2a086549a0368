#include "sim/Rawencoders.h"

#include "sim/Body.h"
#include "sim/Gnsstime.h"
#include "sim/Ranging.h"

#include <algorithm>
#include <cmath>

namespace telvorsim {
namespace {

void signal(TBody& b, const TSignal& s) {
    b.f64(s.pseudorange);
    b.f64(s.phase);
    b.f32(s.doppler);
    b.u16(static_cast<unsigned>(std::lround(std::clamp(s.cn0, 0.0, 655.35) * 100)));
    b.u32(s.lockMs);
}

// The held ephemerides that go out now: the fresh ones, or all when forced.
template <typename T, typename N, typename F>
void held(const TEpochView& v, const std::vector<T>& all, const std::vector<int>& fresh, N number,
          F encode, std::vector<std::string>& out) {
    for (const T& eph : all)
        if (v.forced || std::find(fresh.begin(), fresh.end(), number(eph)) != fresh.end())
            out.push_back(encode(eph));
}

std::string gpsBody(const TGpsEphemeris& e) {
    TBody b;
    b.u8(e.prn);
    b.u8(e.health);
    b.u8(e.ura);
    b.u8(4); // fit interval, hours
    b.u16(static_cast<unsigned>(e.week));
    b.u16(static_cast<unsigned>(e.iode));
    b.u16(static_cast<unsigned>(e.iodc));
    b.u32(static_cast<std::uint32_t>(e.toe));
    b.u32(static_cast<std::uint32_t>(e.toc));
    for (double v : {e.af0, e.af1, e.af2, e.tgd, e.sqrtA, e.e, e.m0, e.deltaN, e.omega, e.omega0,
                     e.omegaDot, e.i0, e.idot, e.cuc, e.cus, e.crc, e.crs, e.cic, e.cis})
        b.f64(v);
    return frameMessage("GE", b.s);
}

std::string gloBody(const TGloEphemeris& e) {
    TBody b;
    b.u8(e.slot);
    b.i8(e.freq);
    b.u8(e.health);
    b.u8(e.n4);
    b.u16(static_cast<unsigned>(e.dayN4));
    b.u32(static_cast<std::uint32_t>(e.tb));
    for (double v : {e.pos.x, e.pos.y, e.pos.z, e.vel.x, e.vel.y, e.vel.z, e.acc.x, e.acc.y,
                     e.acc.z, e.tauN, e.gammaN})
        b.f64(v);
    return frameMessage("NE", b.s);
}

} // namespace

void encRawMeasurements(const TEpochView& v, std::vector<std::string>& out) {
    const TEpoch& e = v.epoch;
    if (!e.rawEpoch && !v.forced)
        return;
    const TGpsTime t = gpsTime(e.gpsMs);
    std::vector<const TSat*> sats;
    for (const TSat* s : v.sats)
        if (s->raw)
            sats.push_back(s);
    TBody b;
    b.u16(static_cast<unsigned>(t.week));
    b.u32(static_cast<std::uint32_t>(t.towMs));
    b.u8(static_cast<int>(sats.size()));
    b.u8(0);
    b.f64(e.fix.type > 0 ? e.fix.clockBias : 0);
    for (const TSat* s : sats) {
        b.u8(s->system == TSystem::Gps ? 0 : 1);
        b.u8(s->number);
        b.i8(s->freq);
        b.u8((s->l1.slipped ? 1 : 0) | (s->l2.slipped ? 2 : 0));
        signal(b, s->l1);
        signal(b, s->l2);
    }
    out.push_back(frameMessage("rM", b.s));
}

void encGpsEphemeris(const TEpochView& v, std::vector<std::string>& out) {
    held(
        v, v.epoch.gpsEph, v.epoch.newGpsEph, [](const TGpsEphemeris& e) { return e.prn; }, gpsBody,
        out);
}

void encGloEphemeris(const TEpochView& v, std::vector<std::string>& out) {
    held(
        v, v.epoch.gloEph, v.epoch.newGloEph, [](const TGloEphemeris& e) { return e.slot; },
        gloBody, out);
}

void encIonosphere(const TEpochView& v, std::vector<std::string>& out) {
    if (!v.epoch.ionoUtc || !(v.forced || v.epoch.newIonoUtc))
        return;
    const TIonoParams& p = ionoParams();
    TBody b;
    for (float a : p.alpha)
        b.f32(a);
    for (float x : p.beta)
        b.f32(x);
    out.push_back(frameMessage("IO", b.s));
}

void encUtc(const TEpochView& v, std::vector<std::string>& out) {
    if (!v.epoch.ionoUtc || !(v.forced || v.epoch.newIonoUtc))
        return;
    const TGpsTime t = gpsTime(v.epoch.gpsMs);
    const TLeapEvent leap = leapEvent(v.epoch.timeMs);
    TBody b;
    b.f64(0); // A0: UTC is GPS time less the leap seconds, exactly
    b.f64(0); // A1
    b.u32(static_cast<std::uint32_t>(t.towMs / 1000 / 4096 * 4096));
    b.u16(static_cast<unsigned>(t.week));
    b.i8(leapSeconds(v.epoch.timeMs));
    b.u16(static_cast<unsigned>(leap.weekLsf));
    b.u8(leap.day);
    b.i8(leap.after);
    out.push_back(frameMessage("UO", b.s));
}

} // namespace telvorsim
