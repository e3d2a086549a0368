#include "protocol/Bridge.h"
#include "protocol/Debugcore.h"
#include "protocol/Logfile.h"
#include "protocol/Tick.h"
#include "protocol/Tracer.h"
#include "support/Tempdir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace telvor;
using telvor::testing::TTempDir;

namespace {

TEST(CommLog, EscapesUnprintableBytes) {
    const unsigned char data[] = {0x0D, 0x0A, 0x41, 0x00};
    std::string out;
    appendEscaped(out, data, sizeof data);
    EXPECT_EQ(out, "<cr><lf>A<00>");
    EXPECT_EQ(escapeForLog(std::string_view("\x1f ~\x7f\xff", 5)), "<1F> ~<7F><FF>");
}

TEST(CommLog, WritesEscapedLinesAndAppends) {
    TTempDir dir{"telvor-diag"};
    auto path = (dir.path / "telvor.log").string();
    std::ofstream(path) << "old\n";
    TLogFile log;
    ASSERT_TRUE(log.open(path));
    log.writeLine("P\t:", "a\rb", 3);
    log.writeText("x\n");
    log.writeLine("y");
    log.close();
    log.writeLine("after close");
    EXPECT_EQ(dir.read("telvor.log"), "old\nP<09>:a<cr>b\nx<lf>y\n");
    EXPECT_FALSE(log.open((dir.path / "missing" / "telvor.log").string()));
}

TEST(CommLog, LineKindsAndDisabledLog) {
    TTempDir dir{"telvor-diag"};
    auto start = fs::current_path();
    fs::current_path(dir.path);
    ASSERT_EQ(commLog(), nullptr);
    logInput(7, "x", 1);
    logLine("Connected");
    logSessionStart();
    EXPECT_TRUE(fs::is_empty(dir.path)); // closed: no file at all

    ASSERT_TRUE(openCommLog());
    ASSERT_NE(commLog(), nullptr);
    logInput(4000000000u, "RE\r\n", 4);
    logReceived("~~", 2);
    logReply("RE", 2);
    logError("Framing error");
    logCommand("dm\r\n", 4);
    logRaw("##", 2);
    logDisplay("PG", 2);
    logLine("Speed 115200");
    logSessionClose();
    closeCommLog();
    logLine("not written");
    fs::current_path(start);

    auto text = dir.read(kCommLogName);
    auto close = text.find("\nClose session at ");
    ASSERT_NE(close, std::string::npos);
    EXPECT_EQ(text.substr(0, close + 1),
              "INP: TIME: 4000000000, LEN: 4, DATA: RE<cr><lf>\nRCV:~~\nRPL:RE\n"
              "ERR:Framing error\nCMD:dm<cr><lf>\nRAW:##\nDSP:PG\nSpeed 115200\n\n");
    EXPECT_EQ(text.size() - close, std::string("\nClose session at 2024-01-01 00:00:00\n").size());
}

TEST(CommLog, LinesFromTwoThreadsNeverInterleave) {
    TTempDir dir{"telvor-diag"};
    TLogFile log;
    ASSERT_TRUE(log.open((dir.path / "t.log").string()));
    const std::string a(300, 'a'), b(300, 'b');
    auto writer = [&log](const std::string& data, const char* prefix) {
        for (int i = 0; i < 2000; ++i)
            log.writeLine(prefix, data.data(), data.size());
    };
    std::thread ta(writer, a, "A:"), tb(writer, b, "B:");
    ta.join();
    tb.join();
    log.close();
    std::istringstream in(dir.read("t.log"));
    int countA = 0, countB = 0;
    for (std::string line; std::getline(in, line);) {
        if (line == "A:" + a)
            ++countA;
        else if (line == "B:" + b)
            ++countB;
        else
            ADD_FAILURE() << "mixed line: " << line.substr(0, 40);
    }
    EXPECT_EQ(countA, 2000);
    EXPECT_EQ(countB, 2000);
}

// A debug core wired to a plain bridge, as the window would be.
class DebugCoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        setUiBridge(&bridge_);
        bridge_.setHandler(TWindowId::Debug,
                           [this](std::uint32_t code) { core_.handleCode(code); });
    }
    void TearDown() override { setUiBridge(nullptr); }
    TPlainBridge bridge_;
    TDebugCore core_;
};

