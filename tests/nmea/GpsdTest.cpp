// Real gpsd as the peer of `telvor-cli monitor --nmea-pty/--nmea-tcp` against telvor-sim:
// what gpsd reports (TPV, SKY through gpspipe -w) must be what Telvor's monitor shows for the
// same epoch, and the receiver's silence must reach gpsd as "no fix". gpsd runs as our own
// child with its own control socket and port; the system's gpsd is never touched.
#include "sim/Receiver.h"
#include "support/Tempdir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <arpa/inet.h>
#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using telvor::testing::TTempDir;

namespace {

using TClock = std::chrono::steady_clock;

// A child process with its standard output on a pipe read line by line (or into `outFile`, for
// one that must never wait for us); standard error goes to a file. Killed (only this PID) and
// reaped at the end.
class TChild {
public:
    TChild(const std::vector<std::string>& argv, const fs::path& errFile,
           const fs::path& outFile = {}) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(outFile.empty() ? fds[1]
                                   : ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
                   STDOUT_FILENO);
            const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (err >= 0)
                ::dup2(err, STDERR_FILENO);
            std::vector<char*> args;
            for (const auto& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~TChild() {
        stop(SIGKILL);
        if (out_ >= 0)
            ::close(out_);
    }
    bool started() const { return pid_ > 0; }
    bool alive() {
        if (pid_ <= 0 || done_)
            return false;
        int status;
        if (::waitpid(pid_, &status, WNOHANG) == pid_)
            done_ = true;
        return !done_;
    }
    void stop(int sig = SIGTERM) {
        // Nobody reads any more: a child writing to us gets EPIPE instead of waiting.
        if (out_ >= 0)
            ::close(out_), out_ = -1;
        if (pid_ > 0 && !done_) {
            ::kill(pid_, sig);
            ::waitpid(pid_, nullptr, 0);
            done_ = true;
        }
    }
    // The next whole line, or nullopt when none came in time or the output ended.
    std::optional<std::string> line(TClock::time_point deadline) {
        for (;;) {
            const auto nl = buffer_.find('\n');
            if (nl != std::string::npos) {
                std::string l = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return l;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
            if (left.count() <= 0 || out_ < 0)
                return std::nullopt;
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char buf[4096];
            const ssize_t n = ::read(out_, buf, sizeof buf);
            if (n <= 0)
                return std::nullopt;
            buffer_.append(buf, static_cast<std::size_t>(n));
        }
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool done_ = false;
    std::string buffer_;
};

bool onPath(const std::string& program) {
    for (const char* dir : {"/usr/sbin", "/usr/bin", "/sbin", "/bin", "/usr/local/bin"})
        if (::access((fs::path(dir) / program).c_str(), X_OK) == 0)
            return true;
    return false;
}

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    ::bind(fd, reinterpret_cast<sockaddr*>(&sa), len);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    ::close(fd);
    return ntohs(sa.sin_port);
}

bool waitFor(const std::function<bool()>& condition, std::chrono::seconds limit) {
    const auto deadline = TClock::now() + limit;
    while (!condition()) {
        if (TClock::now() > deadline)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// `50° 05' 14.9995" N` in degrees.
double dmsDegrees(const std::string& text) {
    std::smatch m;
    if (!std::regex_search(text, m, std::regex(R"((\d+)\D+(\d+)' ([\d.]+)\" ([NSEW]))")))
        return NAN;
    const double v = std::stod(m[1]) + std::stod(m[2]) / 60 + std::stod(m[3]) / 3600;
    return m[4] == "S" || m[4] == "W" ? -v : v;
}

int leadingInt(const QString& text) {
    std::smatch m;
    const std::string s = text.toStdString();
    return std::regex_search(s, m, std::regex(R"(^-?\d+)")) ? std::stoi(m[0]) : -1000;
}

struct TSatSeen {
    int el, az, ss;
    bool used;
    bool operator==(const TSatSeen&) const = default;
};
using TSky = std::map<int, TSatSeen>; // by NMEA number

// gpsd 3.22 reads the system id that ends an NMEA 4.10 GSA ("1" for GPS) as one more satellite
// number, so GPS 1 shows as used whenever it is in view: its used flag is not compared.
void ignoreUsedOfGps1(TSky& sky) {
    if (auto it = sky.find(1); it != sky.end())
        it->second.used = false;
}

// One epoch as the monitor showed it.
struct TShown {
    double lat = NAN, lon = NAN, alt = NAN;
    std::string type;
    TSky sky;
};

TSky monitorSky(const QJsonObject& o) {
    TSky sky;
    for (bool glonass : {false, true}) {
        for (const auto& row : o[glonass ? "GLOList" : "GPSList"].toArray()) {
            const QJsonArray c = row.toArray();
            const int shift = glonass ? 1 : 0; // GLONASS has "Fn" after "Sn"
            if (c.size() < 8 + shift)
                continue;
            int number = leadingInt(c[0].toString());
            if (number < 0)
                continue;
            number = glonass ? number + 64 : number >= 120 ? number - 87 : number;
            sky[number] = {leadingInt(c[1 + shift].toString()), leadingInt(c[2 + shift].toString()),
                           leadingInt(c[3 + shift].toString()),
                           c[7 + shift].toString().endsWith("+")};
        }
    }
    ignoreUsedOfGps1(sky);
    return sky;
}

TSky gpsdSky(const QJsonObject& o) {
    TSky sky;
    for (const auto& s : o["satellites"].toArray()) {
        const QJsonObject q = s.toObject();
        sky[q["PRN"].toInt()] = {static_cast<int>(q["el"].toDouble(-1000)),
                                 static_cast<int>(q["az"].toDouble(-1000)),
                                 static_cast<int>(q["ss"].toDouble(-1000)), q["used"].toBool()};
    }
    ignoreUsedOfGps1(sky);
    return sky;
}

// gpsd's TPV status for each of the monitor's solution type texts.
int expectedStatus(const std::string& type) {
    static const std::map<std::string, int> kStatus = {
        {"(standalone)", 1}, {"(code differential)", 2}, {"(RTK float)", 4}, {"(RTK fixed)", 3}};
    const auto it = kStatus.find(type);
    return it == kStatus.end() ? -1 : it->second;
}

class Gpsd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!onPath("gpsd") || !onPath("gpspipe"))
            GTEST_SKIP() << "gpsd and gpspipe are not installed (scripts/deps)";
    }
    void TearDown() override {
        // Our own children only, gpspipe first so that gpsd sees its client go.
        pipe_.reset();
        gpsd_.reset();
        if (cli_)
            cli_->stop(SIGTERM);
        cli_.reset();
        if (sim_)
            sim_->stop();
    }

    void startReceiver(int silentAfterMs = -1) {
        telvorsim::TSimOptions o;
        o.epochWallMs = 200; // five epochs a second: 20 epochs in 4 s
        o.solutionCycleS = 10;
        // A fixed sky, with GPS 1 in view but not used: there gpsd's reading of GSA differs.
        o.startMs = 1796892960000; // 2026-12-10 08:56:00 UTC
        o.faults.silentAfterMs = silentAfterMs;
        sim_ = std::make_unique<telvorsim::TSimReceiver>(o);
        slave_ = sim_->startPty();
        ASSERT_FALSE(slave_.empty()) << sim_->lastError();
    }

    void startMonitor(const std::vector<std::string>& nmea) {
        std::vector<std::string> argv = {TELVOR_CLI_EXE, "--settings", tmp_.path.string(),
                                         "--port",       slave_,       "monitor",
                                         "--json"};
        argv.insert(argv.end(), nmea.begin(), nmea.end());
        cli_ = std::make_unique<TChild>(argv, tmp_ / "cli.err", tmp_ / "cli.out");
        ASSERT_TRUE(cli_->started());
    }

    // `device`: the pty path or tcp://... .
    void startGpsd(const std::string& device) {
        gpsdPort_ = freePort();
        gpsd_ = std::make_unique<TChild>(
            std::vector<std::string>{"gpsd", "-N", "-n", "-b", "-F", (tmp_ / "gpsd.sock").string(),
                                     "-P", (tmp_ / "gpsd.pid").string(), "-S",
                                     std::to_string(gpsdPort_), device},
            tmp_ / "gpsd.err");
        ASSERT_TRUE(gpsd_->started());
        // gpspipe exits when gpsd is not listening yet: start it again until it stays.
        const auto deadline = TClock::now() + 30s;
        while (TClock::now() < deadline) {
            pipe_ = std::make_unique<TChild>(
                std::vector<std::string>{"gpspipe", "-w", "127.0.0.1:" + std::to_string(gpsdPort_)},
                tmp_ / "gpspipe.err");
            if (pipe_->line(TClock::now() + 5s))
                return;
            std::this_thread::sleep_for(200ms);
        }
        FAIL() << "gpspipe never got gpsd's greeting";
    }

    // The monitor's epochs so far, by TimeLabel.
    void readMonitor() {
        std::istringstream in(tmp_.read("cli.out"));
        for (std::string l; std::getline(in, l);) {
            const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(l)).object();
            const std::string time = o["TimeLabel"].toString().toStdString();
            if (time.empty())
                continue;
            TShown& s = shown_[time];
            s.lat = dmsDegrees(o["PosLatLabel"].toString().toStdString());
            s.lon = dmsDegrees(o["PosLonLabel"].toString().toStdString());
            s.alt = std::stod("0" + o["PosAltLabel"].toString().toStdString());
            s.type = o["PosTypeLabel"].toString().toStdString();
            s.sky = monitorSky(o);
        }
    }

