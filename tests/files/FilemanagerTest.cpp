// The file manager's download page against the simulated receiver: refresh, the download queue
// with a file that fails on the way, deletion with its question, and the settings it keeps.
#include "files/Filemanager.h"
#include "links/Portio.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "settings/Profile.h"
#include "sim/Receiver.h"
#include "support/Peers.h"
#include "support/Tempdir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <optional>

using namespace telvor;
using ::testing::Contains;

namespace {

class TPage : public TFileManagerView {
public:
    void setProgress(int) override {}
    void setStatus(const std::string& text) override { status = text; }
    void showBlocks(int) override {}
    void showRetries(int) override {}
    void enableStop(bool) override {}
    void setTotal(const std::string& text) override { total = text; }
    void setFree(const std::string& text) override { free = text; }
    void showRows() override { ++shown; }
    void enableControl(TFileControl c, bool on) override { enabled[c] = on; }
    void setDownloadCaption(const std::string& c) override { captions.push_back(c); }
    void focusList() override { focused = true; }
    bool askYesNo(const std::string& title, const std::string& text) override {
        questions.push_back(title + "|" + text);
        return yes;
    }
    TFileQuestions* fileQuestions() override { return nullptr; }
    void stopLogTimer() override {
        timer.push_back("stop");
        if (onStop)
            onStop();
    }
    void startLogTimer() override { timer.push_back("start"); }
    bool logPageShown() const override { return logShown; }
    void refreshLogPage() override { timer.push_back("log page"); }

    std::vector<std::string> timer;
    std::function<void()> onStop;
    bool logShown = false;
    std::string status, total, free;
    std::map<TFileControl, bool> enabled;
    std::vector<std::string> captions, questions;
    bool focused = false, yes = true;
    int shown = 0;
};

class FileManagerTest : public telvor::testing::TLinkFixture {
protected:
    void start(std::vector<telvorsim::TSeedFile> files) {
        telvorsim::TSimOptions o;
        o.epochWallMs = 600000;
        o.files = std::move(files);
        sim = std::make_unique<telvorsim::TSimReceiver>(o);
        const std::string slave = sim->startPty();
        ASSERT_FALSE(slave.empty());
        ASSERT_EQ(CreateReceiverConnection(slave, {}), "");
        profile = std::make_unique<TProfile>((tmp / "telvor.ini").string());
        profile->write(keys::LoadFileOutputPath, tmp.path.string());
        manager = std::make_unique<TFileManager>(page, *profile);
        manager->open();
    }
    void TearDown() override {
        manager.reset();
        CloseReceiverConnection();
        sim.reset();
        TLinkFixture::TearDown();
    }
    TFileEntry& row(const std::string& name) {
        for (TFileEntry& e : manager->entries())
            if (e.name == name)
                return e;
        throw std::runtime_error("no row " + name);
    }

    telvor::testing::TTempDir tmp{"telvor-filemanager"};
    std::unique_ptr<telvorsim::TSimReceiver> sim;
    std::unique_ptr<TProfile> profile;
    TPage page;
    std::unique_ptr<TFileManager> manager;
};

} // namespace

TEST_F(FileManagerTest, EmptyMemoryDisablesDownloadAndDelete) {
    start({});
    EXPECT_EQ(page.status, "File list is empty");
    EXPECT_FALSE(page.enabled[TFileControl::Download]);
    EXPECT_FALSE(page.enabled[TFileControl::Delete]);
    EXPECT_EQ(page.total, "Total memory: 33030144 bytes");
    EXPECT_EQ(page.free, "Free memory: 33030144 bytes");
    manager->downloadClick();
    EXPECT_EQ(page.status, "Select files to download");
    EXPECT_TRUE(page.focused);
}

TEST_F(FileManagerTest, QueueStopsAtTheFailedFileAndReselectsTheRest) {
    start({{"a", 1500, 1}, {"b", 900, 2}, {"c", 700, 3}});
    for (auto& e : manager->entries())
        e.selected = true;
    // The second file vanishes after the list was read.
    ASSERT_EQ(SendAndWait("%%remove,\"/log/b\"", 2000), TReply::RE);
    manager->downloadClick();
    EXPECT_EQ(row("a").state, 2);
    EXPECT_FALSE(row("a").selected);
    EXPECT_EQ(row("b").state, 1);
    EXPECT_TRUE(row("b").selected);
    EXPECT_EQ(row("c").state, 0);
    EXPECT_TRUE(row("c").selected);
    EXPECT_EQ(page.status, "Error query file size: File not found");
    EXPECT_EQ(tmp.read("a.vxr"), sim->file("a")->data);
    EXPECT_EQ(page.captions, (std::vector<std::string>{"&Stop", "&Download"}));
    EXPECT_TRUE(page.enabled[TFileControl::Exit]);
    EXPECT_FALSE(manager->queueRunning());
}

