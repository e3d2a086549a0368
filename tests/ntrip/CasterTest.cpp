// The rover's client and the base feed against RTKLIB's str2str as the caster, and telvor-sim's
// correction port as the receiver: what is fed arrives unchanged, across a caster restart.
#include "ntrip/Ntripclient.h"
#include "support/Run.h"
#include "support/Tempdir.h"
#include "tests/ntrip/Netpeers.h"

#include <gtest/gtest.h>

#include <mutex>

namespace telvor::testing {
namespace {

const std::string kCli = TELVOR_CLI_EXE;
const std::string kSim = TELVOR_SIM_EXE;
constexpr const char* kPassword = "s3cret-pw";

// str2str serving what it gets on `in` to NTRIP clients of `out` as mountpoint MNT.
struct TCaster {
    int in = freePort(), out = freePort();
    std::unique_ptr<TChild> child;
    const TTempDir& dir;
    explicit TCaster(const TTempDir& d) : dir(d) { start(); }
    void start() {
        child = std::make_unique<TChild>(
            std::vector<std::string>{"str2str", "-in", "tcpsvr://:" + std::to_string(in), "-out",
                                     "ntripc://u:" + std::string(kPassword) +
                                         "@:" + std::to_string(out) + "/MNT"},
            (dir / "caster.out").string(), (dir / "caster.err").string());
        ASSERT_TRUE(eventually([&] { return listening(out); }, 20000)) << "str2str did not start";
    }
    void restart() {
        child->stop();
        start();
    }
    // A source on the caster's input; -1 when it does not take one in time.
    int source() const {
        int fd = -1;
        eventually([&] { return (fd = connectLoopback(in)) >= 0; }, 20000);
        return fd;
    }
};

void feed(int fd, const std::string& bytes) {
    for (std::size_t at = 0; at < bytes.size(); at += 500) {
        const std::string piece = bytes.substr(at, 500);
        ASSERT_EQ(::send(fd, piece.data(), piece.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(piece.size()));
        ::usleep(2000);
    }
}

std::string cliNtrip(const std::string& args) {
    return kCli + " ntrip " + args + " 2>&1";
}

TEST(NtripCaster, StreamReachesTheSimulatorsCorrectionPortUnchangedAcrossACasterRestart) {
    TTempDir dir("ntrip");
    TCaster caster(dir);
    const std::string corr = (dir / "corr").string(), record = (dir / "record.bin").string();
    TChild sim({kSim, "--pty", (dir / "rx").string(), "--corr-pty", corr, "--corr-record", record},
               (dir / "sim.out").string(), (dir / "sim.err").string());
    ASSERT_TRUE(
        eventually([&] { return sim.out().find("ready corr-pty") != std::string::npos; }, 20000));
    TChild cli({kCli, "ntrip", "--caster", "127.0.0.1:" + std::to_string(caster.out), "--mount",
                "MNT", "--user", "u", "--password", kPassword, "--ntrip-version", "1", "--to",
                corr},
               (dir / "cli.out").string(), (dir / "cli.err").string());
    ASSERT_TRUE(eventually([&] { return count(cli.err(), "Receiving") == 1; }, 20000)) << cli.err();

    const std::string first = someBytes(6000, 1), second = someBytes(9000, 2);
    int source = caster.source();
    ASSERT_GE(source, 0);
    feed(source, first);
    ASSERT_TRUE(eventually([&] { return fileText(record).size() >= first.size(); }, 20000));
    ::close(source);

    caster.restart();
    ASSERT_TRUE(eventually([&] { return count(cli.err(), "Receiving") == 2; }, 30000)) << cli.err();
    source = caster.source();
    ASSERT_GE(source, 0);
    feed(source, second);
    ASSERT_TRUE(
        eventually([&] { return fileText(record).size() >= first.size() + second.size(); }, 20000));
    ::close(source);

    EXPECT_TRUE(fileText(record) == first + second) << "bytes changed, lost or repeated";
    EXPECT_EQ(cli.stop(), 0);
    EXPECT_EQ(cli.err().find(kPassword), std::string::npos);
    EXPECT_NE(cli.err().find("Stopped after 15000 bytes"), std::string::npos) << cli.err();
}

TEST(NtripCaster, RefusalsAreNamedAndTheSourcetableListed) {
    TTempDir dir("ntrip");
    TCaster caster(dir);
    TListener rover; // the correction port's TCP stand-in
    const std::string base = "--caster 127.0.0.1:" + std::to_string(caster.out) +
                             " --to 127.0.0.1:" + std::to_string(rover.port) + " --user u ";

    TRun r = runCommand(cliNtrip(base + "--mount MNT --password wrong"));
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("401 Unauthorized"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("wrong"), std::string::npos);

    r = runCommand(cliNtrip(base + "--mount NOSUCH --password " + kPassword));
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("mountpoint not found"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nMNT "), std::string::npos) << r.out;

    r = runCommand(cliNtrip("--caster 127.0.0.1:" + std::to_string(caster.out) + " --list"));
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(r.out.substr(0, 10), "Mountpoint");
    EXPECT_NE(r.out.find("\nMNT "), std::string::npos) << r.out;

    EXPECT_EQ(runCommand(cliNtrip("--caster 127.0.0.1:" + std::to_string(caster.out) +
                                  " --mount MNT --gga 5 --to x:1"))
                  .code,
              2); // GGA without a position
}

TEST(NtripCaster, RawBaseFeedArrivesUnchangedAtAnotherClient) {
    TTempDir dir("ntrip");
    TCaster caster(dir);
    TPty base;
    ASSERT_FALSE(base.slave.empty());
    TChild feedCli({kCli, "ntrip", "--caster", "127.0.0.1:" + std::to_string(caster.in), "--raw",
                    "--from", base.slave},
                   (dir / "feed.out").string(), (dir / "feed.err").string());
    ASSERT_TRUE(
        eventually([&] { return feedCli.err().find("Sending") != std::string::npos; }, 20000))
        << feedCli.err();

    std::mutex lock;
    std::string got;
    TNtripClientConfig config;
    config.login = {{"127.0.0.1", caster.out}, "MNT", "u", kPassword, 1};
    TNtripClient rover(config, [&](const std::uint8_t* b, std::size_t n) {
        std::lock_guard guard(lock);
        got.append(reinterpret_cast<const char*>(b), n);
        return std::string();
    });
    rover.start();
    ASSERT_TRUE(eventually([&] { return rover.status().state == TNtripState::Streaming; }, 20000));

    const std::string corrections = someBytes(12000, 3);
    for (std::size_t at = 0; at < corrections.size(); at += 400) {
        base.write(corrections.substr(at, 400));
        ::usleep(2000);
    }
    ASSERT_TRUE(eventually(
        [&] {
            std::lock_guard guard(lock);
            return got.size() >= corrections.size();
        },
        20000));
    std::lock_guard guard(lock);
    EXPECT_TRUE(got == corrections);
    EXPECT_EQ(rover.status().bytes, corrections.size());
}

TEST(NtripCaster, BaseToCasterToRoverLightsTheMonitorsRtcmLink) {
    TTempDir dir("ntrip");
    TCaster caster(dir);
    const std::string rx = (dir / "rx").string(), corr = (dir / "corr").string(),
                      cout = (dir / "cout").string();
    // One simulator is both: its base output feeds the caster, its rover input gets the stream.
    TChild sim({kSim, "--pty", rx, "--corr-pty", corr, "--corr-out-pty", cout, "--epoch-ms", "200"},
               (dir / "sim.out").string(), (dir / "sim.err").string());
    ASSERT_TRUE(eventually(
        [&] { return sim.out().find("ready corr-out-pty") != std::string::npos; }, 20000));
    TChild base({kCli, "ntrip", "--caster", "127.0.0.1:" + std::to_string(caster.in), "--raw",
                 "--from", cout},
                (dir / "base.out").string(), (dir / "base.err").string());
    TChild rover({kCli, "ntrip", "--caster", "127.0.0.1:" + std::to_string(caster.out), "--mount",
                  "MNT", "--user", "u", "--password", kPassword, "--to", corr},
                 (dir / "rover.out").string(), (dir / "rover.err").string());
    ASSERT_TRUE(
        eventually([&] { return rover.err().find("Receiving") != std::string::npos; }, 20000));
    const TRun m = runCommand(kCli + " --port " + rx + " monitor --seconds 6 2>&1");
    EXPECT_EQ(m.code, 0) << m.out;
    const std::size_t at = m.out.rfind("RTCM link: LQ: ");
    ASSERT_NE(at, std::string::npos) << m.out;
    // "LQ: q% (sss,mmmm,eeee)": messages counted, none broken.
    const std::string figures = m.out.substr(m.out.find('(', at) + 1, 13);
    EXPECT_GT(std::stoi(figures.substr(4, 4)), 0) << figures;
    EXPECT_EQ(figures.substr(9, 4), "0000") << figures;
}

} // namespace
} // namespace telvor::testing
