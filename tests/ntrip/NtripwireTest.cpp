// What goes to a caster and how its answers are read: requests, replies, chunks, sourcetables.
#include "ntrip/Ntripreply.h"
#include "ntrip/Ntriprequest.h"
#include "ntrip/Sourcetable.h"

#include <gtest/gtest.h>

#include <string>

namespace telvor {
namespace {

const std::uint8_t* bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

TEST(NtripRequest, CredentialsAndVersionShapeTheRequest) {
    TNtripLogin login{{"caster.example", 2101}, "MNT", "user", "pass", 1};
    EXPECT_EQ(clientRequest(login), "GET /MNT HTTP/1.0\r\nUser-Agent: NTRIP Telvor/1.0\r\n"
                                    "Authorization: Basic dXNlcjpwYXNz\r\n\r\n");
    login.version = 2;
    const std::string v2 = clientRequest(login);
    EXPECT_EQ(v2.substr(0, 20), "GET /MNT HTTP/1.1\r\nH");
    EXPECT_NE(v2.find("Host: caster.example:2101\r\n"), std::string::npos);
    EXPECT_NE(v2.find("Ntrip-Version: Ntrip/2.0\r\n"), std::string::npos);
    login.user = login.password = "";
    EXPECT_EQ(clientRequest(login).find("Authorization"), std::string::npos);
    login.password = "pw";
    login.version = 1;
    EXPECT_EQ(sourceRequest(login).substr(0, 17), "SOURCE pw /MNT\r\nS");
    login.version = 2;
    EXPECT_NE(sourceRequest(login).find("Transfer-Encoding: chunked\r\n\r\n"), std::string::npos);
}

TEST(NtripRequest, Base64PadsEveryRemainder) {
    EXPECT_EQ(base64(""), "");
    EXPECT_EQ(base64("f"), "Zg==");
    EXPECT_EQ(base64("fo"), "Zm8=");
    EXPECT_EQ(base64("foo"), "Zm9v");
    EXPECT_EQ(base64("\xff\xfe"), "//4=");
}

TEST(NtripRequest, CasterAddressesAndTheirMistakes) {
    EXPECT_EQ(parseCasterAddress("host")->port, 2101);
    EXPECT_EQ(parseCasterAddress("127.0.0.1:2102")->port, 2102);
    EXPECT_EQ(parseCasterAddress("[::1]:80")->host, "::1");
    for (const char* bad :
         {"", ":2101", "host:", "host:0", "host:65536", "host:12x", "[::1", "a b:1", "::1"})
        EXPECT_FALSE(parseCasterAddress(bad)) << bad;
}

TEST(NtripRequest, GgaCarriesHemispheresAndAValidChecksum) {
    const std::string s = ggaSentence(-33.5, -70.25, 500, 3723.5);
    EXPECT_EQ(s.substr(0, 48), "$GPGGA,010203.50,3330.00000,S,07015.00000,W,1,08");
    const std::size_t star = s.find('*');
    unsigned char sum = 0;
    for (std::size_t i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(s[i]);
    EXPECT_EQ(std::stoi(s.substr(star + 1, 2), nullptr, 16), sum);
    EXPECT_EQ(s.substr(s.size() - 2), "\r\n");
    // 59.9999999 minutes must not print as 60.
    EXPECT_NE(ggaSentence(10.9999999999, 0, 0, 0).find("1100.00000,N"), std::string::npos);
}

TEST(NtripReply, CasterAnswersAreToldApart) {
    TReply r = parseReply("ICY 200 OK\r\n\xd3\x00");
    EXPECT_EQ(r.kind, TReplyKind::Stream);
    EXPECT_EQ(r.headerLength, 12u);

    r = parseReply("HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\nab");
    EXPECT_EQ(r.kind, TReplyKind::Stream);
    EXPECT_TRUE(r.chunked);
    EXPECT_EQ(r.headerLength, 47u);

    r = parseReply("HTTP/1.0 401 Unauthorized\r\n");
    EXPECT_EQ(r.kind, TReplyKind::Unauthorized);
    EXPECT_EQ(r.error, "401 Unauthorized");

    EXPECT_EQ(parseReply("HTTP/1.1 404 Not Found\r\n\r\n").error, "mountpoint not found");
    r = parseReply("SOURCETABLE 200 OK\r\nContent-Length: 26\r\n\r\nSTR;MNT;");
    EXPECT_EQ(r.kind, TReplyKind::Sourcetable);
    EXPECT_EQ(r.contentLength, 26);
    EXPECT_EQ(r.error, "mountpoint not found");
    EXPECT_EQ(parseReply("HTTP/1.1 200 OK\r\nContent-Type: gnss/sourcetable\r\n\r\n").kind,
              TReplyKind::Sourcetable);
    EXPECT_EQ(parseReply("HTTP/1.1 503 Busy\r\n\r\n").error, "Caster answered 503 Busy");
}

TEST(NtripReply, PartialAndForeignAnswers) {
    EXPECT_EQ(parseReply("ICY 200").kind, TReplyKind::Incomplete);
    EXPECT_EQ(parseReply("HTTP/1.1 200 OK\r\nServer: x\r\n").kind, TReplyKind::Incomplete);
    const TReply junk = parseReply("SSH-2.0-OpenSSH\r\n");
    EXPECT_EQ(junk.kind, TReplyKind::Failed);
    EXPECT_EQ(junk.error, "Not an NTRIP caster: SSH-2.0-OpenSSH");
    // Endless headers are cut off instead of being kept forever.
    EXPECT_EQ(parseReply("HTTP/1.1 200 OK\r\n" + std::string(20000, 'x')).kind, TReplyKind::Failed);
    EXPECT_EQ(parseSourceReply("ERROR - Bad Password\r\n").error,
              "Caster refused the source: ERROR - Bad Password");
}

TEST(ChunkedDecoder, AnySplitOfTheStreamGivesTheSameData) {
    const std::string wire = "4\r\nWiki\r\n5;ext=1\r\npedia\r\nE\r\n in\r\n\r\nchunks.\r\n"
                             "0\r\nTrailer: x\r\n\r\n";
    for (std::size_t cut = 0; cut <= wire.size(); ++cut) {
        TChunkedDecoder d;
        std::string out;
        EXPECT_TRUE(d.feed(bytes(wire), cut, out));
        EXPECT_TRUE(d.feed(bytes(wire) + cut, wire.size() - cut, out));
        EXPECT_EQ(out, "Wikipedia in\r\n\r\nchunks.") << cut;
        EXPECT_TRUE(d.finished());
    }
}

TEST(ChunkedDecoder, BrokenCodingFailsAndStaysFailed) {
    for (const std::string bad : {"g\r\n", "\r\n", "3\r\nabcd\r\n", "123456789\r\n"}) {
        TChunkedDecoder d;
        std::string out;
        EXPECT_FALSE(d.feed(bytes(bad), bad.size(), out)) << bad;
        EXPECT_TRUE(d.failed());
        EXPECT_FALSE(d.feed(bytes("1\r\na\r\n"), 6, out));
    }
}

TEST(Sourcetable, StreamsPositionsAndDistances) {
    const std::string text =
        "CAS;caster;2101;X;Y;0;DEU;50;8;0.0.0.0;0;none\r\n"
        "STR;NEAR;Prague;RTCM 3.2;1004(1),1005(10);2;GPS+GLO;NET;CZE;50.10;14.40;1;0;x;none;B;"
        "N;5000;\r\n"
        "STR;FAR;Lisbon;RTCM 3;;2;GPS;NET;PRT;38.7;-9.1;0;0;x;none;B;N;2400;\r\n"
        "STR;NOPOS;;;;;;;;;;\r\n"
        "STR;EAST;;;;;;;;10;350;0\r\n"
        "STR;;missing mount\r\n"
        "ENDSOURCETABLE\r\nSTR;AFTER;\r\n";
    const TSourcetable t = parseSourcetable(text);
    ASSERT_EQ(t.streams.size(), 4u);
    EXPECT_TRUE(t.complete);
    EXPECT_EQ(t.streams[0].format, "RTCM 3.2");
    EXPECT_TRUE(t.streams[0].needsGga);
    EXPECT_FALSE(t.streams[2].hasPosition);
    EXPECT_DOUBLE_EQ(t.streams[3].lonDeg, -10); // 350 east is 10 west

    EXPECT_NEAR(distanceKm({50.0875, 14.4213}, {38.7, -9.1}), 2245, 15);
    EXPECT_NEAR(distanceKm({0, 179.5}, {0, -179.5}), 111.2, 0.5);

    const std::string shown = formatSourcetable(t, TGeoPoint{50.0875, 14.4213});
    EXPECT_LT(shown.find("NEAR"), shown.find("FAR")); // nearest first
    EXPECT_NE(shown.find("km"), std::string::npos);
    EXPECT_EQ(formatSourcetable(t, std::nullopt).find("km"), std::string::npos);
}

} // namespace
} // namespace telvor
