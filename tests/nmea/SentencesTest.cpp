// NMEA sentences from monitor messages: checksums, field widths, fix qualities, satellite
// numbering, and empty fields for everything the receiver did not send.
#include "nmea/Sentences.h"
#include "nmea/Nmeaepoch.h"
#include "support/Messagemaker.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

using namespace telvor;
using namespace telvor::testing;

namespace {

constexpr double kDeg = std::numbers::pi / 180;

struct TSat {
    int index, slot, el, az2, ca, status;
};

// The monitor messages of one epoch, in the receiver's order.
class TEpochBuilder {
public:
    std::uint32_t timeMs = 45296789; // 12:34:56.789
    bool date = true, dop = true, status = true, pg = true, pv = true;
    int type = 1;
    float hdop = 0.9f;
    int month = 12;
    double lat = 48.1173 * kDeg, lon = 11.5166667 * kDeg, height = 545.4321;
    std::vector<TSat> sats = {{5, 0, 45, 90, 44, 0},     // G05 used
                              {12, 0, 127, 255, 255, 4}, // G12, nothing known
                              {45, 3, 30, 10, 40, 0},    // GLONASS slot 3 used
                              {50, 255, 20, 20, 35, 0}}; // GLONASS slot unknown

    std::vector<std::string> messages() const {
        std::vector<std::string> m;
        m.push_back(makeMessage("~~", TPack().put<std::uint32_t>(timeMs).str()));
        if (date)
            m.push_back(makeMessage("RD", TPack()
                                              .put<std::uint16_t>(2026)
                                              .u8(static_cast<std::uint8_t>(month))
                                              .u8(9)
                                              .u8(0)
                                              .str()));
        std::string si, nn, el, az, ec, ss;
        for (const auto& s : sats) {
            si.push_back(static_cast<char>(s.index));
            if (s.index >= 38 && s.index <= 70)
                nn.push_back(static_cast<char>(s.slot));
            el.push_back(static_cast<char>(s.el));
            az.push_back(static_cast<char>(s.az2));
            ec.push_back(static_cast<char>(s.ca));
            ss.push_back(static_cast<char>(s.status));
        }
        ss.push_back(static_cast<char>(type));
        for (auto [id, body] :
             {std::pair{"SI", si}, {"NN", nn}, {"EL", el}, {"AZ", az}, {"EC", ec}})
            m.push_back(makeMessage(id, body));
        if (status)
            m.push_back(makeMessage("SS", ss));
        if (pv) {
            // 1 m/s east at the position.
            const double a = 6378137, e2 = 6.69437999014e-3;
            const double n = a / std::sqrt(1 - e2 * std::sin(lat) * std::sin(lat));
            const double x = (n + height) * std::cos(lat) * std::cos(lon);
            const double y = (n + height) * std::cos(lat) * std::sin(lon);
            const double z = (n * (1 - e2) + height) * std::sin(lat);
            m.push_back(makeMessage("PV", TPack()
                                              .put(x)
                                              .put(y)
                                              .put(z)
                                              .put(0.5f)
                                              .put(static_cast<float>(-std::sin(lon)))
                                              .put(static_cast<float>(std::cos(lon)))
                                              .put(0.0f)
                                              .put(0.1f)
                                              .u8(static_cast<std::uint8_t>(type))
                                              .str()));
        }
        if (pg)
            m.push_back(makeMessage("PG", TPack()
                                              .put(lat)
                                              .put(lon)
                                              .put(height)
                                              .put(0.5f)
                                              .u8(static_cast<std::uint8_t>(type))
                                              .str()));
        if (dop)
            m.push_back(makeMessage("DP", TPack().put(hdop).put(1.2f).put(0.7f).str()));
        m.push_back(makeMessage("||", ""));
        return m;
    }

    // The sentences, checked line by line for checksum and length.
    std::vector<std::string> sentences() const {
        TNmeaCollector c;
        bool ended = false;
        for (const auto& m : messages())
            ended = c.offer(u8p(m), m.size());
        EXPECT_TRUE(ended);
        return split(epochSentences(c.epoch()));
    }

    static std::vector<std::string> split(const std::string& all) {
        std::vector<std::string> lines;
        std::size_t from = 0;
        for (std::size_t crlf; (crlf = all.find("\r\n", from)) != std::string::npos;
             from = crlf + 2) {
            const std::string line = all.substr(from, crlf - from);
            EXPECT_LE(line.size() + 2, 82u) << line;
            const std::size_t star = line.rfind('*');
            EXPECT_EQ(line[0], '$');
            EXPECT_EQ(std::stoi(line.substr(star + 1), nullptr, 16),
                      nmeaChecksum(std::string_view(line).substr(1, star - 1)))
                << line;
            lines.push_back(line.substr(1, star - 1));
        }
        EXPECT_EQ(from, all.size()) << "a sentence without CR LF";
        return lines;
    }
};

std::vector<std::string> fields(const std::string& body) {
    std::vector<std::string> f;
    std::stringstream ss(body);
    for (std::string x; std::getline(ss, x, ',');)
        f.push_back(x);
    if (!body.empty() && body.back() == ',')
        f.push_back("");
    return f;
}

std::vector<std::string> withTag(const std::vector<std::string>& lines, const std::string& tag) {
    std::vector<std::string> out;
    for (const auto& l : lines)
        if (l.rfind(tag, 0) == 0)
            out.push_back(l);
    return out;
}

} // namespace

