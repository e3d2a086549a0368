// The desktop program's start: its command line before any display, and the stop signals.
#include "app/Qtbridge.h"
#include "app/Startoptions.h"
#include "app/Stopsignals.h"

#include <QCoreApplication>
#include <csignal>
#include <gtest/gtest.h>
#include <vector>

namespace telvor {
namespace {

TStartOptions parse(std::vector<const char*> args) {
    args.insert(args.begin(), "telvor");
    return parseStartOptions(int(args.size()), args.data());
}

TEST(StartOptions, AnsweredWithoutAWindowSystem) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    TStartOptions o = parse({"--help"});
    EXPECT_EQ(o.action, TStartOptions::Help);
    EXPECT_EQ(o.text.rfind("Usage: telvor ", 0), 0u) << o.text;
    EXPECT_NE(o.text.find("--settings"), std::string::npos);
    EXPECT_EQ(parse({"--version"}).action, TStartOptions::Version);
    EXPECT_EQ(parse({"-v"}).text, std::string("telvor 0.1.0\n"));

    // Qt's own options pass; the script path is made absolute before the program changes
    // to its home folder.
    o = parse({"-platform", "offscreen", "/run", "job.vxc"});
    EXPECT_EQ(o.action, TStartOptions::Run) << o.text;
    EXPECT_EQ(o.script.front(), '/');
    EXPECT_EQ(o.script.substr(o.script.size() - 8), "/job.vxc");

    // A recording alone (as a file manager opens it) replays, its path made absolute too.
    o = parse({"site1.VXR"});
    EXPECT_EQ(o.action, TStartOptions::Run) << o.text;
    EXPECT_EQ(o.recording.front(), '/');
    EXPECT_EQ(o.recording.substr(o.recording.size() - 10), "/site1.VXR");
    EXPECT_TRUE(o.script.empty());
    EXPECT_EQ(parse({"a.vxr", "b.vxr"}).action, TStartOptions::Usage);

    EXPECT_EQ(parse({"--bogus"}).action, TStartOptions::Usage);
    EXPECT_EQ(parse({"stray"}).action, TStartOptions::Usage);
    EXPECT_EQ(parse({"--settings", "/nonexistent/telvor"}).action, TStartOptions::Usage);
    EXPECT_EQ(parse({"--settings", "/tmp"}).settingsDir, "/tmp");
}

TEST(StopSignals, EachSignalReachesTheEventLoop) {
    int argc = 1;
    char name[] = "telvor-test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    std::vector<int> got;
    {
        TStopSignals stop([&](int sig) { got.push_back(sig); });
        for (int sig : {SIGTERM, SIGINT, SIGHUP})
            std::raise(sig);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(got, (std::vector<int>{SIGTERM, SIGINT, SIGHUP}));
}

// A link's failure that the user must see (a failed send) reaches the window program's box
// through the bridge, after the failing call has returned.
TEST(QtBridge, ErrorsReachTheHandlerQueued) {
    int argc = 1;
    char name[] = "telvor-test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    TQtBridge bridge;
    std::vector<std::string> shown;
    bridge.setErrorHandler([&](const std::string& title, const std::string& text) {
        shown.push_back(title + ": " + text);
    });
    uiBridge().showError("Error", "Sending data to the server failed. Error: 104");
    EXPECT_TRUE(shown.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(shown,
              (std::vector<std::string>{"Error: Sending data to the server failed. Error: 104"}));
}

} // namespace
} // namespace telvor