    // Reads gpspipe until TPV reports of mode 3 for `epochs` epochs came, checking each against the
    // epoch the monitor showed for its time, and each SKY against one of the epochs around it.
    void checkEpochs(int epochs) {
        std::set<int> statuses;
        std::set<std::string> times;
        int skies = 0;
        std::vector<QJsonObject> pendingSky;
        const auto deadline = TClock::now() + 90s;
        std::vector<QJsonObject> tpv;
        while (static_cast<int>(times.size()) < epochs && TClock::now() < deadline) {
            const auto l = pipe_->line(deadline);
            ASSERT_TRUE(l) << "gpspipe ended or went quiet after " << times.size() << " fixes";
            const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(*l)).object();
            if (o["class"] == "TPV" && o["mode"].toInt() == 3 && o.contains("time")) {
                tpv.push_back(o);
                times.insert(o["time"].toString().toStdString());
            } else if (o["class"] == "SKY" && !tpv.empty()) {
                pendingSky.push_back(o);
            }
        }
        ASSERT_EQ(static_cast<int>(times.size()), epochs);
        // The monitor prints each epoch once it is decoded; gpsd may be a little ahead.
        const std::string last = tpv.back()["time"].toString().toStdString().substr(11, 8);
        waitFor(
            [&] {
                readMonitor();
                return shown_.count(last) != 0;
            },
            10s);
        for (const QJsonObject& o : tpv) {
            // "2026-12-10T03:01:29.000Z": the receiver time of the epoch.
            const std::string time = o["time"].toString().toStdString().substr(11, 8);
            SCOPED_TRACE(time);
            const auto it = shown_.find(time);
            ASSERT_NE(it, shown_.end()) << "the monitor showed no epoch at that time";
            const TShown& s = it->second;
            // NMEA carries a millionth of a minute, the monitor 1e-4 arc seconds.
            EXPECT_NEAR(o["lat"].toDouble(), s.lat, 4e-8);
            EXPECT_NEAR(o["lon"].toDouble(), s.lon, 4e-8);
            EXPECT_NEAR(o["altHAE"].toDouble(), s.alt, 0.0011);
            const int status = o["status"].toInt(1);
            EXPECT_EQ(status, expectedStatus(s.type)) << s.type;
            statuses.insert(status);
        }
        for (const QJsonObject& o : pendingSky) {
            const TSky sky = gpsdSky(o);
            bool matched = false;
            for (const auto& [time, s] : shown_)
                matched = matched || s.sky == sky;
            skies += matched;
        }
        // Every SKY is one of the monitor's epochs; a SKY gpsd sent while it had only part of an
        // epoch's GSV sentences (at its start) may not be.
        EXPECT_GE(skies + 2, static_cast<int>(pendingSky.size()));
        EXPECT_GE(skies, epochs / 2);
        // 20 epochs of 200 ms at a 10 s cycle: standalone, differential, float and fixed.
        EXPECT_EQ(statuses, (std::set<int>{1, 2, 3, 4}));
    }

