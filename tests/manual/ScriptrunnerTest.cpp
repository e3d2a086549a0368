// The interpreter against a host with a clock of its own and a receiver that answers scripted
// replies some milliseconds after each command line.
#include "manual/Scriptrunner.h"
#include "settings/Profile.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <functional>

using namespace telvor;
using telvor::testing::TTempDir;

namespace {

class TFakeHost : public TScriptHost {
public:
    bool sendLine(std::string_view line) override {
        sent.emplace_back(line);
        if (answer)
            if (std::string r = answer(std::string(line)); !r.empty())
                pending.push_back({now + replyDelay, r});
        return linkUp;
    }
    bool writeRaw(std::string_view bytes) override {
        raw.emplace_back(bytes);
        return linkUp;
    }
    void setLinkSpeed(std::uint32_t bps) override { speed = bps; }
    void setLinkHandshake(bool on) override { handshake = on; }
    int speedDivisor() override { return divisor; }
    void echo(const std::string& text) override { echoes.push_back(text); }
    void clearPane() override { echoes.clear(); }
    void setStatus(const std::string& text) override {
        statusText = text;
        statuses.push_back(text);
    }
    std::string status() override { return statusText; }
    void warn(const std::string& text) override { warnings.push_back(text); }
    void runStarted() override { ++started; }
    void runEnded() override { ++ended; }
    void disconnect() override { ++disconnects; }
    void quit() override { ++quits; }
    void processEvents() override { deliver(); }
    void sleep(int ms) override {
        now += static_cast<std::uint32_t>(ms);
        if (onSleep)
            onSleep();
        deliver();
    }
    std::uint32_t nowMs() override { return now; }

    void deliver() {
        while (!pending.empty() && pending.front().at <= now) {
            std::string bytes = pending.front().bytes;
            pending.pop_front();
            interpreter->received(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                  bytes.size());
        }
    }
    bool sawStatus(const std::string& s) const {
        return std::find(statuses.begin(), statuses.end(), s) != statuses.end();
    }

    struct TPending {
        std::uint32_t at;
        std::string bytes;
    };
    TScriptInterpreter* interpreter = nullptr;
    std::function<std::string(const std::string&)> answer;
    std::function<void()> onSleep;
    std::deque<TPending> pending;
    std::uint32_t now = 0xFFFFF000u; // wraps during the tests
    std::uint32_t replyDelay = 30;
    bool linkUp = true;
    std::vector<std::string> sent, raw, echoes, statuses, warnings;
    std::string statusText;
    std::uint32_t speed = 0;
    bool handshake = false;
    int divisor = 1, started = 0, ended = 0, disconnects = 0, quits = 0;
};

class ScriptRunner : public ::testing::Test {
protected:
    ScriptRunner() : profile_((dir_ / "telvor.ini").string()), interpreter_(host_, &profile_) {
        host_.interpreter = &interpreter_;
        interpreter_.setFolder(dir_.path.string());
    }
    void script(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }
    // Echoed lines that are not the script's own lines (those start with a directive or
    // command character).
    std::vector<std::string> output() const {
        std::vector<std::string> out;
        for (const auto& e : host_.echoes)
            if (e.empty() || (e[0] != '@' && e[0] != '%' && e[0] != '#'))
                out.push_back(e);
        return out;
    }

