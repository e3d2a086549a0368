// The simulated world's orbits and clocks: the GPS user algorithm against a vector worked by
// hand, the GLONASS integration against its conserved quantity and its own reversal, the
// constellation's issues meeting without a step, and the time scales across leap seconds and
// week rollovers.
#include "sim/Constellation.h"
#include "sim/Gnsstime.h"
#include "support/Golden.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using namespace telvorsim;
using telvor::testing::loadGolden;

namespace {

double distance(const TVec& a, const TVec& b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                     (a.z - b.z) * (a.z - b.z));
}

std::int64_t utc(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    return static_cast<std::int64_t>(timegm(&tm)) * 1000;
}

} // namespace

TEST(SimOrbits, GpsEphemerisGivesTheHandWorkedPositionAndClock) {
    for (const auto& c : loadGolden("gpsephemeris.txt")) {
        std::istringstream in(c.raw("ephemeris"));
        TGpsEphemeris e;
        in >> e.week >> e.toe >> e.toc >> e.sqrtA >> e.e >> e.m0 >> e.deltaN >> e.omega >>
            e.omega0 >> e.omegaDot >> e.i0 >> e.idot >> e.cuc >> e.cus >> e.crc >> e.crs >> e.cic >>
            e.cis >> e.af0 >> e.af1 >> e.af2 >> e.tgd;
        ASSERT_FALSE(in.fail()) << c.where();
        std::istringstream at(c.raw("at")), pos(c.raw("position"));
        double week, tow, x, y, z;
        at >> week >> tow;
        pos >> x >> y >> z;
        TSatState s = gpsSatellite(e, week * 604800 + tow);
        EXPECT_NEAR(s.pos.x, x, 1e-3) << c.where();
        EXPECT_NEAR(s.pos.y, y, 1e-3) << c.where();
        EXPECT_NEAR(s.pos.z, z, 1e-3) << c.where();
        EXPECT_NEAR(s.clock, std::stod(c.raw("clock")), 1e-15) << c.where();

        // The velocity is the derivative of the position.
        double t = week * 604800 + tow;
        TSatState a = gpsSatellite(e, t - 0.5), b = gpsSatellite(e, t + 0.5);
        EXPECT_NEAR(s.vel.x, b.pos.x - a.pos.x, 1e-3) << c.where();
        EXPECT_NEAR(s.vel.y, b.pos.y - a.pos.y, 1e-3) << c.where();
        EXPECT_NEAR(s.vel.z, b.pos.z - a.pos.z, 1e-3) << c.where();
        EXPECT_NEAR(s.clockRate, b.clock - a.clock, 1e-16) << c.where();
    }
}

TEST(SimOrbits, GlonassIntegrationKeepsItsConstantAndRunsBackToItsStart) {
    TConstellation sky;
    const double t = 1.3e9;
    const TGloEphemeris& e = sky.gloEphemeris(7, t);
    TVec pos = e.pos, vel = e.vel;
    const double before = gloJacobi(pos, vel);
    gloIntegrate(pos, vel, TVec{}, 900);
    // Without Sun and Moon the Jacobi constant of the rotating frame is conserved.
    EXPECT_NEAR(gloJacobi(pos, vel) / before, 1, 1e-10);
    EXPECT_GT(distance(pos, e.pos), 3e6); // it moved a long way
    gloIntegrate(pos, vel, TVec{}, -900);
    EXPECT_LT(distance(pos, e.pos), 1e-3);
    EXPECT_LT(distance(vel, e.vel), 1e-6);
    // On a GLONASS orbit, in metres and metres per second.
    double r = std::sqrt(e.pos.x * e.pos.x + e.pos.y * e.pos.y + e.pos.z * e.pos.z);
    EXPECT_NEAR(r, 25.5e6, 0.2e6);
    // Sun and Moon pull with a few times 1e-6 m/s^2.
    double acc = std::sqrt(e.acc.x * e.acc.x + e.acc.y * e.acc.y + e.acc.z * e.acc.z);
    EXPECT_GT(acc, 1e-7);
    EXPECT_LT(acc, 1e-5);
}