TEST(NmeaSentence, ChecksumIsTheXorBetweenDollarAndStar) {
    EXPECT_EQ(nmeaSentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"),
              "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
    EXPECT_EQ(nmeaSentence("GPGSV,1,1,00"), "$GPGSV,1,1,00*79\r\n");
    EXPECT_EQ(nmeaChecksum(""), 0);
}

TEST(NmeaSentence, EpochComesInReceiverOrderWithFixedWidthFields) {
    const auto lines = TEpochBuilder().sentences();
    std::vector<std::string> tags;
    for (const auto& l : lines)
        tags.push_back(l.substr(0, 5));
    EXPECT_EQ(tags, (std::vector<std::string>{"GNGGA", "GNRMC", "GNGSA", "GNGSA", "GPGSV", "GLGSV",
                                              "GNVTG", "GNZDA"}));
    const auto gga = fields(lines[0]);
    ASSERT_EQ(gga.size(), 15u);
    EXPECT_EQ(gga[1], "123456.78");
    EXPECT_EQ(gga[2], "4807.038000");
    EXPECT_EQ(gga[3], "N");
    EXPECT_EQ(gga[4], "01131.000002");
    EXPECT_EQ(gga[5], "E");
    EXPECT_EQ(gga[6], "1");
    EXPECT_EQ(gga[7], "02"); // G05 and R03 have a used status
    EXPECT_EQ(gga[8], "0.90");
    EXPECT_EQ(gga[9], "545.432");
    EXPECT_EQ(gga[11], "0.000");

    const auto rmc = fields(lines[1]);
    EXPECT_EQ(rmc[2], "A");
    EXPECT_EQ(rmc[7], "1.944"); // 1 m/s in knots
    EXPECT_NEAR(std::stod(rmc[8]), 90.0, 0.01);
    EXPECT_EQ(rmc[9], "091226");
    EXPECT_EQ(rmc[12], "A");

    EXPECT_EQ(lines[2], "GNGSA,A,3,05,,,,,,,,,,,,1.50,0.90,1.20,1");
    EXPECT_EQ(lines[3], "GNGSA,A,3,67,,,,,,,,,,,,1.50,0.90,1.20,2");
    // Unknown elevation, azimuth and signal stay empty; a slot-less GLONASS entry has no
    // NMEA number and is left out.
    EXPECT_EQ(lines[4], "GPGSV,1,1,02,05,45,180,44,12,,,,1");
    EXPECT_EQ(lines[5], "GLGSV,1,1,01,67,30,020,40,1");
    EXPECT_EQ(lines[7], "GNZDA,123456.78,09,12,2026,,");
}

TEST(NmeaSentence, FixQualityAndModeFollowTheSolutionType) {
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"0", "N"}, {"1", "A"}, {"2", "D"}, {"5", "F"}, {"4", "R"}};
    for (int type = 0; type <= 4; ++type) {
        TEpochBuilder b;
        b.type = type;
        const auto lines = b.sentences();
        SCOPED_TRACE(type);
        EXPECT_EQ(fields(lines[0])[6], expected[type].first);
        EXPECT_EQ(fields(lines[1])[12], expected[type].second);
        EXPECT_EQ(fields(lines[1])[2], type == 0 ? "V" : "A");
        EXPECT_EQ(fields(lines[2])[2], type == 0 ? "1" : "3");
        // No solution: no position, however the message filled its fields.
        EXPECT_EQ(fields(lines[0])[2].empty(), type == 0);
    }
    TEpochBuilder odd;
    odd.type = 9;
    EXPECT_EQ(fields(odd.sentences()[0])[6], "");
}

TEST(NmeaSentence, WhatTheReceiverDidNotSendStaysEmpty) {
    TEpochBuilder b;
    b.date = b.dop = b.status = b.pg = b.pv = false;
    const auto lines = b.sentences();
    const auto gga = fields(lines[0]);
    EXPECT_EQ(gga[1], "123456.78");
    for (int i : {2, 3, 4, 5, 6, 7, 8, 9})
        EXPECT_EQ(gga[i], "") << i;
    EXPECT_EQ(fields(lines[1])[9], "");
    EXPECT_EQ(lines[2], "GNGSA,A,,,,,,,,,,,,,,,,,1");
    EXPECT_EQ(lines.back(), "GNZDA,123456.78,,,,,");
}

TEST(NmeaSentence, PositionFromPvWhenThereIsNoPg) {
    TEpochBuilder b;
    b.pg = false;
    const auto gga = fields(b.sentences()[0]);
    EXPECT_EQ(gga[2], "4807.038000");
    EXPECT_EQ(gga[4], "01131.000002");
    EXPECT_NEAR(std::stod(gga[9]), 545.432, 0.002);
}

