// Downloads from the simulated receiver over a pty: the transfer commands, resume, the answers
// to damaged, lost, repeated and misnumbered blocks, and the files compared byte for byte.
#include "files/Transferprotocol.h"
#include "links/Portio.h"
#include "protocol/Commtools.h"
#include "protocol/Crc16.h"
#include "settings/Profile.h"
#include "sim/Receiver.h"
#include "support/Peers.h"
#include "support/Tempdir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

using namespace telvor;
using ::testing::Contains;
using ::testing::HasSubstr;

namespace {

class TRecorder : public TTransferView {
public:
    void setProgress(int percent) override { progress.push_back(percent); }
    void setStatus(const std::string& text) override {
        statuses.push_back(text);
        if (onStatus)
            onStatus(text);
    }
    void showBlocks(int value) override { blocks = value; }
    void showRetries(int count) override { retries = count; }
    void enableStop(bool on) override { stop = on; }
    std::vector<int> progress;
    std::vector<std::string> statuses;
    std::function<void(const std::string&)> onStatus;
    int blocks = -2, retries = -1;
    bool stop = false;
};

class TransferTest : public telvor::testing::TLinkFixture {
protected:
    void start(telvorsim::TSimOptions options) {
        options.epochWallMs = 600000;
        sim = std::make_unique<telvorsim::TSimReceiver>(options);
        const std::string slave = sim->startPty();
        ASSERT_FALSE(slave.empty()) << sim->lastError();
        SetLatencyAllowance(0);
        ASSERT_EQ(CreateReceiverConnection(slave, {}), "");
        profile = std::make_unique<TProfile>((tmp / "telvor.ini").string());
        transfer = std::make_unique<TTransferProtocol>(view, *profile);
    }
    void TearDown() override {
        CloseReceiverConnection();
        if (sim)
            sim->stop();
        TLinkFixture::TearDown();
    }
    static telvorsim::TSimOptions oneFile(std::size_t size, std::uint64_t seed = 3) {
        telvorsim::TSimOptions o;
        o.files = {{"obs one", size, seed}};
        return o;
    }
    bool download(bool append = false) {
        FileAccess access((tmp / "obs.vxr").string(), false, true, append, nullptr);
        EXPECT_TRUE(access.isOpen()) << access.errorText;
        return transfer->Download(access, "obs one", false);
    }
    std::string target() { return tmp.read("obs.vxr"); }
    std::string original() { return sim->file("obs one")->data; }
    bool sent(const std::string& command) {
        auto all = sim->commands();
        return std::find(all.begin(), all.end(), command) != all.end();
    }

    telvor::testing::TTempDir tmp{"telvor-transfer"};
    std::unique_ptr<telvorsim::TSimReceiver> sim;
    std::unique_ptr<TProfile> profile;
    TRecorder view;
    std::unique_ptr<TTransferProtocol> transfer;
};

} // namespace

TEST_F(TransferTest, ShortFormWholeFileWithFinalByteCount) {
    start(oneFile(3000));
    ASSERT_TRUE(download()) << transfer->errorText;
    EXPECT_TRUE(sent("%%get,\"/log/obs one\":{300},0"));
    EXPECT_EQ(target(), original());
    EXPECT_EQ(transfer->blockCount, 6); // 5 x 512 + a final block of 440
    EXPECT_THAT(view.statuses, Contains(" Waiting for the 1st block ..."));
    EXPECT_THAT(view.statuses.back(), HasSubstr(" KBps"));
    EXPECT_EQ(view.progress.back(), 100);
    EXPECT_FALSE(view.stop);
    // The dialogue is back in step.
    EXPECT_EQ(SendAndWait("%%print,/par/dev/blk/a/files", 2000), TReply::RE);
}

TEST_F(TransferTest, LongFormResumesFromThePartialTarget) {
    start(oneFile(5000));
    transfer->SetBlockSizeIndex(1);
    {
        std::ofstream part(tmp / "obs.vxr", std::ios::binary);
        part << original().substr(0, 1234);
    }
    ASSERT_TRUE(download(true)) << transfer->errorText;
    EXPECT_TRUE(sent("%%get,\"/log/obs one\":{300,1024},1234"));
    EXPECT_EQ(view.progress.at(1), 1234 * 100 / 5000);
    EXPECT_EQ(target(), original());
}

TEST_F(TransferTest, NothingToDownloadCountsAsDone) {
    start(oneFile(700));
    {
        std::ofstream whole(tmp / "obs.vxr", std::ios::binary);
        whole << original();
    }
    EXPECT_TRUE(download(true));
    EXPECT_EQ(view.statuses.back(), "Nothing to download for obs one");
    for (const auto& c : sim->commands())
        EXPECT_THAT(c, ::testing::Not(HasSubstr("get,")));
}

TEST_F(TransferTest, DamagedBlockIsAskedAgainWithTheCrcText) {
    auto o = oneFile(2000);
    o.faults.transfer.damageBlock = 2;
    start(o);
    bool retried = false;
    view.onStatus = [&](const std::string&) { retried = retried || view.retries == 1; };
    ASSERT_TRUE(download()) << transfer->errorText;
    EXPECT_EQ(target(), original());
    EXPECT_TRUE(retried);
    // The computed value comes first: the damaged block continued from the CRC the second
    // block left, against the receiver's value for the block as it should be.
    const std::string file = original();
    auto blockCrc = [&](std::uint16_t running, int n, char firstByteFlip) {
        std::string b{'\x02', static_cast<char>(n), '\0'};
        b += file.substr(static_cast<std::size_t>(n) * 512, 512);
        b[3] = static_cast<char>(b[3] ^ firstByteFlip);
        return crc16(running, b.data(), b.size());
    };
    const std::uint16_t afterTwo = blockCrc(blockCrc(0, 0, 0), 1, 0);
    char text[64];
    std::snprintf(text, sizeof text, "Last error: CRC error %04X <> %04X",
                  blockCrc(afterTwo, 2, 0x5A), blockCrc(afterTwo, 2, 0));
    EXPECT_THAT(view.statuses, Contains(std::string(text)));
    EXPECT_EQ(transfer->retryCount, 1);
}