TEST(SimOrbits, SuccessiveIssuesDescribeOneSmoothOrbit) {
    TConstellation sky;
    const double boundary = 1.3e9 - std::fmod(1.3e9, kGpsIssueS) + kGpsIssueS;
    for (int prn : {1, 17, 31}) {
        TGpsEphemeris old = sky.gpsEphemeris(prn, boundary - 1);
        TGpsEphemeris next = sky.gpsEphemeris(prn, boundary);
        EXPECT_NE(old.iode, next.iode);
        for (double dt : {-3600.0, 0.0, 3600.0}) {
            TSatState a = gpsSatellite(old, boundary + dt), b = gpsSatellite(next, boundary + dt);
            EXPECT_LT(distance(a.pos, b.pos), 0.01) << prn << " " << dt;
            EXPECT_NEAR(a.clock, b.clock, 1e-11);
        }
        // 26 560 km from the centre, give or take the eccentricity.
        double r = distance(sky.gps(prn, boundary).pos, TVec{});
        EXPECT_NEAR(r, 26.56e6, 0.45e6);
    }
    // GLONASS: the state at an interval's edge is the same from both sides, position,
    // velocity and what a receiver gets by integrating each state vector itself.
    double tb = 0;
    sky.gloEphemeris(3, 1.3e9, &tb);
    const double edge = tb + kGloIssueS / 2;
    TSatState before = sky.glo(3, edge - 1e-4), after = sky.glo(3, edge + 1e-4);
    TVec ahead{before.pos.x + before.vel.x * 2e-4, before.pos.y + before.vel.y * 2e-4,
               before.pos.z + before.vel.z * 2e-4};
    EXPECT_LT(distance(ahead, after.pos), 0.005);
    EXPECT_LT(distance(before.vel, after.vel), 1e-3); // gravity over 0.2 ms
    double tb2 = 0;
    const TGloEphemeris e1 = sky.gloEphemeris(3, edge - 1, &tb);
    const TGloEphemeris e2 = sky.gloEphemeris(3, edge + 1, &tb2);
    EXPECT_DOUBLE_EQ(tb2 - tb, kGloIssueS);
    TSatState r1 = gloSatellite(e1, edge - tb, 60), r2 = gloSatellite(e2, edge - tb2, 60);
    EXPECT_LT(distance(r1.pos, r2.pos), 0.05);
    EXPECT_LT(distance(r1.pos, sky.glo(3, edge).pos), 0.05);
    // Slots spread over the 30-minute grid of Moscow time.
    EXPECT_EQ(static_cast<long long>(e2.tb) % 1800, 900);
}

TEST(SimTime, LeapSecondsWeeksAndMoscowDays) {
    // The last leap second: 2016-12-31 23:59:60 UTC.
    const std::int64_t before = utc(2016, 12, 31, 23, 59, 59), after = utc(2017, 1, 1, 0, 0, 0);
    EXPECT_EQ(leapSeconds(before), 17);
    EXPECT_EQ(leapSeconds(after), 18);
    EXPECT_EQ(gpsMsFromUtc(after) - gpsMsFromUtc(before), 2000); // the inserted second
    EXPECT_EQ(utcMsFromGps(gpsMsFromUtc(after)), after);
    EXPECT_EQ(utcMsFromGps(gpsMsFromUtc(before)), before);
    EXPECT_EQ(leapSeconds(utc(1980, 1, 6, 0, 0, 0)), 0);
    EXPECT_EQ(leapSeconds(utc(2006, 5, 3, 15, 0, 0)), 14);

    // Week rollovers of the ten-bit week counter: the week number goes on counting.
    TGpsTime w = gpsTime(gpsMsFromUtc(utc(2019, 4, 6, 23, 59, 42)));
    EXPECT_EQ(w.week, 2048);
    EXPECT_EQ(w.towMs, 0);
    w = gpsTime(gpsMsFromUtc(utc(2019, 4, 6, 23, 59, 41)));
    EXPECT_EQ(w.week, 2047);
    EXPECT_EQ(w.towMs, 604799000);
    w = gpsTime(gpsMsFromUtc(utc(1999, 8, 21, 23, 59, 47)));
    EXPECT_EQ(w.week, 1024);
    EXPECT_EQ(w.towMs, 0);

    // As broadcast: the leap second at the end of Saturday of week 1929.
    TLeapEvent leap = leapEvent(utc(2024, 6, 1, 0, 0, 0));
    EXPECT_EQ(leap.weekLsf, 1929);
    EXPECT_EQ(leap.day, 7);
    EXPECT_EQ(leap.after, 18);

    // Moscow time: UTC + 3 h; the four-year periods count from 1996.
    TGloTime g = gloTime(utc(2024, 1, 1, 0, 0, 0));
    EXPECT_EQ(g.todMs, 3 * 3600000);
    EXPECT_EQ(g.n4, 8);
    EXPECT_EQ(g.dayN4, 1);
    g = gloTime(utc(2027, 12, 31, 21, 0, 0)); // Moscow midnight: a new period begins
    EXPECT_EQ(g.n4, 9);
    EXPECT_EQ(g.dayN4, 1);
    EXPECT_EQ(g.todMs, 0);
    EXPECT_EQ(gloTime(utc(2027, 12, 31, 20, 59, 59)).dayN4, 1461);
}