TEST_F(DebugCoreTest, ManyPostsShowTheLastAndCountAll) {
    core_.setVisible(true);
    core_.setTimeSource([] { return std::string("12:00:01"); });
    std::vector<std::string> status;
    core_.setRealTimeStatus([&](const std::string& s) { status.push_back(s); });
    std::thread input([this] {
        for (int i = 0; i < 10; ++i)
            core_.postError("Parity error " + std::to_string(i));
    });
    input.join();
    EXPECT_EQ(core_.pendingCount(), 10);
    bridge_.processEvents();
    EXPECT_EQ(core_.lines(), std::vector<std::string>{"Parity error 9 at 12:00:01"});
    EXPECT_EQ(core_.errorCount(), 10);
    EXPECT_EQ(core_.totalErrors(), 10);
    EXPECT_EQ(core_.counterLabel(), "10");
    EXPECT_EQ(status, std::vector<std::string>{"Parity error 9 at 12:00:01 (10)"});
    EXPECT_FALSE(core_.takePendingError());

    // No receiver time shown: nothing is appended.
    core_.setTimeSource([] { return std::string(); });
    core_.postError("Overrun");
    bridge_.processEvents();
    EXPECT_EQ(core_.lines().back(), "Overrun");
    EXPECT_EQ(core_.counterLabel(), "11");
}

TEST_F(DebugCoreTest, ListKeepsAHundredLinesPlusTheNewest) {
    core_.showLine("hidden");
    EXPECT_TRUE(core_.lines().empty());
    core_.setVisible(true);
    for (int i = 0; i < 250; ++i)
        core_.showLine("line" + std::to_string(i));
    auto lines = core_.lines();
    ASSERT_EQ(lines.size(), TDebugCore::kMaxLines + 1);
    EXPECT_EQ(lines.front(), "line149");
    EXPECT_EQ(lines.back(), "line249");
}

TEST_F(DebugCoreTest, CounterWhileHiddenAndClear) {
    core_.showError("while hidden");
    core_.showError("while hidden");
    EXPECT_EQ(core_.errorCount(), 2);
    EXPECT_EQ(core_.counterLabel(), "0");
    EXPECT_TRUE(core_.lines().empty());
    int changes = 0;
    core_.setOnChange([&] { ++changes; });
    core_.setVisible(true);
    EXPECT_EQ(core_.counterLabel(), "2");
    core_.showError("shown");
    EXPECT_EQ(core_.counterLabel(), "3");
    core_.clear();
    EXPECT_TRUE(core_.lines().empty());
    EXPECT_EQ(core_.counterLabel(), "0");
    core_.showError("next");
    EXPECT_EQ(core_.counterLabel(), "1");
    EXPECT_EQ(core_.totalErrors(), 4);
    EXPECT_GE(changes, 4);
}

TEST_F(DebugCoreTest, TracerPostsToTheProgramsDebugWindow) {
    bridge_.setHandler(TWindowId::Debug, [](std::uint32_t code) { debugCore().handleCode(code); });
    debugCore().setVisible(true);
    trace("Destroy USB Port %d\n", 2);
    std::thread([] { trace("%s", "from the input thread"); }).join();
    bridge_.processEvents();
    EXPECT_EQ(debugCore().lines().back(), "Trace: from the input thread");
    debugCore().setVisible(false);
}

TEST(Diagnostics, VisibilityAndTicks) {
    EXPECT_TRUE(debugWindowVisibility(true, false).visible);
    EXPECT_TRUE(debugWindowVisibility(true, false).rememberShown);
    EXPECT_TRUE(debugWindowVisibility(false, true).visible);
    EXPECT_FALSE(debugWindowVisibility(false, true).rememberShown);
    EXPECT_FALSE(debugWindowVisibility(false, false).visible);
    EXPECT_EQ(ticksBetween(0xFFFFFFF0u, 0x10u), 0x20u);
}

} // namespace
