// The command engine against a scripted receiver on a pty.
#include "protocol/Commtools.h"
#include "protocol/Commstate.h"
#include "protocol/Debugcore.h"
#include "support/Peers.h"

#include <chrono>
#include <mutex>
#include <sstream>
#include <vector>

namespace telvor::testing {
namespace {

using CommandEngine = TPtyLinkFixture;

TEST_F(CommandEngine, PrintsParametersAndReportsReceiverErrors) {
    answer([](const std::string& line) -> std::string {
        if (line == "%%print,/par/rcv/model")
            return "garbage" + makeReply("  VORNA \r\n");
        if (line == "%%print,/par/nothing")
            return makeMessage("ER", "No such parameter");
        return {};
    });
    EXPECT_EQ(PrintParameter("/par/rcv/model", "<unknown>", 2000), "VORNA");
    // The reply was moved to the front; the stray bytes before it are gone.
    EXPECT_EQ(ReplyText(0), "RE00C%%  VORNA");
    EXPECT_EQ(PrintParameter("/par/nothing", "<unknown>", 2000), "<unknown>");
    EXPECT_EQ(PrintParameter("/par/nothing", "ERROR", 2000), "No such parameter");
    // A silent receiver gives the default once the timeout has passed.
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(PrintParameter("/par/silent", "", 100), "");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(190));
}

TEST_F(CommandEngine, FirstReplyWinsAndStaysUntilTheNextLine) {
    answer([](const std::string& line) -> std::string {
        if (line == "%%set,a,1")
            return makeMessage("ER", "refused") + makeReply("late");
        return {};
    });
    EXPECT_EQ(SendAndWait("%%set,a,1", 1000), TReply::ER);
    EXPECT_EQ(ReplyText(5), "refused");
    // Waiting again without sending finds the same reply.
    EXPECT_TRUE(AwaitReply("ER", 100));
    EXPECT_EQ(ReplyText(5), "refused");
}

// Logging mode sends its "em" without a wait and without emptying the buffer; the reply to it
// must not answer the wait of a later line that the receiver leaves unanswered.
TEST_F(CommandEngine, AWaitNeverReturnsOnTheReplyToAnEarlierLine) {
    answer([](const std::string& line) -> std::string {
        return line == "%%em,,def" ? makeReply("") : std::string{};
    });
    SetInputMode(TInputMode::Logging);
    ASSERT_TRUE(SendLine("%%em,,def"));
    ASSERT_TRUE(AwaitReply("RE", 2000));
    EXPECT_EQ(SendAndWait("%%dm", 300), TReply::None);
    // A wait without a line still finds what is there.
    ASSERT_TRUE(SendLine("%%em,,def"));
    ASSERT_TRUE(AwaitReply("RE", 2000));
    EXPECT_EQ(SendAndWait("", 300), TReply::RE);
    SetInputMode(TInputMode::Idle);
}

TEST_F(CommandEngine, RetriesAfterErrorsButNotAfterATimeout) {
    int refusals = 0;
    answer([&](const std::string& line) -> std::string {
        if (line == "%command%em,,vxr{/PG}")
            return ++refusals < 3 ? makeMessage("ER", "busy") : makeReply("", "%command%");
        return {}; // everything else times out
    });
    EXPECT_TRUE(SendWithRetries("em,,vxr{/PG}", 5));
    EXPECT_EQ(responder_->lines(), 3);
    EXPECT_FALSE(SendWithRetries("em,,vxr{/XX}", 5));
    EXPECT_EQ(responder_->lines(), 4); // gave up after the first timeout
}

TEST_F(CommandEngine, AllErrorsExhaustTheAttempts) {
    answer([](const std::string&) { return makeMessage("ER", "no"); });
    EXPECT_FALSE(SendWithRetries("dm", 3));
    EXPECT_EQ(responder_->lines(), 3);
}

TEST_F(CommandEngine, SynchronisesAfterGarbageAndStaleReplies) {
    answer([](const std::string& line) -> std::string {
        if (line.rfind("%Wait_", 0) == 0)
            // An old reply still on its way, noise, then the echo of the marker.
            return makeReply("stale") + "\x01\x02junk" + makeMessage("RE", line);
        return {};
    });
    EXPECT_TRUE(Synchronise(3));
    EXPECT_EQ(responder_->lastLine(), "%Wait_3%");
}

TEST_F(CommandEngine, EnablesMessagesInLinesOfAtMost124Characters) {
    std::mutex lock;
    std::vector<std::string> lines;
    answer([&](const std::string& line) {
        std::lock_guard guard(lock);
        lines.push_back(line);
        return makeReply("", "%command%");
    });
    const std::string list = "/PG,/PV,/DP,/MS,/RT,/RD,/OO,/TT,/XA,/XB,/SG,/GA:0,/NA:0,/SI,/NN,"
                             "/EL,/DO,/DC,/AZ,/EC,/E1,/E2,/TC,/SS,/GS,/NS,/EE,\"/a,b\"";
    ASSERT_TRUE(EnableMessages(list));
    std::lock_guard guard(lock);
    ASSERT_GE(lines.size(), 2u);
    std::string joined;
    for (const std::string& line : lines) {
        const std::string command = line.substr(std::string("%command%").size());
        EXPECT_LE(command.size(), 124u) << command;
        ASSERT_EQ(command.substr(0, 8), "em,,vxr{");
        ASSERT_EQ(command.back(), '}');
        joined += (joined.empty() ? "" : ",") + command.substr(8, command.size() - 9);
    }
    EXPECT_EQ(joined, list);
}

TEST_F(CommandEngine, SavesValuesThatSpanSeveralReplies) {
    answer([](const std::string& line) -> std::string {
        if (line == "%%print,/par/long")
            return makeReply("{a,\"}\",{b,") + makeReply("c}}");
        if (line == "%%print,/par/out/dev/ser/a:on")
            return makeReply("{vxr/PG:{1.00,0,0},") + makeReply("vxr/SI:{10,0,0}}");
        return makeMessage("ER", "No such parameter");
    });
    std::ostringstream file;
    EXPECT_TRUE(SaveParameterLine(file, "/par/long"));
    EXPECT_EQ(file.str(), "%/par/long%set,/par/long,{a,\"}\",{b,c}}\n");
    file.str("");
    EXPECT_TRUE(SavePortMessages(file, "/dev/ser/a"));
    EXPECT_EQ(file.str(), "%dm,/dev/ser/a%dm,/dev/ser/a\n"
                          "%em,/dev/ser/a,vxr/PG:1.00%em,/dev/ser/a,vxr/PG:1.00\n"
                          "%em,/dev/ser/a,vxr/SI:10%em,/dev/ser/a,vxr/SI:10\n");
    file.str("");
    EXPECT_FALSE(SaveParameterLine(file, "/par/missing"));
    EXPECT_EQ(file.str(), "");
}

TEST_F(CommandEngine, EveryOperationFailsAtOnceWithoutALink) {
    CloseReceiverConnection();
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(SendLine("dm"));
    EXPECT_EQ(SendAndWait("dm", 2000), TReply::None);
    EXPECT_FALSE(AwaitReply("RE", 2000));
    EXPECT_EQ(PrintParameter("/par/rcv/model", "<unknown>", 2000), "<unknown>");
    EXPECT_FALSE(Synchronise(2));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

} // namespace
} // namespace telvor::testing
