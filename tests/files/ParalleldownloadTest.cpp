// Downloads through a parallel port: the parallel link's raw mode, a separate port beside the
// current link, and download via print, against simulated ECP ports with telvor-sim behind.
#include "files/Filemanager.h"
#include "files/Transferprotocol.h"
#include "links/Parallelconnection.h"
#include "links/Portio.h"
#include "protocol/Commtools.h"
#include "settings/Profile.h"
#include "support/Ecpbus.h"
#include "support/Peers.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>

using namespace telvor;

namespace {

class TStatusView : public TTransferView {
public:
    void setProgress(int) override {}
    void setStatus(const std::string& text) override { statuses.push_back(text); }
    void showBlocks(int) override {}
    void showRetries(int) override {}
    void enableStop(bool) override {}
    std::vector<std::string> statuses;
};

telvorsim::TSimOptions withFile(std::size_t size, std::uint64_t seed = 5) {
    telvorsim::TSimOptions o;
    o.epochWallMs = 600000;
    o.files = {{"obs one", size, seed}};
    return o;
}

class TManagerPage : public TFileManagerView {
public:
    void setProgress(int) override {}
    void setStatus(const std::string& text) override { status = text; }
    void showBlocks(int) override {}
    void showRetries(int) override {}
    void enableStop(bool) override {}
    void setTotal(const std::string&) override {}
    void setFree(const std::string&) override {}
    void showRows() override {}
    void enableControl(TFileControl c, bool on) override { enabled[c] = on; }
    void setDownloadCaption(const std::string&) override {}
    void focusList() override {}
    bool askYesNo(const std::string&, const std::string&) override { return true; }
    TFileQuestions* fileQuestions() override { return nullptr; }
    std::string status;
    std::map<TFileControl, bool> enabled;
};

class ParallelDownload : public telvor::testing::TLinkFixture {
protected:
    void SetUp() override {
        TLinkFixture::SetUp();
        SetLatencyAllowance(0);
        profile = std::make_unique<TProfile>((tmp / "telvor.ini").string());
        transfer = std::make_unique<TTransferProtocol>(view, *profile);
    }
    void TearDown() override {
        transfer.reset();
        CloseReceiverConnection();
        if (sim)
            sim->stop();
        bus.reset();
        TLinkFixture::TearDown();
    }
    void overParallelLink(std::size_t size) {
        bus = std::make_unique<telvor::testing::TSimParallelBus>(withFile(size));
        ASSERT_EQ(CreateReceiverConnection("LPT1", {}), "");
        CurrentConnection->SetEventMask(kEventData | kEventError);
    }
    // The current link on a pty, and a second receiver with the same memory on "LPT1".
    void besideSerialLink(std::size_t linkSize, std::size_t portSize) {
        sim = std::make_unique<telvorsim::TSimReceiver>(withFile(linkSize));
        const std::string slave = sim->startPty();
        ASSERT_FALSE(slave.empty()) << sim->lastError();
        ASSERT_EQ(CreateReceiverConnection(slave, {}), "");
        bus = std::make_unique<telvor::testing::TSimParallelBus>(withFile(portSize));
        transfer->SetPortName("LPT1");
    }
    bool download(bool append = false) {
        FileAccess access((tmp / "obs.vxr").string(), false, true, append, nullptr);
        EXPECT_TRUE(access.isOpen()) << access.errorText;
        return transfer->Download(access, "obs one", true);
    }
    std::string original() { return bus->receiver.file("obs one")->data; }
    bool portGot(const std::string& command) {
        auto all = bus->receiver.commands();
        return std::find(all.begin(), all.end(), command) != all.end();
    }
    std::string lastStatus() { return view.statuses.empty() ? "" : view.statuses.back(); }