TEST(NmeaSentence, AnglesRoundIntoTheDegreesAndKeepTheirHemisphere) {
    TEpochBuilder b;
    b.lat = -(10 + 59.99999999 / 60) * kDeg;
    b.lon = -(179 + 59.9999999 / 60) * kDeg;
    auto gga = fields(b.sentences()[0]);
    EXPECT_EQ(gga[2], "1100.000000");
    EXPECT_EQ(gga[3], "S");
    EXPECT_EQ(gga[4], "18000.000000");
    EXPECT_EQ(gga[5], "W");
    b.lat = 0.5 / 60 * kDeg;
    b.lon = 7 * kDeg;
    gga = fields(b.sentences()[0]);
    EXPECT_EQ(gga[2], "0000.500000");
    EXPECT_EQ(gga[4], "00700.000000");
}

TEST(NmeaSentence, TimeFieldKeepsTwoDigitsAndTheLeapSecond) {
    TEpochBuilder b;
    b.timeMs = 0;
    EXPECT_EQ(fields(b.sentences()[0])[1], "000000.00");
    b.timeMs = 86400500;
    EXPECT_EQ(fields(b.sentences()[0])[1], "235960.50");
}

TEST(NmeaSentence, ManySatellitesSpreadOverGsvAndGsa) {
    TEpochBuilder b;
    b.sats.clear();
    for (int prn = 1; prn <= 14; ++prn)
        b.sats.push_back({prn, 0, 10 + prn, prn, 40, 0});
    const auto lines = b.sentences();
    const auto gsa = withTag(lines, "GNGSA");
    ASSERT_EQ(gsa.size(), 3u); // 12 + 2 GPS, one empty GLONASS
    EXPECT_EQ(fields(gsa[0])[14], "12");
    EXPECT_EQ(fields(gsa[1])[3], "13");
    EXPECT_EQ(fields(gsa[2])[18], "2");
    const auto gsv = withTag(lines, "GPGSV");
    ASSERT_EQ(gsv.size(), 4u);
    EXPECT_EQ(gsv[3], "GPGSV,4,4,14,13,23,026,40,14,24,028,40,1");
    EXPECT_EQ(withTag(lines, "GLGSV"), (std::vector<std::string>{"GLGSV,1,1,00,1"}));
}

TEST(NmeaSentence, DamagedMessagesAreIgnored) {
    TEpochBuilder b;
    auto messages = b.messages();
    TNmeaCollector c;
    for (auto& m : messages) {
        if (m.rfind("PG", 0) == 0 || m.rfind("PV", 0) == 0)
            m[8] ^= 0x40;
        c.offer(u8p(m), m.size());
    }
    EXPECT_FALSE(c.epoch().lat);
    EXPECT_EQ(fields(TEpochBuilder::split(epochSentences(c.epoch()))[0])[2], "");
    // Too short for its fields: not read past its end.
    const std::string shortPg = makeMessage("PG", TPack().put(1.0).str());
    c.offer(u8p(shortPg), shortPg.size());
    EXPECT_FALSE(c.epoch().lat);
}

TEST(NmeaSentence, NoFixSentencesSayNoFix) {
    const auto lines = TEpochBuilder::split(noFixSentences());
    EXPECT_EQ(fields(lines[0])[6], "0");
    EXPECT_EQ(fields(lines[1])[2], "V");
    EXPECT_EQ(fields(lines[2])[2], "1");
}

TEST(NmeaGeodesy, EcefRoundTripAndEastNorth) {
    const double lat = -33.9 * kDeg, lon = 151.2 * kDeg, h = 80;
    const double a = 6378137, e2 = 6.69437999014e-3;
    const double n = a / std::sqrt(1 - e2 * std::sin(lat) * std::sin(lat));
    const TGeodetic g = geodeticFromEcef((n + h) * std::cos(lat) * std::cos(lon),
                                         (n + h) * std::cos(lat) * std::sin(lon),
                                         (n * (1 - e2) + h) * std::sin(lat));
    EXPECT_NEAR(g.lat, lat, 1e-10);
    EXPECT_NEAR(g.lon, lon, 1e-10);
    EXPECT_NEAR(g.height, h, 1e-4);
    double e, no;
    // Straight up at the position: neither east nor north.
    eastNorth(lat, lon, std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat),
              e, no);
    EXPECT_NEAR(e, 0, 1e-12);
    EXPECT_NEAR(no, 0, 1e-12);
}

TEST(NmeaSentence, ValuesNoReceiverCanMeanAreNotGivenAndKeepSentencesShort) {
    TEpochBuilder b;
    b.hdop = 1e18f;
    b.lat = 4;
    b.month = 13;
    b.height = 1e300;
    const auto lines = b.sentences(); // also checks every length
    const auto gga = fields(lines[0]);
    EXPECT_EQ(gga[2], "");
    EXPECT_EQ(gga[8], "");
    EXPECT_EQ(gga[9], "");
    EXPECT_EQ(fields(lines[1])[9], "");
}