TEST_F(FileManagerTest, DeleteAsksOnceAndRefreshes) {
    start({{"a", 10, 1}, {"b", 20, 2}, {"c", 30, 3}});
    row("a").selected = row("c").selected = true;
    page.yes = false;
    manager->deleteClick();
    EXPECT_EQ(sim->fileNames().size(), 3u);
    page.yes = true;
    manager->deleteClick();
    EXPECT_THAT(page.questions,
                Contains("Deleting files from receiver|Do you really want to delete 2 files from "
                         "the receiver?"));
    EXPECT_EQ(sim->fileNames(), std::vector<std::string>{"b"});
    ASSERT_EQ(manager->entries().size(), 1u);
    EXPECT_TRUE(manager->entries()[0].selected); // a list of one selects it
}

TEST_F(FileManagerTest, SettingsKeptAtClose) {
    start({{"a", 10, 1}});
    manager->setBlockSizeIndex(2);
    manager->setExclusive(true);
    ASSERT_TRUE(manager->close());
    EXPECT_EQ(profile->read(keys::LoadFileBlockSize), 2);
    EXPECT_TRUE(profile->read(keys::LoadFileExclusiveMode));
    EXPECT_EQ(profile->read(keys::LoadFileOutputPath), tmp.path.string());
    EXPECT_EQ(manager->sources.at(0).rfind("Current port (", 0), 0u);
}

TEST_F(FileManagerTest, RefreshAndDeleteStopTheLogTimerBeforeTheirFirstCommand) {
    start({{"a", 10, 1}, {"b", 20, 2}});
    // Commands the receiver had at the first stop of each action.
    std::optional<std::size_t> sentAtStop;
    page.onStop = [&] {
        if (!sentAtStop)
            sentAtStop = sim->commands().size();
    };
    page.logShown = true;
    page.timer.clear();
    std::size_t before = sim->commands().size();
    sentAtStop.reset();
    manager->refresh(true);
    EXPECT_EQ(sentAtStop, before);
    EXPECT_EQ(page.timer, (std::vector<std::string>{"stop", "start"}));

    page.logShown = false;
    page.timer.clear();
    manager->refresh(true);
    EXPECT_EQ(page.timer, std::vector<std::string>{"stop"});

    row("a").selected = true;
    page.timer.clear();
    before = sim->commands().size();
    sentAtStop.reset();
    manager->deleteClick();
    EXPECT_EQ(sentAtStop, before);
    ASSERT_FALSE(page.timer.empty());
    EXPECT_EQ(page.timer.front(), "stop");
}

TEST_F(FileManagerTest, OnAnInternetClientLinkTheRefreshButtonAlsoRefreshesTheLogPage) {
    start({{"a", 10, 1}});
    commState().connectionMode = cmInternetClient;
    page.timer.clear();
    manager->refresh(false);
    manager->refresh(true);
    commState().connectionMode = cmDirect;
    EXPECT_EQ(page.timer, (std::vector<std::string>{"stop", "stop", "log page"}));
}

// "Replay" takes the selected file where it lies on the computer, else the one downloaded last.
TEST_F(FileManagerTest, ReplayOffersTheDownloadedFile) {
    start({{"a", 900, 1}, {"b", 700, 2}});
    EXPECT_FALSE(manager->replayClick());
    EXPECT_EQ(page.status, "Download the file first");
    EXPECT_TRUE(manager->replayPath().empty());

    row("a").selected = true;
    manager->downloadClick();
    ASSERT_EQ(row("a").state, 2);
    row("b").selected = true; // not on the computer
    ASSERT_TRUE(manager->replayClick());
    EXPECT_EQ(manager->replayPath(), (tmp / "a.vxr").string());

    // Downloaded in an earlier session.
    std::ofstream(tmp / "b.vxr") << "~~";
    ASSERT_TRUE(manager->replayClick());
    EXPECT_EQ(manager->replayPath(), (tmp / "b.vxr").string());
}
