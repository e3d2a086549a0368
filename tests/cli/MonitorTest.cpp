// `telvor-cli monitor`: its two renderings of the monitor view, and the real executable
// against the real telvor-sim on a pseudo-terminal.
#include "cli/Monitortext.h"
#include "monitor/Monitorstate.h"
#include "support/Tempdir.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace telvor;

namespace {

// ---------------------------------------------------------------------------------------------
// Child processes with their standard output on a pipe.

class TChild {
public:
    explicit TChild(const std::vector<std::string>& argv) {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            ::close(fds[1]);
            std::vector<char*> args;
            for (const auto& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~TChild() {
        if (pid_ > 0 && code_ == kRunning) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            ::close(out_);
    }

    // Reads what is there within `ms`; false at the end of the output.
    bool read(int ms) {
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0)
            return true;
        char buf[4096];
        ssize_t n = ::read(out_, buf, sizeof buf);
        if (n <= 0)
            return false;
        text_.append(buf, std::size_t(n));
        return true;
    }
    // Reads until `done` holds or `ms` have passed.
    bool readUntil(const std::function<bool(const std::string&)>& done, int ms) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done(text_) && std::chrono::steady_clock::now() < end)
            if (!read(100))
                break;
        return done(text_);
    }
    // Reads to the end and returns the exit code (-1: killed by a signal or still running
    // after `ms`).
    int finish(int ms) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end && read(100)) {
        }
        // The output closes a little before the process has exited.
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) != pid_) {
            if (std::chrono::steady_clock::now() >= end)
                return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return code_;
    }
    void signal(int sig) { ::kill(pid_, sig); }
    const std::string& text() const { return text_; }

private:
    static constexpr int kRunning = -2;
    pid_t pid_ = -1;
    int out_ = -1;
    int code_ = kRunning;
    std::string text_;
};

// What `telvor-cli send` prints, trimmed.
std::string cliSend(const std::vector<std::string>& base, const std::string& command) {
    std::vector<std::string> argv = base;
    argv.push_back("send");
    argv.push_back(command);
    TChild child(argv);
    child.finish(10000);
    std::string out = child.text();
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

std::vector<QJsonObject> jsonLines(const std::string& text, std::string& error) {
    std::vector<QJsonObject> out;
    for (const QString& line : QString::fromStdString(text).split('\n', Qt::SkipEmptyParts)) {
        QJsonParseError e;
        QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8(), &e);
        if (!doc.isObject()) {
            error = "not a JSON object: " + line.toStdString();
            return out;
        }
        out.push_back(doc.object());
    }
    return out;
}

} // namespace

// ---------------------------------------------------------------------------------------------