    TTempDir tmp_{"telvor-gpsd"};
    std::unique_ptr<telvorsim::TSimReceiver> sim_;
    std::string slave_;
    std::unique_ptr<TChild> cli_, gpsd_, pipe_;
    int gpsdPort_ = 0;
    std::map<std::string, TShown> shown_;
};

TEST_F(Gpsd, OnThePtySeesTheMonitorsPositionSatellitesAndSolutionCycle) {
    startReceiver();
    const fs::path link = tmp_ / "nmea";
    startMonitor({"--nmea-pty", link.string()});
    ASSERT_TRUE(waitFor([&] { return fs::is_symlink(link); }, 30s)) << tmp_.read("cli.err");
    startGpsd(link.string());
    checkEpochs(20);
    cli_->stop(SIGTERM);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "the link outlived the command";
}

TEST_F(Gpsd, OverTcpSeesTheSameEpochs) {
    startReceiver();
    startMonitor({"--nmea-tcp", "127.0.0.1:0"});
    std::smatch m;
    std::string err;
    ASSERT_TRUE(waitFor(
        [&] {
            err = tmp_.read("cli.err");
            return std::regex_search(err, m, std::regex(R"(127\.0\.0\.1:(\d+) \()"));
        },
        30s))
        << err;
    startGpsd("tcp://127.0.0.1:" + m[1].str());
    checkEpochs(20);
}

TEST_F(Gpsd, SilentReceiverBecomesNoFixWhileTelvorRuns) {
    startReceiver(12000);
    const fs::path link = tmp_ / "nmea";
    startMonitor({"--nmea-pty", link.string()});
    ASSERT_TRUE(waitFor([&] { return fs::is_symlink(link); }, 30s)) << tmp_.read("cli.err");
    startGpsd(link.string());
    bool fixed = false, lost = false;
    const auto deadline = TClock::now() + 60s;
    while (!lost && TClock::now() < deadline) {
        const auto l = pipe_->line(deadline);
        ASSERT_TRUE(l) << "gpspipe ended or went quiet";
        const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(*l)).object();
        if (o["class"] != "TPV")
            continue;
        fixed = fixed || o["mode"].toInt() == 3;
        lost = fixed && o["mode"].toInt() <= 1;
    }
    EXPECT_TRUE(fixed);
    EXPECT_TRUE(lost) << "gpsd kept its fix after the receiver went silent";
    EXPECT_TRUE(cli_->alive());
    EXPECT_TRUE(fs::is_symlink(link));
}

} // namespace
