// The "Current log file" page against the simulated receiver: recording starts into a new
// receiver file that grows, stops growing after Stop; refused names, the overwrite question
// and an interval the receiver cannot deliver.
#include "files/Recording.h"

#include "config/Recinterval.h"
#include "files/Receiverlist.h"
#include "links/Portio.h"
#include "settings/Profile.h"
#include "sim/Receiver.h"
#include "support/Peers.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace telvor;

namespace {

class TPage : public TLogPageView {
public:
    void setStatus(const std::string& text) override { status = text; }
    void setFree(const std::string& text) override { free = text; }
    void setTimer(bool on) override { timer = on; }
    bool logPageShown() const override { return true; }
    bool askYesNo(const std::string& title, const std::string& text) override {
        questions.push_back(title + "|" + text);
        return yes;
    }
    void refreshList() override { list.Fill(); }
    std::vector<TFileEntry>& entries() override { return list.entries; }
    void showRows() override {}
    void enableDelete(bool on) override { deleteEnabled = on; }

    TFileListView list;
    std::string status, free;
    std::vector<std::string> questions;
    bool timer = false, yes = true, deleteEnabled = true;
};

class RecordingTest : public telvor::testing::TLinkFixture {
protected:
    void start(std::vector<telvorsim::TSeedFile> files = {}) {
        telvorsim::TSimOptions o;
        o.epochWallMs = 20; // a receiver second every 20 ms
        o.files = std::move(files);
        sim = std::make_unique<telvorsim::TSimReceiver>(o);
        const std::string slave = sim->startPty();
        ASSERT_FALSE(slave.empty());
        ASSERT_EQ(CreateReceiverConnection(slave, {}), "");
        profile = std::make_unique<TProfile>((tmp.path / "telvor.ini").string());
        control = std::make_unique<TRecordingControl>(page, *profile, interval);
        page.refreshList();
        control->enter();
    }
    void TearDown() override {
        SetRecIntWizardHook(nullptr);
        control.reset();
        CloseReceiverConnection();
        sim.reset();
        TLinkFixture::TearDown();
    }
    bool sent(const std::string& command) const {
        auto all = sim->commands();
        return std::any_of(all.begin(), all.end(), [&](const std::string& c) {
            return c.find(command) != std::string::npos;
        });
    }
    std::size_t size(const std::string& name) const {
        auto f = sim->file(name);
        return f ? f->data.size() : 0;
    }

    telvor::testing::TTempDir tmp{"telvor-recording"};
    std::unique_ptr<telvorsim::TSimReceiver> sim;
    std::unique_ptr<TProfile> profile;
    std::string interval = "1";
    TPage page;
    std::unique_ptr<TRecordingControl> control;
};

TEST(RecordingTexts, RefusedNamesAndSizes) {
    EXPECT_EQ(CheckRecordingName(""), "Type in or choose a file name");
    EXPECT_EQ(CheckRecordingName("day one"), "");
    for (const char* bad : {"a,b", "a{b", "a/b", "a\\b", "a\"b", "a*", "a|b", "a<b", "x\tb"})
        EXPECT_EQ(CheckRecordingName(bad), "File name contains not allowed characters") << bad;
    EXPECT_EQ(CheckRecordingName("caf\xc3\xa9"), "File name contains not allowed characters");
    EXPECT_EQ(SizeText(1000000), "Size: 977K");
    EXPECT_EQ(SizeText(999999), "Size: 999999");
}

TEST_F(RecordingTest, StartRecordsIntoANewFileThatStopsGrowingAfterStop) {
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_EQ(control->CurrentFileLabel.text(), "<none>");
    EXPECT_EQ(control->ElevationMaskEdit.text(), "5");
    EXPECT_TRUE(control->StartButton.enabled());
    EXPECT_FALSE(control->ButtonStop.enabled());

    control->ElevationMaskEdit.setText("10");
    control->FileNameEdit.setText(" field day ");
    ASSERT_TRUE(control->start()) << page.status;
    EXPECT_EQ(page.status, "Data collection started");
    EXPECT_TRUE(sent("em,/cur/log,/msg/def:1.00"));
    EXPECT_TRUE(sent("event,\"_SIT=Site\""));
    EXPECT_EQ(sim->param("/par/out/elm/cur/log"), "10");
    EXPECT_EQ(interval, "1.00");
    EXPECT_EQ(control->CurrentFileLabel.text(), "field day");
    EXPECT_TRUE(control->recording());
    EXPECT_FALSE(control->StartButton.enabled());
    EXPECT_FALSE(control->FileNameEdit.enabled());
    EXPECT_TRUE(page.timer);

    ASSERT_TRUE(until([&] { return size("field day") > 3000; }));
    control->refresh(true);
    EXPECT_NE(control->CurrentSizeLabel.text(), "Size: 0");
    auto row = std::find_if(page.entries().begin(), page.entries().end(),
                            [](const TFileEntry& e) { return e.name == "field day"; });
    ASSERT_NE(row, page.entries().end());
    EXPECT_GT(std::stoul(row->size), 0u);

    ASSERT_TRUE(control->stop());
    EXPECT_EQ(page.status, "Data collection stopped");
    EXPECT_EQ(control->CurrentFileLabel.text(), "<none>");
    EXPECT_FALSE(control->recording());
    const std::size_t stopped = size("field day");
    until([] { return false; }, 200);
    EXPECT_EQ(size("field day"), stopped);
}

TEST_F(RecordingTest, RefusedNameSendsNoFileCommand) {
    ASSERT_NO_FATAL_FAILURE(start());
    control->FileNameEdit.setText("a,b");
    EXPECT_FALSE(control->start());
    EXPECT_EQ(page.status, "File name contains not allowed characters");
    EXPECT_FALSE(sent("create"));
    EXPECT_FALSE(sent("em,/cur/log"));
    control->RecordingIntervalEdit.setText("1,5");
    EXPECT_FALSE(control->start());
    EXPECT_EQ(page.status, "Invalid recording interval");
}

TEST_F(RecordingTest, ExistingFileIsOverwrittenOnlyAfterYes) {
    ASSERT_NO_FATAL_FAILURE(start({{"old", 100, 1}}));
    control->FileNameEdit.setText("old");
    page.yes = false;
    EXPECT_FALSE(control->start());
    EXPECT_EQ(page.status, "File already exists");
    ASSERT_EQ(page.questions.size(), 1u);
    EXPECT_EQ(page.questions[0],
              "Telvor|The file\nold\nalready exists inside the receiver.\nDo you wish to "
              "overwrite it?");
    EXPECT_EQ(size("old"), 100u);

    page.yes = true;
    ASSERT_TRUE(control->start());
    EXPECT_TRUE(sent("remove,\"/log/old\""));
    EXPECT_EQ(control->CurrentFileLabel.text(), "old");
    EXPECT_TRUE(control->stop());
}

TEST_F(RecordingTest, IntervalTheReceiverCannotDeliverGoesThroughTheWizard) {
    ASSERT_NO_FATAL_FAILURE(start());
    double asked = 0;
    SetRecIntWizardHook([&](double seconds, const TRecIntRates&) {
        asked = seconds;
        return 2.0;
    });
    control->RecordingIntervalEdit.setText("0.5"); // the receiver measures once a second
    control->FileNameEdit.setText("w");
    ASSERT_TRUE(control->start()) << page.status;
    EXPECT_DOUBLE_EQ(asked, 0.5);
    EXPECT_EQ(interval, "2.00");
    EXPECT_TRUE(sent("em,/cur/log,/msg/def:2.00"));
    EXPECT_TRUE(control->stop());
}

} // namespace