TEST(MonitorOutput, JsonAndTextShowWhatTheWindowShows) {
    TMonitorView view;
    view.show("PosLatLabel", "50\u00B0 05' 15.0077\" N");
    view.show("TimeLabel", "17:40:02");
    view.show("SpeedLabel", "0.1041 m/s");
    view.show("EventALabel", "Event A: 3");
    view.show("GALabel", "map"); // the debug window's, not the main window's
    view.setText("GPSCountLabel", "GPS Satellites (2)");
    view.gps().rows = {{1, {"03*", "29+", "130", "40", "36", "33", ":00", "26-"}},
                       {2, {"124", "31^", "160", "44", "??", "??", ":03", "05-"}}};

    QJsonObject o =
        QJsonDocument::fromJson(QByteArray::fromStdString(monitorViewJson(view))).object();
    QStringList keys = o.keys();
    EXPECT_EQ(keys, (QStringList{"EventALabel", "GLOCountLabel", "GLOList", "GPSCountLabel",
                                 "GPSList", "PosLatLabel", "SpeedLabel", "TimeLabel"}));
    EXPECT_EQ(o["PosLatLabel"].toString().toStdString(), "50\u00B0 05' 15.0077\" N");
    EXPECT_EQ(o["GPSCountLabel"].toString(), "GPS Satellites (2)");
    EXPECT_EQ(o["GLOCountLabel"].toString(), "GLONASS Satellites");
    ASSERT_EQ(o["GPSList"].toArray().size(), 2);
    EXPECT_EQ(o["GPSList"].toArray()[1].toArray()[1].toString(), "31^");
    EXPECT_EQ(o["GPSList"].toArray()[1].toArray().size(), 8);
    EXPECT_TRUE(o["GLOList"].toArray().isEmpty());
    view.hide("SpeedLabel");
    EXPECT_FALSE(QJsonDocument::fromJson(QByteArray::fromStdString(monitorViewJson(view)))
                     .object()
                     .contains("SpeedLabel"));

    std::string text = monitorViewText(view);
    EXPECT_NE(text.find("Time    Time: 17:40:02\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Geo     Latitude: 50\u00B0 05' 15.0077\" N\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Events  Event A: 3\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("map"), std::string::npos);
    // Columns aligned under their captions.
    EXPECT_NE(text.find("GPS Satellites (2)\n"
                        "  #   EL  AZ  CA P1 P2 TC  SS\n"
                        "  03* 29+ 130 40 36 33 :00 26-\n"
                        "  124 31^ 160 44 ?? ?? :03 05-\n"
                        "GLONASS Satellites\n"
                        "  Sn Fn EL AZ CA P1 P2 TC SS\n"),
              std::string::npos)
        << text;
}

// The real programs: telvor-sim on a pty, telvor-cli monitoring it, stopped by a signal and
// by --seconds. The receiver's terminal elevation mask is -90 while monitoring and must be
// back afterwards.
TEST(MonitorCli, MonitorsTheSimulatedReceiver) {
    telvor::testing::TTempDir tmp("telvor-cli-monitor");
    const fs::path dir = tmp.path;
    TChild sim({TELVOR_SIM_EXE, "--pty", (dir / "tty").string()});
    ASSERT_TRUE(sim.readUntil([](const std::string& t) { return t.find('\n') != t.npos; }, 10000))
        << "telvor-sim did not start";
    char slave[256] = {};
    ASSERT_EQ(std::sscanf(sim.text().c_str(), "ready pty %255s", slave), 1) << sim.text();
    const std::vector<std::string> base = {TELVOR_CLI_EXE, "--settings", dir.string(), "--port",
                                           slave};
    const std::string mask = cliSend(base, "print,/par/out/elm/cur/term");
    ASSERT_FALSE(mask.empty());
    ASSERT_NE(mask, "-90");

    // Until the receiver has a position (it acquires satellites for some seconds first);
    // then SIGTERM ends the monitor cleanly.
    {
        std::vector<std::string> argv = base;
        argv.push_back("monitor");
        TChild cli(argv);
        EXPECT_TRUE(cli.readUntil(
            [](const std::string& t) { return t.find("Solution: (standalone)") != t.npos; }, 60000))
            << cli.text();
        cli.signal(SIGTERM);
        EXPECT_EQ(cli.finish(10000), 0);
        EXPECT_NE(cli.text().find("GPS Satellites ("), std::string::npos);
        EXPECT_NE(cli.text().find("  Sn Fn EL"), std::string::npos);
    }
    EXPECT_EQ(cliSend(base, "print,/par/out/elm/cur/term"), mask);

    std::vector<std::string> argv = base;
    for (const char* a : {"monitor", "--json", "--seconds", "5"})
        argv.push_back(a);
    TChild cli(argv);
    ASSERT_EQ(cli.finish(30000), 0) << cli.text();
    std::string error;
    std::vector<QJsonObject> lines = jsonLines(cli.text(), error);
    ASSERT_TRUE(error.empty()) << error;
    // One line per epoch: about five, whatever the timer does (fewer on a loaded machine).
    ASSERT_GE(lines.size(), 2u) << cli.text();
    EXPECT_LE(lines.size(), 7u) << cli.text();
    for (const QJsonObject& o : lines)
        for (const QString& key : o.keys())
            EXPECT_TRUE(key == "GPSList" || key == "GLOList" || isMonitorControl(key.toStdString()))
                << key.toStdString();

    const QJsonObject& last = lines.back();
    QJsonArray gps = last["GPSList"].toArray(), glo = last["GLOList"].toArray();
    ASSERT_GE(gps.size(), 4);
    ASSERT_GE(glo.size(), 1);
    EXPECT_EQ(gps[0].toArray().size(), 8);
    EXPECT_EQ(glo[0].toArray().size(), 9);
    EXPECT_EQ(last["GPSCountLabel"].toString(), QString("GPS Satellites (%1)").arg(gps.size()));
    EXPECT_EQ(last["GLOCountLabel"].toString(), QString("GLONASS Satellites (%1)").arg(glo.size()));
    // The simulator stands at 50.0875 N, 14.4213 E.
    EXPECT_TRUE(last["PosLatLabel"].toString().startsWith("50\u00B0 05' ")) << cli.text();
    EXPECT_TRUE(last["PosLonLabel"].toString().startsWith("14\u00B0 25' ")) << cli.text();
    EXPECT_EQ(last["PosTypeLabel"].toString(), "(standalone)");
    EXPECT_FALSE(last["TimeLabel"].toString().isEmpty());
    EXPECT_FALSE(last["PDOPLabel"].toString().isEmpty());
    EXPECT_NE(lines.front()["TimeLabel"], last["TimeLabel"]); // live

    EXPECT_EQ(cliSend(base, "print,/par/out/elm/cur/term"), mask);
    sim.signal(SIGTERM);
    sim.finish(5000);
}
