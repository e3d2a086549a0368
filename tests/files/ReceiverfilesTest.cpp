// The rules of the receiver's files that the File Manager and telvor-cli share, against the
// simulated receiver: which links are fast, the low-power wake around a download queue, the
// second consent for the file being recorded, and what a failed download leaves behind.
#include "files/Receiverfiles.h"

#include "links/Portio.h"
#include "settings/Profile.h"
#include "sim/Receiver.h"
#include "support/Peers.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace telvor;

namespace {

class TQuietView : public TTransferView {
public:
    void setProgress(int) override {}
    void setStatus(const std::string& text) override { status = text; }
    void showBlocks(int) override {}
    void showRetries(int) override {}
    void enableStop(bool) override {}
    std::string status;
};

class ReceiverFilesTest : public telvor::testing::TLinkFixture {
protected:
    void start(std::vector<telvorsim::TSeedFile> files) {
        telvorsim::TSimOptions o;
        o.epochWallMs = 600000;
        o.files = std::move(files);
        sim = std::make_unique<telvorsim::TSimReceiver>(o);
        const std::string slave = sim->startPty();
        ASSERT_FALSE(slave.empty());
        ASSERT_EQ(CreateReceiverConnection(slave, {}), "");
        SetInputMode(TInputMode::Idle);
    }
    void TearDown() override {
        CloseReceiverConnection();
        sim.reset();
        TLinkFixture::TearDown();
    }

    telvor::testing::TTempDir tmp{"telvor-receiverfiles"};
    std::unique_ptr<telvorsim::TSimReceiver> sim;
    TProfile profile{(tmp / "telvor.ini").string()};
    TQuietView view;
};

} // namespace

TEST_F(ReceiverFilesTest, EthernetParallelUsbAndSeparatePortsAreFastA115200LineIsNot) {
    start({});
    EXPECT_FALSE(isFastLink(false));
    EXPECT_TRUE(isFastLink(true));
    CloseReceiverConnection();
    telvor::testing::TListener listener;
    TLinkSettings ethernet;
    ethernet.ethrHost = "127.0.0.1";
    ethernet.ethrPort = std::to_string(listener.port());
    ASSERT_EQ(CreateReceiverConnection("ETHR", ethernet), "");
    EXPECT_TRUE(isFastLink(false));
    TTransferProtocol transfer(view, profile);
    EXPECT_TRUE(TDownloadQueue(transfer, false).fast());
}

TEST_F(ReceiverFilesTest, ALowPowerReceiverIsWokenForTheQueueAndPutBackAfterIt) {
    start({{"a", 700, 1}});
    ASSERT_EQ(SendAndWait("%%set,/par/lpm,on", 2000), TReply::RE);
    TTransferProtocol transfer(view, profile);
    TDownloadQueue queue(transfer, false);
    queue.begin();
    EXPECT_EQ(sim->param("/par/lpm"), "off");
    const TFileDownload done = queue.download("a", (tmp / "a.vxr").string(), false, nullptr);
    EXPECT_TRUE(done.ok) << done.error;
    EXPECT_TRUE(done.transferred);
    queue.end();
    EXPECT_EQ(sim->param("/par/lpm"), "on");
    EXPECT_EQ(tmp.read("a.vxr"), sim->file("a")->data);
}

TEST_F(ReceiverFilesTest, AMissingFileLeavesNoTargetButAnExistingTargetStays) {
    start({{"a", 700, 1}});
    TTransferProtocol transfer(view, profile);
    TDownloadQueue queue(transfer, false);
    TFileDownload done = queue.download("nope", (tmp / "nope.vxr").string(), false, nullptr);
    EXPECT_FALSE(done.ok);
    EXPECT_TRUE(done.opened);
    EXPECT_FALSE(std::filesystem::exists(tmp / "nope.vxr"));

    std::ofstream(tmp / "kept.vxr") << "mine";
    done = queue.download("nope", (tmp / "kept.vxr").string(), true, nullptr);
    EXPECT_FALSE(done.ok);
    EXPECT_EQ(tmp.read("kept.vxr"), "mine");
}

TEST_F(ReceiverFilesTest, TheFileBeingRecordedGoesOnlyWithConsentAndTheFirstFailureStops) {
    start({{"a", 10, 1}, {"rec", 10, 2}, {"c", 10, 3}});
    std::string siteError;
    ASSERT_EQ(startRecording(
                  "rec", "1", true, profile, [](const std::string&) {}, siteError),
              "");
    EXPECT_EQ(currentLogFile().name, "rec");

    std::vector<std::string> asked;
    TRemoval removal = removeFiles({"a", "rec", "nope", "c"}, [&](const std::string& name) {
        asked.push_back(name);
        return false;
    });
    EXPECT_EQ(asked, std::vector<std::string>{"rec"});
    EXPECT_EQ(removal.kept, std::vector<std::string>{"rec"});
    EXPECT_EQ(removal.error, "Can't delete nope");
    EXPECT_EQ(sim->fileNames(), (std::vector<std::string>{"c", "rec"}));

    removal = removeFiles({"rec"}, [](const std::string&) { return true; });
    EXPECT_TRUE(removal.error.empty());
    EXPECT_TRUE(removal.kept.empty());
    EXPECT_EQ(sim->fileNames(), std::vector<std::string>{"c"});
}