TEST_F(TransferTest, ReceiverRestartingTheCrcFailsFromTheSecondBlock) {
    auto o = oneFile(3000);
    o.faults.transfer.crcPerBlock = true;
    start(o);
    view.onStatus = [&](const std::string&) {
        if (view.retries >= 3)
            transfer->RequestAbort();
    };
    EXPECT_FALSE(download());
    EXPECT_EQ(transfer->blockCount, 1);
    EXPECT_EQ(view.statuses.back(), "Aborted by user!");
    EXPECT_EQ(target(), original().substr(0, 512));
    EXPECT_EQ(SendAndWait("%%print,/par/dev/blk/a/files", 2000), TReply::RE);
}

TEST_F(TransferTest, ErrorBlockEndsTheDownloadWithTheReceiversText) {
    auto o = oneFile(3000);
    o.faults.transfer.errorBlock = 1;
    o.faults.transfer.errorText = "Flash read failed";
    start(o);
    EXPECT_FALSE(download());
    EXPECT_EQ(transfer->errorText, "Flash read failed");
    EXPECT_EQ(view.statuses.back(), "Flash read failed");
    EXPECT_EQ(target(), original().substr(0, 512));
}

TEST_F(TransferTest, LostRepeatedAndMisnumberedBlocksAndASilentStart) {
    auto o = oneFile(4000);
    o.faults.transfer.silentNaks = 1;
    o.faults.transfer.loseBlock = 2;
    o.faults.transfer.repeatBlock = 3;
    o.faults.transfer.jumpBlock = 5;
    start(o);
    ASSERT_TRUE(download()) << transfer->errorText;
    EXPECT_EQ(target(), original());
    EXPECT_THAT(view.statuses, Contains("Last warning: Waiting for the 1st block"));
    EXPECT_THAT(view.statuses, Contains("Last error: Timeout"));
    EXPECT_THAT(view.statuses, Contains("Last warning: Repeated block skipped"));
    EXPECT_THAT(view.statuses, Contains("Last error: Block number error"));
}

TEST_F(TransferTest, GivingUpAfterTheReceiverDroppedTheTransferIsAnsweredAtOnce) {
    auto o = oneFile(20000);
    // The line dies in the block phase and takes the receiver's transfer with it: the NAKs
    // that follow and the cancel reach a receiver back in command mode.
    o.faults.lineDownAfterBytes = 3000;
    o.faults.lineDownMs = 100;
    start(o);
    std::chrono::steady_clock::time_point gaveUp;
    view.onStatus = [&](const std::string& text) {
        if (text == "Last error: Timeout")
            transfer->RequestAbort();
        if (text == "Aborted by user!")
            gaveUp = std::chrono::steady_clock::now();
    };
    ASSERT_FALSE(download());
    const auto recoveryMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - gaveUp)
                                .count();
    std::printf("failed attempt recovered in %lld ms\n", static_cast<long long>(recoveryMs));
    // The "%%" after the cancel is a command of its own, not the rest of a comment line.
    const auto commands = sim->commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.back(), "%%");
    view.onStatus = nullptr;
    ASSERT_TRUE(download(true)) << transfer->errorText;
    EXPECT_EQ(target(), original());
}

TEST_F(TransferTest, ALineCutDuringTheSizeReplyCostsOneAttemptOnly) {
    auto o = oneFile(3000);
    o.verbose = std::getenv("TELVOR_SIM_LOG") != nullptr;
    o.log = [](const std::string& line) { std::printf("sim: %s\n", line.c_str()); };
    start(o);
    telvorsim::TFaults cut;
    cut.lineDownAfterBytes = 25; // past the first two replies, inside the size reply
    cut.lineDownMs = 200;
    sim->setFaults(cut);
    EXPECT_FALSE(download());
    EXPECT_EQ(view.statuses.back(), "Error query file size");
    sim->setFaults({});
    int waits = 0;
    view.onStatus = [&](const std::string& text) {
        if (text.starts_with("Last ") && ++waits > 5)
            transfer->RequestAbort();
    };
    ASSERT_TRUE(download(true)) << transfer->errorText;
    EXPECT_EQ(target(), original());
}

TEST_F(TransferTest, MissingFileFailsAtTheSizeQuery) {
    start(oneFile(100));
    FileAccess access((tmp / "x.vxr").string(), false, true, false, nullptr);
    EXPECT_FALSE(transfer->Download(access, "nope", false));
    EXPECT_EQ(view.statuses.back(), "Error query file size: File not found");
}

TEST_F(TransferTest, TargetThatCannotTakeTheLastBytesFails) {
    start(oneFile(3000));
    FileAccess full("/dev/full", true, true, false, nullptr);
    ASSERT_TRUE(full.isOpen());
    // 3000 bytes never fill the write buffer: only the flush at the end finds the disk full.
    EXPECT_FALSE(transfer->Download(full, "obs one", false));
    EXPECT_FALSE(transfer->errorText.empty());
    EXPECT_EQ(SendAndWait("%%print,/par/dev/blk/a/files", 2000), TReply::RE);
}
