// The parallel-port link against a simulated ECP port with telvor-sim's receiver behind it:
// negotiation and its failures, commands and monitoring through the port, the one-port limit,
// the idle input thread and the renegotiation after a failed write.
#include "links/Parallelconnection.h"
#include "links/Portio.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "protocol/Debugcore.h"
#include "protocol/Latestmsgs.h"
#include "support/Ecpbus.h"
#include "support/Eventually.h"
#include "support/Peers.h"
#include "support/Tempdir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace telvor::testing {
namespace {

telvorsim::TSimOptions fastOptions() {
    telvorsim::TSimOptions o;
    o.epochWallMs = 100;
    return o;
}

bool debugShows(const std::string& text) {
    auto lines = debugCore().lines();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

class ParallelLink : public TLinkFixture {
protected:
    void SetUp() override {
        TLinkFixture::SetUp();
        SetLatencyAllowance(0);
        debugCore().setVisible(true);
        debugCore().clear();
    }
    void TearDown() override {
        CloseReceiverConnection();
        bus_.reset();
        debugCore().setVisible(false);
        TLinkFixture::TearDown();
    }
    // The bus outlives every link opened on it; a new one replaces the last.
    TSimParallelBus& makeBus(telvorsim::TSimOptions options = {}) {
        bus_.reset();
        bus_ = std::make_unique<TSimParallelBus>(std::move(options));
        return *bus_;
    }
    TParallelConnection* link() { return dynamic_cast<TParallelConnection*>(CurrentConnection); }

    std::unique_ptr<TSimParallelBus> bus_;
};

TEST_F(ParallelLink, CommandsAndMonitoringThroughTheNegotiatedPort) {
    auto& bus = makeBus(fastOptions());
    ASSERT_EQ(CreateReceiverConnection("LPT1", {}), "");
    ASSERT_NE(link(), nullptr);
    EXPECT_EQ(CurrentConnection->Kind, kLinkParallel);
    EXPECT_TRUE(bus.claimed);
    EXPECT_EQ(link()->Port()->FifoSize(), 16);
    EXPECT_EQ(bus.port.negotiations(), 1);
    // The greeting goes out first and its answer, if any, is drained.
    EXPECT_EQ(bus.port.forwarded().substr(0, 4), "###\n");
    EXPECT_TRUE(debugShows("LPT: ECP mode negotiated"));

    CurrentConnection->SetEventMask(kEventData | kEventError);
    EXPECT_EQ(PrintParameter("/par/rcv/model", "<unknown>", 2000), "VORNA");
    EXPECT_EQ(SendAndWait("%%set,/par/out/elm/cur/term,-90", 2000), TReply::RE);
    EXPECT_EQ(bus.receiver.param("/par/out/elm/dev/ser/a"), "-90");

    SetInputMode(TInputMode::Monitoring);
    ASSERT_TRUE(CurrentConnection->SendCommand("%%em,,vxr{/RT,/PG,/EE}"));
    EXPECT_TRUE(until([&] {
        std::lock_guard lock(commState().mainLock);
        return !latestMessages().Empty(TLatestMessages::RowOf('P', 'G'));
    }));
    SetInputMode(TInputMode::Idle);

    CloseReceiverConnection();
    EXPECT_FALSE(bus.port.inEcpMode()); // terminated on close
    EXPECT_FALSE(bus.claimed);
    EXPECT_TRUE(debugShows("LPT: ECP closed"));
}

TEST_F(ParallelLink, OnlyOnePortAtATime) {
    makeBus();
    ASSERT_EQ(CreateReceiverConnection("LPT1", {}), "");
    CurrentConnection->SetEventMask(kEventData);
    {
        TParallelPort second("LPT1");
        EXPECT_EQ(second.ErrorText(), "LPT: Port already in use");
        EXPECT_EQ(second.Write(reinterpret_cast<const std::uint8_t*>("x"), 1), 0);
    }
    // The refused one did not take the first one's place.
    EXPECT_EQ(PrintParameter("/par/rcv/model", "<unknown>", 2000), "VORNA");
    CloseReceiverConnection();
    TParallelPort again("LPT1");
    EXPECT_EQ(again.ErrorText(), "");
}

struct TOpenFailure {
    const char* name;
    void (*arrange)(TSimParallelBus&);
    const char* error;
};

TEST_F(ParallelLink, EachFailedStepNamesItself) {
    const TOpenFailure cases[] = {
        {"unlisted", [](TSimParallelBus& b) { b.listed = false; },
         "LPT: Base port address not detected"},
        {"claimed elsewhere", [](TSimParallelBus& b) { b.refuseClaim = true; },
         "LPT: Can't acquire port"},
        {"no port I/O", [](TSimParallelBus& b) { b.allowIo = false; },
         "LPT: Direct port access is impossible"},
        {"nothing there", [](TSimParallelBus& b) { b.port.setFaults({.noPort = true}); },
         "LPT: Parallel port not found"},
        {"16-bit word", [](TSimParallelBus& b) { b.port.setFaults({.wordBytes = 2}); },
         "LPT: Unsupported PWord size=2"},
        {"FIFO never full", [](TSimParallelBus& b) { b.port.setFaults({.fifoNeverFills = true}); },
         "LPT: Can't detect FIFO size"},
        {"no acknowledgement",
         [](TSimParallelBus& b) { b.port.setFaults({.noNegotiationAck = true}); },
         "LPT: Can't enter IEEE-1284 mode"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto& bus = makeBus();
        c.arrange(bus);
        EXPECT_EQ(CreateReceiverConnection("LPT1", {}), c.error);
        ASSERT_NE(link(), nullptr);
        EXPECT_EQ(link()->Port(), nullptr);
        // Its thread runs anyway and closing still ends it; the port is free again.
        EXPECT_TRUE(CurrentConnection->ThreadStarted());
        CloseReceiverConnection();
        EXPECT_FALSE(bus.claimed);
    }
    // Without a driver to ask the port is used directly.
    auto& bus = makeBus();
    bus.driverLoaded = false;
    EXPECT_EQ(CreateReceiverConnection("LPT1", {}), "");
    EXPECT_TRUE(debugShows("Can't load /dev/parport0"));
}

TEST_F(ParallelLink, WithMaskZeroTheInputThreadLeavesThePortAlone) {
    auto& bus = makeBus();
    ASSERT_EQ(CreateReceiverConnection("LPT1", {}), "");
    ASSERT_EQ(CurrentConnection->EventMask.load(), 0u);
    const long before = bus.port.accesses();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(bus.port.accesses(), before);

    CurrentConnection->SetEventMask(kEventData);
    EXPECT_TRUE(eventually([&] { return bus.port.accesses() > before; }, 2000));
    link()->SetRawMode(true);
    EXPECT_EQ(CurrentConnection->EventMask.load(), 0u);
    link()->SetRawMode(false);
    EXPECT_EQ(CurrentConnection->EventMask.load(), kEventData);
}

TEST_F(ParallelLink, AFailedWriteRenegotiatesAndGoesThrough) {
    auto& bus = makeBus();
    ASSERT_EQ(CreateReceiverConnection("LPT1", {}), "");
    CurrentConnection->SetEventMask(kEventData | kEventError);
    telvorsim::TEcpFaults faults;
    faults.stallNextWrite = true;
    bus.port.setFaults(faults);
    EXPECT_EQ(PrintParameter("/par/rcv/model", "<unknown>", 3000), "VORNA");
    EXPECT_EQ(bus.port.negotiations(), 2);
    EXPECT_TRUE(debugShows("LPT reconnect success"));
    EXPECT_EQ(CurrentConnection->EventMask.load(), kEventData | kEventError);
    // The maintenance commands' reconnect renegotiates as well.
    EXPECT_TRUE(CurrentConnection->Reconnect(10));
    EXPECT_EQ(bus.port.negotiations(), 3);
}

TEST(ParallelPorts, KernelListKeepsStandardBasesInOrder) {
    TTempDir tmp("telvor-parport");
    auto port = [&](const std::string& dir, const std::string& text) {
        std::filesystem::create_directories(tmp.path / dir);
        std::ofstream(tmp.path / dir / "base-addr") << text;
    };
    port("parport1", "632\t1656\n");    // 0x278
    port("parport0", "888\t1912\n");    // 0x378
    port("parport2", "53264\t53248\n"); // a PCI card's base: not a standard one
    port("default", "888\n");
    auto ports = kernelParallelPorts(tmp.path.string());
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].name, "LPT1");
    EXPECT_EQ(ports[0].base, 0x378);
    EXPECT_EQ(ports[0].device, "/dev/parport0");
    EXPECT_EQ(ports[1].name, "LPT2");
    EXPECT_EQ(ports[1].base, 0x278);
    EXPECT_TRUE(kernelParallelPorts((tmp.path / "none").string()).empty());
}

} // namespace
} // namespace telvor::testing
