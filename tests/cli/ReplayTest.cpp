// `telvor-cli replay` against `telvor-cli monitor`: telvor-sim keeps every byte it sends while
// the monitor watches it live; replaying that recording must print the same objects, epoch by
// epoch. And a damaged, cut-off copy of it plays to its end with the losses counted.
#include "support/Eventually.h"
#include "support/Run.h"
#include "support/Tempdir.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sys/wait.h>

namespace fs = std::filesystem;
using namespace telvor::testing;

namespace {

// Each JSON line by its receiver time; the first of a time wins.
std::map<QString, QJsonObject> byTime(const std::string& text) {
    std::map<QString, QJsonObject> out;
    for (const QString& line : QString::fromStdString(text).split('\n', Qt::SkipEmptyParts)) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        if (o.contains("TimeLabel"))
            out.emplace(o["TimeLabel"].toString(), o);
    }
    return out;
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string cli(const fs::path& dir, const std::string& args, const fs::path& err) {
    return std::string(TELVOR_CLI_EXE) + " --settings " + dir.string() + " " + args + " 2>" +
           err.string();
}

} // namespace

TEST(ReplayCli, ReplayPrintsWhatTheLiveMonitorPrintedAndCountsDamage) {
    TTempDir tmp("telvor-cli-replay");
    const fs::path dir = tmp.path, rec = dir / "rec.vxr", simOut = dir / "sim.out";
    const TRun sim =
        runCommand(std::string(TELVOR_SIM_EXE) + " --pty " + (dir / "tty").string() + " --record " +
                   rec.string() + " >" + simOut.string() + " 2>&1 & echo $!");
    const int simPid = std::atoi(sim.out.c_str());
    ASSERT_GT(simPid, 0);
    char slave[256] = {};
    ASSERT_TRUE(eventually(
        [&] { return std::sscanf(slurp(simOut).c_str(), "ready pty %255s", slave) == 1; }, 10000))
        << slurp(simOut);

    const TRun live = runCommand(
        cli(dir, std::string("--port ") + slave + " monitor --json --seconds 8", dir / "live.err"));
    ::kill(simPid, SIGTERM);
    ASSERT_EQ(live.code, 0) << slurp(dir / "live.err");

    const TRun replay =
        runCommand(cli(dir, "replay " + rec.string() + " --speed max --json", dir / "replay.err"));
    ASSERT_EQ(replay.code, 0) << slurp(dir / "replay.err");
    EXPECT_NE(slurp(dir / "replay.err").find("0 bytes skipped, 0 of them damaged"),
              std::string::npos)
        << slurp(dir / "replay.err");

    // The live run's first line may be a timer tick in a half-decoded epoch, and its last
    // epochs may have come after the recording was read: every other epoch must agree.
    const auto liveEpochs = byTime(live.out), replayed = byTime(replay.out);
    ASSERT_GE(liveEpochs.size(), 4u) << live.out;
    int compared = 0;
    for (auto it = std::next(liveEpochs.begin()); it != liveEpochs.end(); ++it) {
        auto r = replayed.find(it->first);
        if (r == replayed.end())
            continue;
        ++compared;
        EXPECT_EQ(QJsonDocument(r->second).toJson().toStdString(),
                  QJsonDocument(it->second).toJson().toStdString())
            << "at " << it->first.toStdString();
    }
    EXPECT_GE(compared, 3) << live.out << "\n---\n" << replay.out;

    // Damage in the middle and a message cut in two at the end: played to the end, counted.
    std::string bytes = slurp(rec);
    ASSERT_GT(bytes.size(), 4000u);
    // One changed byte: the rotating checksum never misses it, while the same pattern over a
    // multiple of eight bytes inside one message cancels out.
    bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x5A);
    bytes += "~~00";
    std::ofstream(dir / "damaged.vxr", std::ios::binary) << bytes;
    const TRun damaged = runCommand(
        cli(dir, "replay " + (dir / "damaged.vxr").string() + " --speed max", dir / "d.err"));
    EXPECT_EQ(damaged.code, 0) << slurp(dir / "d.err");
    const std::string summary = slurp(dir / "d.err");
    EXPECT_EQ(summary.find(" 0 bytes skipped"), std::string::npos) << summary;
    EXPECT_NE(summary.find("; 4 bytes of a cut-off message at the end"), std::string::npos)
        << summary;
    EXPECT_NE(damaged.out.find("GPS Satellites ("), std::string::npos);

    EXPECT_EQ(runCommand(cli(dir, "replay " + (dir / "none.vxr").string(), dir / "n.err")).code, 1);
    EXPECT_NE(slurp(dir / "n.err").find("Can't open"), std::string::npos);
    EXPECT_EQ(runCommand(cli(dir, "replay " + rec.string() + " --speed 0", dir / "u.err")).code, 2);
}