    telvor::testing::TTempDir tmp{"telvor-lptdownload"};
    std::unique_ptr<telvor::testing::TSimParallelBus> bus;
    std::unique_ptr<telvorsim::TSimReceiver> sim;
    std::unique_ptr<TProfile> profile;
    TStatusView view;
    std::unique_ptr<TTransferProtocol> transfer;
};

TEST_F(ParallelDownload, ParallelLinkHandsItsPortToTheBlocksAndTakesItBack) {
    ASSERT_NO_FATAL_FAILURE(overParallelLink(20000));
    transfer->SetBlockSizeIndex(1);
    ASSERT_TRUE(download()) << transfer->errorText;
    EXPECT_EQ(tmp.read("obs.vxr"), original());
    EXPECT_TRUE(portGot("%%get,\"/log/obs one\":{300,1024},0"));
    auto* link = dynamic_cast<TParallelConnection*>(CurrentConnection);
    EXPECT_FALSE(link->RawMode());
    EXPECT_EQ(CurrentConnection->EventMask.load(), kEventData | kEventError);
    EXPECT_EQ(PrintParameter("/par/rcv/model", "<unknown>", 2000), "VORNA");
}

TEST_F(ParallelDownload, ViaPrintOverTheParallelLinkResumesAPartialCopy) {
    ASSERT_NO_FATAL_FAILURE(overParallelLink(5000));
    transfer->SetViaPrint(true);
    std::ofstream(tmp / "obs.vxr", std::ios::binary) << original().substr(0, 1200);
    ASSERT_TRUE(download(true)) << transfer->errorText;
    EXPECT_EQ(tmp.read("obs.vxr"), original());
    EXPECT_TRUE(portGot("print,\"/log/obs one\":{.05},1200"));
    EXPECT_EQ(PrintParameter("/par/rcv/model", "<unknown>", 2000), "VORNA");
}

TEST_F(ParallelDownload, SeparatePortCarriesTheBlocksAndIsClosedAfterwards) {
    ASSERT_NO_FATAL_FAILURE(besideSerialLink(9000, 9000));
    ASSERT_TRUE(download()) << transfer->errorText;
    EXPECT_EQ(tmp.read("obs.vxr"), original());
    // Size asked on the link, blocks asked in direct form on the port.
    EXPECT_TRUE(portGot("get,\"/log/obs one\":{300},0"));
    auto onLink = sim->commands();
    EXPECT_EQ(
        std::count_if(onLink.begin(), onLink.end(),
                      [](const std::string& c) { return c.find("get,") != std::string::npos; }),
        0);
    TParallelPort again("LPT1");
    EXPECT_EQ(again.ErrorText(), "");
}

TEST_F(ParallelDownload, ViaPrintThatStopsShortFailsAndKeepsWhatCame) {
    ASSERT_NO_FATAL_FAILURE(besideSerialLink(6000, 4000));
    transfer->SetViaPrint(true);
    EXPECT_FALSE(download());
    EXPECT_EQ(lastStatus(), "Only 4000 of 6000 bytes received");
    EXPECT_EQ(tmp.read("obs.vxr"), original());
    EXPECT_TRUE(portGot("print,\"/log/obs one\":{.05},0"));
}

TEST_F(ParallelDownload, SeparatePortThatCannotOpenSaysWhy) {
    ASSERT_NO_FATAL_FAILURE(besideSerialLink(3000, 3000));
    bus->listed = false;
    EXPECT_FALSE(download());
    EXPECT_EQ(lastStatus(), "LPT: Base port address not detected");
}

TEST_F(ParallelDownload, UseFastWriteByteOffReachesTheLinkAndTheSeparatePort) {
    bus = std::make_unique<telvor::testing::TSimParallelBus>(withFile(3000));
    TLinkSettings slow;
    slow.useFastWriteByte = false;
    ASSERT_EQ(CreateReceiverConnection("LPT1", slow), "");
    auto* link = dynamic_cast<TParallelConnection*>(CurrentConnection);
    ASSERT_TRUE(link && link->Port());
    EXPECT_FALSE(link->Port()->FastWriteByte());
    CloseReceiverConnection();
    ASSERT_EQ(CreateReceiverConnection("LPT1", {}), "");
    EXPECT_TRUE(dynamic_cast<TParallelConnection*>(CurrentConnection)->Port()->FastWriteByte());
    CloseReceiverConnection();
    bus.reset();

    ASSERT_NO_FATAL_FAILURE(besideSerialLink(3000, 3000));
    profile->write(keys::DownloadUseFastWriteByte, false);
    ASSERT_TRUE(download()) << transfer->errorText;
    EXPECT_FALSE(UseFastWriteByte.load());
    EXPECT_EQ(tmp.read("obs.vxr"), original());
    UseFastWriteByte = true;
}

TEST_F(ParallelDownload, FileManagerOffersThePortAndRemembersItAsSource) {
    ASSERT_NO_FATAL_FAILURE(besideSerialLink(7000, 7000));
    profile->write(keys::LoadFileOutputPath, tmp.path.string());
    profile->write(keys::LoadFileSourcePort, 1);
    TManagerPage page;
    {
        TFileManager manager(page, *profile);
        manager.open();
        ASSERT_EQ(manager.sources.size(), 2u);
        EXPECT_EQ(manager.sources[1], "LPT1");
        EXPECT_EQ(manager.sourceIndex, 1);
        EXPECT_TRUE(page.enabled[TFileControl::Source]);
        ASSERT_EQ(manager.entries().size(), 1u);
        manager.select(0, true);
        manager.downloadClick();
        EXPECT_EQ(manager.entries()[0].state, 2) << page.status;
        EXPECT_TRUE(portGot("get,\"/log/obs one\":{300},0"));
        EXPECT_TRUE(manager.close());
    }
    EXPECT_EQ(tmp.read("obs one.vxr"), original());
    EXPECT_TRUE(profile->read(keys::LoadFileDoubleCheck));
    // A port that went away since: back to the current link.
    bus->listed = false;
    TFileManager again(page, *profile);
    again.open();
    EXPECT_EQ(again.sources.size(), 1u);
    EXPECT_EQ(again.sourceIndex, 0);
}

} // namespace
