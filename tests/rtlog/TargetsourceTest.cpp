// "Get from receiver" against a scripted receiver on a pty: the reply buffer in idle mode,
// the plot store while the stream is split into messages.
#include "rtlog/Targetsource.h"
#include "monitor/Plotdata.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "support/Peers.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace telvor::testing {
namespace {

std::string pgBody(double lat, double lon) {
    std::string b(29, '\0');
    std::memcpy(&b[0], &lat, 8);
    std::memcpy(&b[8], &lon, 8);
    b[28] = 1;
    return b;
}

class TargetSource : public TPtyLinkFixture {
protected:
    TPlotData data_;
};

TEST_F(TargetSource, IdleModeAsksAndReadsTheReplyBuffer) {
    responder_ = std::make_unique<TResponder>(pty_.master(), [](const std::string& line) {
        // The position follows stray bytes and a reply, as a busy receiver would send it.
        return line == "out,,vxr/PG"
                   ? "noise" + makeReply("ok") + makeMessage("PG", pgBody(0.5, -1.25))
                   : std::string();
    });
    TLinkPositionSource source(data_);
    EXPECT_TRUE(source.linkOpen());
    EXPECT_FALSE(source.monitoring());
    TQueryResult r = queryTargetFromReceiver(source);
    ASSERT_TRUE(r.position) << r.status;
    EXPECT_EQ(r.position->lat, 0.5);
    EXPECT_EQ(r.position->lon, -1.25);
    EXPECT_EQ(responder_->lastLine(), "out,,vxr/PG");
    // The position was taken out of the buffer: a second wait finds nothing.
    EXPECT_FALSE(source.awaitPosition(100));
}

TEST_F(TargetSource, MonitorModeWaitsForTheNextFixOfThePlotStore) {
    commState().SetPlotSink(&data_);
    SetInputMode(TInputMode::Monitoring);
    TLinkPositionSource source(data_);
    ASSERT_TRUE(source.monitoring());
    // A fix from before the question does not count.
    pty_.write(makeMessage("PG", pgBody(0.1, 0.2)));
    ASSERT_TRUE(until([&] { return data_.lastFix().sequence == 1; }));
    std::thread receiver([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pty_.write(makeMessage("PG", pgBody(0.3, 0.4)));
    });
    TQueryResult r = queryTargetFromReceiver(source);
    receiver.join();
    ASSERT_TRUE(r.position) << r.status;
    EXPECT_EQ(r.position->lat, 0.3);
    EXPECT_EQ(r.position->lon, 0.4);

    source.clearInput();
    EXPECT_FALSE(source.awaitPosition(100));
    CloseReceiverConnection();
    EXPECT_FALSE(source.linkOpen());
    EXPECT_EQ(queryTargetFromReceiver(source).status, "Receiver didn't reply with position");
}

} // namespace
} // namespace telvor::testing
