// The simulator's correction ports: RTCM 3 frames and their CRC, what the input port counts
// into the link status, and the base's output as RTKLIB's decoder reads it.
#include "sim/Corrports.h"
#include "sim/Rtcm3.h"
#include "support/Eventually.h"
#include "support/Run.h"
#include "support/Tempdir.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace telvorsim {
namespace {

using telvor::testing::eventually;
using telvor::testing::TTempDir;

TEST(Rtcm3, CrcAndFramesAreCountedHoweverTheyArrive) {
    const std::string check = "123456789";
    EXPECT_EQ(crc24q(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()), 0xCDE703u);

    std::vector<std::uint8_t> stream = {0x00, 0xD3}; // noise, a false preamble
    for (int i = 0; i < 3; ++i) {
        const auto f = rtcm3Station(17, {3971354.0 + i, 1021244.0, 4869227.0});
        ASSERT_EQ(f.size(), 25u); // 19 bytes of 1005 in a frame
        stream.insert(stream.end(), f.begin(), f.end());
    }
    TRtcm3Counter byByte;
    for (std::uint8_t b : stream)
        byByte.feed(&b, 1);
    EXPECT_EQ(byByte.frames(), 3);

    stream[10] ^= 0x40; // inside the first frame
    TRtcm3Counter damaged;
    damaged.feed(stream.data(), stream.size());
    EXPECT_EQ(damaged.frames(), 2);
    EXPECT_GE(damaged.errors(), 1);
}

TEST(Rtcm3, ObservationsCarryEveryTrackedGpsSatellite) {
    TEpoch e;
    e.gpsMs = 1000;
    for (int prn : {3, 7, 32}) {
        TSat s;
        s.number = prn;
        s.raw = true;
        s.l1.pseudorange = 2.1e7 + prn;
        s.l2.pseudorange = s.l1.pseudorange + 3;
        e.sats.push_back(s);
    }
    const auto f = rtcm3GpsObservations(17, e);
    // 64 header bits and 125 per satellite, in whole bytes.
    EXPECT_EQ(f.size(), 6u + (64 + 3 * 125 + 7) / 8);
    EXPECT_EQ(f[3], 1004 >> 4);
    EXPECT_EQ((f[9] & 1) << 4 | f[10] >> 4, 3); // satellite count
}

TEST(CorrPorts, InputIsRecordedAndCountedIntoTheLinkStatus) {
    TTempDir dir("corr");
    TCorrPorts ports;
    const std::string link = (dir / "corr").string(), record = (dir / "rec.bin").string();
    ASSERT_EQ(ports.start({link, record, ""}), "");
    TEpoch e;
    ports.onEpoch(e);
    EXPECT_FALSE(e.rtcmLink); // nothing came yet

    const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 4; ++i) {
        const auto f = rtcm3Station(17, {1.0 * i, 2, 3});
        bytes.insert(bytes.end(), f.begin(), f.end());
    }
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ASSERT_TRUE(eventually([&] { return ports.bytesIn() == bytes.size(); }));
    ports.onEpoch(e);
    EXPECT_TRUE(e.rtcmLink);
    EXPECT_EQ(e.rtcmMessages, 4);
    EXPECT_EQ(e.rtcmErrors, 0);
    ports.onEpoch(e); // an epoch without corrections is a gap
    EXPECT_DOUBLE_EQ(e.linkQuality, 100.0 / 3 * 1);
    ::close(fd);
    ports.stop();
    std::ifstream in(record, std::ios::binary);
    EXPECT_EQ(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}), bytes);
}

TEST(CorrPorts, BaseOutputDecodesWithRtklib) {
    TTempDir dir("corr");
    const std::string out = (dir / "cout").string(), bin = (dir / "cout.bin").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::freopen("/dev/null", "w", stdout);
        ::execl(TELVOR_SIM_EXE, TELVOR_SIM_EXE, "--pty", (dir / "rx").c_str(), "--corr-out-pty",
                out.c_str(), "--epoch-ms", "50", "--start", "2026-01-05 12:00:00", nullptr);
        ::_exit(127);
    }
    int fd = -1;
    ASSERT_TRUE(
        eventually([&] { return (fd = ::open(out.c_str(), O_RDONLY | O_NOCTTY)) >= 0; }, 20000));
    std::vector<char> got;
    eventually(
        [&] {
            pollfd p{fd, POLLIN, 0};
            char buffer[4096];
            if (::poll(&p, 1, 100) > 0) {
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n > 0)
                    got.insert(got.end(), buffer, buffer + n);
            }
            return got.size() > 15000;
        },
        30000, [] {});
    ::close(fd);
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    std::ofstream(bin, std::ios::binary)
        .write(got.data(), static_cast<std::streamsize>(got.size()));

    const std::string obs = (dir / "cout.obs").string();
    telvor::testing::runCommand("convbin -r rtcm3 -tr 2026/01/05 12:00:00 -o " + obs + " " + bin +
                                " 2>/dev/null");
    std::ifstream in(obs);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    // The station's position from 1005 (the default antenna), and epochs of 1004.
    EXPECT_NE(text.find("  3971354.8"), std::string::npos) << text.substr(0, 2000);
    EXPECT_NE(text.find("G    4 C1C L1C C2W L2W"), std::string::npos);
    EXPECT_GE(std::count(text.begin(), text.end(), '>'), 20);
}

} // namespace
} // namespace telvorsim
