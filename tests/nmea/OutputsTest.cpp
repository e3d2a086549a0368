// The NMEA outputs on real ptys and sockets: the link at the user's path, readers that come
// late, many TCP clients and one that stops reading, the options, and "no fix" on silence.
#include "nmea/Nmeaoutputs.h"
#include "nmea/Sentences.h"
#include "support/Eventually.h"
#include "support/Messagemaker.h"
#include "support/Tempdir.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace telvor;
using namespace telvor::testing;

namespace {

int connectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads until `want` bytes came or 10 s passed.
std::string readSome(int fd, std::size_t want) {
    std::string got;
    for (int i = 0; i < 100 && got.size() < want; ++i) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(fd, buf, std::min(sizeof buf, want - got.size()));
        if (n <= 0)
            break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

// What arrives within 200 ms.
std::string readAvailable(int fd) {
    pollfd p{fd, POLLIN, 0};
    char buf[4096];
    const ssize_t n = ::poll(&p, 1, 200) > 0 ? ::read(fd, buf, sizeof buf) : 0;
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

bool waitUntil(const std::function<bool()>& f) {
    for (int i = 0; i < 200; ++i) {
        if (f())
            return true;
        ::usleep(50000);
    }
    return false;
}

} // namespace

TEST(NmeaPty, LinkIsMadeReplacedWhenStaleAndRemovedAtTheEnd) {
    TTempDir tmp("telvor-nmea");
    const fs::path link = tmp / "nmea";
    fs::create_symlink("/dev/pts/no-such", link);
    {
        TPtyOutput pty;
        ASSERT_EQ(pty.open(link.string()), "");
        EXPECT_EQ(fs::read_symlink(link).string(), pty.slave());
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));

    std::ofstream(tmp / "file") << "keep";
    TPtyOutput pty;
    EXPECT_NE(pty.open((tmp / "file").string()), "");
    EXPECT_FALSE(pty.isOpen());
    EXPECT_EQ(tmp.read("file"), "keep");
}

TEST(NmeaPty, ALateReaderGetsOnlyWhatCameAfterItOpened) {
    TTempDir tmp("telvor-nmea");
    TPtyOutput pty;
    ASSERT_EQ(pty.open((tmp / "nmea").string()), "");
    EXPECT_FALSE(pty.readerPresent());
    pty.write("$OLD*00\r\n");
    const int reader = ::open((tmp / "nmea").c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(waitUntil([&] { return pty.readerPresent(); }));
    const std::string fresh = nmeaSentence("GPZDA,010203.00,01,02,2026,,");
    pty.write(fresh);
    EXPECT_EQ(readSome(reader, fresh.size()), fresh);
    ::close(reader);
}

TEST(NmeaTcp, EveryClientGetsTheSentencesAndOneThatStopsReadingIsDropped) {
    TTcpOutput tcp;
    ASSERT_EQ(tcp.listen("127.0.0.1", 0), "");
    ASSERT_GT(tcp.port(), 0);
    const int a = connectTo(tcp.port()), b = connectTo(tcp.port()), slow = connectTo(tcp.port());
    ASSERT_TRUE(a >= 0 && b >= 0 && slow >= 0);
    ASSERT_TRUE(waitUntil([&] {
        tcp.service();
        return tcp.clientCount() == 3;
    }));
    const std::string epoch(1500, 'x');
    // Far more than the kernel buffers of the client that never reads; the writes still
    // return, the readers get everything.
    std::string gotA, gotB;
    for (int i = 0; i < 2000 && tcp.clientCount() == 3; ++i) {
        tcp.write(epoch);
        gotA += readSome(a, epoch.size());
        gotB += readSome(b, epoch.size());
    }
    EXPECT_EQ(tcp.clientCount(), 2);
    EXPECT_EQ(tcp.dropped(), 1);
    EXPECT_EQ(gotA, gotB);
    EXPECT_EQ(gotA.size() % epoch.size(), 0u);
    tcp.write("end");
    EXPECT_EQ(readSome(a, 3), "end");

    ::close(a);
    ASSERT_TRUE(waitUntil([&] {
        tcp.service();
        return tcp.clientCount() == 1;
    }));
    ::close(b);
    ::close(slow);
}

TEST(NmeaOptions, TcpTakesAPortOrAnAddressAndAPort) {
    TNmeaOutputConfig c;
    EXPECT_EQ(parseNmeaTcp("10110", c), "");
    EXPECT_EQ(c.tcpAddress, "127.0.0.1");
    EXPECT_EQ(c.tcpPort, 10110);
    EXPECT_EQ(parseNmeaTcp("0.0.0.0:2000", c), "");
    EXPECT_EQ(c.tcpAddress, "0.0.0.0");
    EXPECT_EQ(c.tcpPort, 2000);
    EXPECT_EQ(parseNmeaTcp("[::1]:5000", c), "");
    EXPECT_EQ(c.tcpAddress, "::1");
    for (const char* bad : {"", "x", "70000", ":5", "1.2.3.4:", "-1"}) {
        TNmeaOutputConfig d;
        EXPECT_NE(parseNmeaTcp(bad, d), "") << bad;
        EXPECT_FALSE(d.tcp) << bad;
    }
    TNmeaOutputConfig e;
    EXPECT_NE(parseNmeaOptions({{"nmea-pty", ""}}, e), "");
    EXPECT_EQ(parseNmeaOptions({{"json", ""}}, e), "");
    EXPECT_FALSE(e.any());
}

TEST(NmeaOutputs, AFailedStartLeavesNothingOpen) {
    TTempDir tmp("telvor-nmea");
    TTcpOutput holder;
    ASSERT_EQ(holder.listen("127.0.0.1", 0), "");
    TNmeaOutputConfig c;
    c.ptyPath = (tmp / "nmea").string();
    c.tcp = true;
    c.tcpPort = holder.port(); // taken
    TNmeaOutputs out;
    EXPECT_NE(out.start(c), "");
    EXPECT_FALSE(out.running());
    EXPECT_FALSE(fs::exists(fs::symlink_status(tmp / "nmea")));
    EXPECT_EQ(out.statusText(), "");
}

TEST(NmeaOutputs, EpochsGoOutAndSilenceBecomesNoFix) {
    TNmeaOutputConfig c;
    c.tcp = true;
    c.tcpPort = 0;
    TNmeaOutputs out;
    ASSERT_EQ(out.start(c), "");
    const int client = connectTo(out.tcpPort());
    ASSERT_TRUE(waitUntil([&] { return out.clientCount() == 1; }));
    EXPECT_NE(out.statusText().find("(1 client)"), std::string::npos) << out.statusText();
    const std::string time = makeMessage("~~", TPack().put<std::uint32_t>(3600000).str());
    const std::string end = makeMessage("||", "");
    out.OnMessage(u8p(time), time.size());
    out.OnMessage(u8p(end), end.size());
    EXPECT_EQ(out.epochs(), 1u);
    const std::string first = readSome(client, 6);
    EXPECT_EQ(first, "$GNGGA");
    // Nothing more arrives: after the silence, "no fix".
    std::string later;
    waitUntil([&] {
        later += readAvailable(client);
        return later.find("$GNRMC,,V") != std::string::npos;
    });
    EXPECT_NE(later.find("$GNRMC,,V"), std::string::npos);
    ::close(client);
}
