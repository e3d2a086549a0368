// Initialising the receiver's file system against telvor-sim: the start and its refusal, the
// progress texts, Exit during the wait, the report and its saved file.
#include "files/Fsinit.h"
#include "support/Simsession.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

using namespace telvor;

namespace {

class TRecordingView : public TFsInitView {
public:
    void showStartControls(bool visible) override { startShown = visible; }
    void setWarning(const std::string& text) override { warning = text; }
    void setWaitText(const std::string& text) override { waitText = text; }
    void showOk(bool, const std::string& caption, bool) override { okCaption = caption; }
    void setProgress(int total, int position) override {
        progress.push_back(total < 0 ? "??? of ???"
                                     : std::to_string(position) + " of " + std::to_string(total));
    }
    void fillProgress() override { filled = true; }
    void showReportArea() override { reportShown = true; }
    void setReport(const std::vector<std::string>& lines) override { report = lines; }
    void setStatus(const std::string& text) override { status = text; }
    void wait(int) override {
        if (onWait)
            onWait();
    }

    bool startShown = true, filled = false, reportShown = false;
    std::string warning, waitText, okCaption, status;
    std::vector<std::string> progress, report;
    std::function<void()> onWait;
};

class FsInitTest : public telvor::testing::TSimSessionFixture {
protected:
    FsInitTest() : TSimSessionFixture("telvor-fsinit") {}
    void connectWith(const std::string& refuse = "") {
        telvorsim::TSimOptions o;
        o.files = {{"a", 5000, 1}, {"b", 100, 2}};
        o.faults.refuse = refuse;
        ASSERT_NO_FATAL_FAILURE(connectPaused(o));
    }
    TRecordingView view;
    TFsInit init{view};
};

TEST(FsInitProgress, ReadsTwoItemListsOnly) {
    int total = 0, position = 0;
    ASSERT_TRUE(parseFsInitProgress("{250,250}", total, position));
    EXPECT_EQ(total, 250);
    EXPECT_EQ(position, 250);
    ASSERT_TRUE(parseFsInitProgress("{x, 7}", total, position));
    EXPECT_EQ(total, 100); // not a number: the whole bar
    EXPECT_EQ(position, 7);
    ASSERT_TRUE(parseFsInitProgress("{3,}", total, position));
    EXPECT_EQ(position, 0);
    for (const char* bad : {"{1,2,3}", "{5}", "250,250", "{", "", "{{1,2}}"})
        EXPECT_FALSE(parseFsInitProgress(bad, total, position)) << bad;
}

TEST_F(FsInitTest, ErasesFollowsTheProgressAndReports) {
    ASSERT_NO_FATAL_FAILURE(connectWith());
    init.setPollPause(0);
    ASSERT_TRUE(init.start());
    EXPECT_FALSE(sim->file("a") || sim->file("b"));
    EXPECT_FALSE(view.startShown);
    ASSERT_GE(view.progress.size(), 3u);
    EXPECT_EQ(view.progress.back(), "250 of 250");
    EXPECT_EQ(view.okCaption, "OK");
    EXPECT_TRUE(view.filled);
    EXPECT_EQ(view.waitText, "Finished! Query file system information.");
    EXPECT_TRUE(view.reportShown);
    EXPECT_EQ(view.status, "Ready!");
    ASSERT_EQ(view.report.size(), 12u);
    EXPECT_EQ(view.report[0], "----------- File System Information -----------");
    EXPECT_EQ(view.report[2], "Block size:\t2048 bytes");
    EXPECT_EQ(view.report[4], "Total memory:\t33030144 bytes");
    EXPECT_EQ(view.report[5], "Free  memory:\t33030144 bytes"); // nothing left in use
    EXPECT_EQ(view.report[11], "Physical memory:\t33030144 bytes");
    EXPECT_TRUE(init.finished());
}

TEST_F(FsInitTest, RefusalLeavesTheFilesAndExplains) {
    ASSERT_NO_FATAL_FAILURE(connectWith("^init,/dev/blk/a"));
    EXPECT_FALSE(init.start());
    EXPECT_EQ(view.warning, "Receiver refused to start.\nPress OK to exit.");
    EXPECT_EQ(view.waitText, "");
    EXPECT_TRUE(view.progress.empty());
    EXPECT_TRUE(sim->file("a") && sim->file("b"));
    EXPECT_TRUE(init.canClose());
}

TEST_F(FsInitTest, ExitDuringTheWaitSkipsTheReport) {
    ASSERT_NO_FATAL_FAILURE(connectWith());
    int waits = 0;
    view.onWait = [&] {
        if (++waits == 2)
            init.okPressed();
    };
    ASSERT_TRUE(init.start());
    EXPECT_EQ(view.progress.size(), 2u); // the "??? of ???" at the start, one reading
    EXPECT_FALSE(view.reportShown);
    EXPECT_TRUE(view.report.empty());
    EXPECT_TRUE(init.finished());
}

TEST_F(FsInitTest, SavedReportHasTheStatistics) {
    ASSERT_NO_FATAL_FAILURE(connectWith());
    const auto path = (dir / "fs.txt").string();
    ASSERT_TRUE(init.save(path, "Created by Telvor  \n"));
    EXPECT_EQ(view.status, "Saved to " + path);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    EXPECT_EQ(s.rfind("Created by Telvor  \n===================== File System Information", 0), 0u);
    EXPECT_NE(s.find("Block size:             2048\n"), std::string::npos) << s;
    EXPECT_NE(s.find("Physical memory:        33030144\n\n"), std::string::npos) << s;
    EXPECT_NE(s.find("Reading number:         0\nReading errors:         0\n"
                     "Reading fatal errors:   0\nWriting number:         0\n"),
              std::string::npos)
        << s;
    EXPECT_FALSE(init.save((dir / "no" / "such" / "x.txt").string(), ""));
    EXPECT_EQ(view.status, "Unable to create " + (dir / "no" / "such" / "x.txt").string());
}

} // namespace
