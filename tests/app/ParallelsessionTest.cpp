// A whole session over the parallel-port link: the receiver found, monitored, paused for
// another window and let go, with a simulated ECP port and telvor-sim behind it.
#include "app/Ports.h"
#include "protocol/Commstate.h"
#include "protocol/Latestmsgs.h"
#include "support/Ecpbus.h"
#include "support/Eventually.h"
#include "support/Simsession.h"

using namespace telvor;
using telvor::testing::eventually;

namespace {

class ParallelSession : public telvor::testing::TSimSessionFixture {
protected:
    void SetUp() override {
        TSimSessionFixture::SetUp();
        telvorsim::TSimOptions o;
        o.epochWallMs = 200;
        bus = std::make_unique<telvor::testing::TSimParallelBus>(o);
        profile->write(keys::CommPort, std::string("LPT1"));
    }
    void TearDown() override {
        TSimSessionFixture::TearDown();
        bus.reset();
    }
    bool monitored(char a, char b) {
        std::lock_guard lock(commState().mainLock);
        return !latestMessages().Empty(TLatestMessages::RowOf(a, b));
    }
    std::unique_ptr<telvor::testing::TSimParallelBus> bus;
};

TEST_F(ParallelSession, FoundMonitoredPausedAndLetGo) {
    ASSERT_TRUE(session->connect()) << session->lastError();
    ASSERT_NE(CurrentConnection, nullptr);
    EXPECT_EQ(CurrentConnection->Kind, kLinkParallel);
    EXPECT_EQ(commState().inputMode.load(), TInputMode::Monitoring);
    EXPECT_TRUE(eventually([&] { return !bus->receiver.enabledMessages().empty(); }));
    EXPECT_TRUE(eventually([&] { return monitored('P', 'G'); }));

    EXPECT_EQ(session->pauseMonitoring(), "");
    EXPECT_TRUE(bus->receiver.enabledMessages().empty());
    EXPECT_EQ(session->resumeMonitoring(), "");
    EXPECT_FALSE(bus->receiver.enabledMessages().empty());

    session->disconnect();
    EXPECT_EQ(CurrentConnection, nullptr);
    EXPECT_FALSE(bus->port.inEcpMode());
    EXPECT_TRUE(bus->receiver.enabledMessages().empty());
}

TEST(ParallelPortList, KernelPortsFollowTheSerialOnesWithTheirBase) {
    auto lpt = [](const std::vector<TPortEntry>& ports) {
        std::vector<std::string> labels;
        for (const auto& p : ports)
            if (p.name.rfind("LPT", 0) == 0)
                labels.push_back(p.label);
        return labels;
    };
    {
        telvor::testing::TSimParallelBus bus;
        EXPECT_EQ(lpt(dialogPorts()), std::vector<std::string>{"LPT1  378h"});
        const auto ports = dialogPorts();
        const int at = findPort(ports, "LPT1");
        ASSERT_GE(at, 0);
        EXPECT_EQ(ports[std::size_t(at)].name, "LPT1");
    }
    // This machine's kernel knows no parallel port: nothing is offered, nothing touched.
    if (kernelParallelPorts("/proc/sys/dev/parport").empty()) {
        EXPECT_TRUE(lpt(dialogPorts()).empty());
        EXPECT_FALSE(parallelBus().rawAccess());
    }
}

} // namespace