    TTempDir dir_{"telvor-script"};
    TProfile profile_;
    TFakeHost host_;
    TScriptInterpreter interpreter_;
};

using Lines = std::vector<std::string>;

TEST_F(ScriptRunner, GotoFindsLabelsInAnyCaseAndFallsThroughWithoutOne) {
    script("g.vxc", "@goto Done\n@echo skipped\n  @:DONE  \n@echo reached\n"
                    "@goto nowhere\n@echo after\n");
    EXPECT_EQ(interpreter_.RunScript("g", 0), 0);
    EXPECT_EQ(output(), (Lines{"reached", "after"}));
    EXPECT_EQ(host_.statusText, "");
    EXPECT_EQ(host_.started, 1);
    EXPECT_EQ(host_.ended, 1);
}

TEST_F(ScriptRunner, ParametersDefaultsAndSet) {
    // "@default" never changes a given parameter and is not substituted itself; "@set" values
    // are lower case (directive items) but substituted; a parameter holding its own marker
    // stays as it is.
    script("myscript.vxc", "@echo off\n@default @2 5000\n@default @3 @1\n@default @4 \"Big\"\n"
                           "@set @5 Hello\n@set @6 @5\n@echo @1|@2|@3|@4|@5|@6|@7|@0\n");
    EXPECT_EQ(interpreter_.RunScript("myscript,a,@2", 0), 0);
    EXPECT_EQ(host_.echoes, (Lines{"a|@2|@1|big|hello|hello||myscript"}));
}

TEST_F(ScriptRunner, ReplyValueDrivesTheFlow) {
    host_.answer = [](const std::string& line) -> std::string {
        if (line == "%/par/rcv/model%print,/par/rcv/model")
            return "RE017%/par/rcv/model%  TR-G3  \n";
        if (line == "%%print,x")
            return "RE00C%%  42  \n";
        return {};
    };
    script("b.vxc", "%/par/rcv/model%print,/par/rcv/model\n@goto Is@0\n@echo other\n@stop\n"
                    "@:IsTR-G3\n@echo model @0\n%%print,x\n@echo value @0\n");
    EXPECT_EQ(interpreter_.RunScript("b", 0), 0);
    EXPECT_EQ(output(), (Lines{"model TR-G3", "value 42"}));
}

TEST_F(ScriptRunner, ErrorRepliesAndSilence) {
    host_.answer = [](const std::string& line) -> std::string {
        return line.find("bad") != std::string::npos ? "ER012Unknown command\n" : "";
    };
    // Off: an error leaves @0 empty and the script goes on; silence likewise.
    script("off.vxc", "%%print,good\n@stoponerrors off\n%%print,bad\n@echo [@0]\n%%print,quiet\n"
                      "@echo done\n");
    host_.answer = [inner = host_.answer](const std::string& line) -> std::string {
        if (line == "%%print,good")
            return "RE007%%x\n";
        return inner(line);
    };
    EXPECT_EQ(interpreter_.RunScript("off", 0), 0);
    EXPECT_EQ(output(), (Lines{"[]", "done"}));

    script("on.vxc", "%%print,bad\n@echo not here\n");
    EXPECT_EQ(interpreter_.RunScript("on", 0), 1);
    EXPECT_EQ(output().back(), "Stop: An error reply from the receiver");
    EXPECT_EQ(interpreter_.finalStatus(), "An error reply from the receiver");
    EXPECT_EQ(host_.statusText, "An error reply from the receiver");

    script("quiet.vxc", "@timeout 3000\n%%print,quiet\n@echo not here\n");
    const std::uint32_t start = host_.now;
    EXPECT_EQ(interpreter_.RunScript("quiet", 0), 1);
    EXPECT_EQ(output().back(), "Stop: Receiver timeout");
    EXPECT_EQ(interpreter_.finalStatus(), "Receiver timeout");
    EXPECT_GE(host_.now - start, 3000u);
    EXPECT_LT(host_.now - start, 3100u);
    // Waits beyond a second show how long, and the line comes back afterwards.
    EXPECT_TRUE(host_.sawStatus("Waiting 1010 ms"));
    EXPECT_EQ(host_.statuses[host_.statuses.size() - 2], "%%print,quiet");
}

TEST_F(ScriptRunner, AReplyInPiecesIsCollectedWhole) {
    host_.answer = [this](const std::string&) -> std::string {
        host_.pending.push_back({host_.now + 150, "RE00E%%tail"});
        host_.pending.push_back({host_.now + 230, "  end \n"});
        return "";
    };
    script("p.vxc", "%%print,x\n@echo <@0>\n");
    EXPECT_EQ(interpreter_.RunScript("p", 0), 0);
    EXPECT_EQ(output(), (Lines{"<tail  end>"}));
}

TEST_F(ScriptRunner, SendWritesRawBytes) {
    script("s.vxc", "@send \"AT\\r\\n\"\n@send \\x41\\0102\\67\\\n@SEND \"keep Case @1\"\n");
    EXPECT_EQ(interpreter_.RunScript("s,ignored", 0), 0);
    EXPECT_EQ(host_.raw, (Lines{"AT\r\n", "ABC\\", "keep Case @1"}));
    EXPECT_TRUE(host_.sent.empty());
    // Typed in the command line: "@send ..." runs without a file.
    host_.raw.clear();
    EXPECT_EQ(interpreter_.RunScript("send \"\\x23\\x23\\n\"", 0), 0);
    EXPECT_EQ(host_.raw, (Lines{"##\n"}));
}

TEST_F(ScriptRunner, CallsNestWithTheirOwnParametersAndStopAtDepth201) {
    script("outer.vxc", "@call inner,x y\n@echo outer @1\n@call missing\n@echo still here\n");
    script("inner.vxc", "@echo inner @1 @2\n");
    EXPECT_EQ(interpreter_.RunScript("outer,o", 0), 0);
    EXPECT_EQ(output(), (Lines{"inner x y", "outer o", "still here"}));
    EXPECT_TRUE(host_.sawStatus("Unable to open missing.vxc"));

    script("self.vxc", "@call self\n@echo unwound\n");
    host_.echoes.clear();
    EXPECT_EQ(interpreter_.RunScript("self", 0), 1);
    EXPECT_EQ(std::count(host_.echoes.begin(), host_.echoes.end(), "@call self"), 201);
    EXPECT_TRUE(output().empty());
    EXPECT_EQ(interpreter_.finalStatus(), "Too deep call level (200)!");
    EXPECT_EQ(host_.statusText, "Too deep call level (200)!");
    EXPECT_EQ(host_.started, 2);
    EXPECT_EQ(host_.ended, 2);
}

// Misspelt directives and a missing called script do not stop the run, but each is reported
// as it passes and the run's end says so; the next run starts without them.
TEST_F(ScriptRunner, PassedOverLinesAreReported) {
    script("setup.vxc", "@sleap 500\n@cal sub\n@stoponerror off\n@call missing,@1\n"
                        "@echo done\n@Stop\n");
    EXPECT_EQ(interpreter_.RunScript("setup,x", 0), 0);
    EXPECT_EQ(output(), (Lines{"done"}));
    const Lines expected{
        "Unknown directive in setup.vxc: @sleap 500", "Unknown directive in setup.vxc: @cal sub",
        "Unknown directive in setup.vxc: @stoponerror off", "Unable to open missing.vxc"};
    EXPECT_EQ(host_.warnings, expected);
    EXPECT_EQ(interpreter_.warnings(), expected);
    EXPECT_EQ(interpreter_.finalStatus(), "");
    EXPECT_EQ(host_.statusText, "Unknown directive in setup.vxc: @sleap 500 (and 3 more)");

    script("clean.vxc", "@sleep 10\n@stoponerrors off\n@: label\n");
    EXPECT_EQ(interpreter_.RunScript("clean", 0), 0);
    EXPECT_TRUE(interpreter_.warnings().empty());
    EXPECT_EQ(host_.statusText, "");
}

TEST_F(ScriptRunner, AMissingScriptIsNoErrorStop) {
    EXPECT_EQ(interpreter_.RunScript("nothere", 0), 0);
    EXPECT_EQ(interpreter_.finalStatus(), "Unable to open nothere.vxc");
    EXPECT_EQ(host_.ended, 1);
}

TEST_F(ScriptRunner, UserStopInterruptsEveryLevel) {
    script("outer.vxc", "@call inner\n@echo outer goes on\n");
    script("inner.vxc", "@sleep 500\n@echo inner goes on\n");
    host_.onSleep = [this] { interpreter_.requestStop(); };
    EXPECT_EQ(interpreter_.RunScript("outer", 0), 0);
    EXPECT_TRUE(output().empty());
    EXPECT_EQ(interpreter_.finalStatus(), "Interrupted");
    // "@sleep" itself runs to its end.
    EXPECT_TRUE(host_.sawStatus("Sleeping: 10 ms left"));
    EXPECT_TRUE(host_.sawStatus("Executing inner.vxc..."));
    // The next run starts with the stop cleared.
    host_.onSleep = nullptr;
    EXPECT_EQ(interpreter_.RunScript("inner", 0), 0);
    EXPECT_EQ(output(), (Lines{"inner goes on"}));
}

TEST_F(ScriptRunner, LinkSettingsAndSessionDirectives) {
    host_.divisor = 4;
    script("l.vxc", "@set @1 460800\n@set speed @1\n@set rtscts on\n@timeout x\n@sleep y\n");
    EXPECT_EQ(interpreter_.RunScript("l", 0), 0);
    EXPECT_EQ(host_.speed, 115200u);
    EXPECT_EQ(profile_.read(keys::CommBaud), "460800");
    EXPECT_TRUE(host_.handshake);
    EXPECT_TRUE(profile_.read(keys::CommRTSCTS));
    EXPECT_TRUE(host_.sawStatus("Sleeping: 1000 ms left"));

    script("r.vxc", "@set rate fast\n@set rtscts yes\n@disconnect\n@echo not here\n");
    EXPECT_EQ(interpreter_.RunScript("r", 0), 1);
    EXPECT_EQ(host_.speed, 115200u / 4);
    EXPECT_EQ(profile_.read(keys::CommBaud), "115200");
    EXPECT_FALSE(host_.handshake);
    EXPECT_EQ(host_.disconnects, 1);
    EXPECT_EQ(host_.quits, 0);

    script("e.vxc", "@exit\n");
    EXPECT_EQ(interpreter_.RunScript("e", 0), 1);
    EXPECT_EQ(host_.quits, 1);
}

TEST_F(ScriptRunner, ALostLinkStopsTheScript) {
    host_.linkUp = false;
    script("d.vxc", "dm\n@echo not here\n");
    EXPECT_EQ(interpreter_.RunScript("d", 0), 1);
    EXPECT_EQ(interpreter_.finalStatus(), "Can't send command");
}

TEST_F(ScriptRunner, EchoAndLongLines) {
    // Lines longer than 1023 characters are read in pieces.
    script("e.vxc", "@echo OFF\n@echo " + std::string(1100, 'x') + "\n# quiet\n@echo on\n#c\n");
    EXPECT_EQ(interpreter_.RunScript("e", 0), 0);
    ASSERT_EQ(host_.echoes.size(), 2u);
    EXPECT_EQ(host_.echoes[0], std::string(1023 - 6, 'x'));
    EXPECT_EQ(host_.echoes[1], "#c"); // the second piece is a command line: not echoed
    EXPECT_EQ(host_.sent, (Lines{std::string(1100 - 1017, 'x')}));
}

} // namespace
