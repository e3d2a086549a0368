// The About window's rules against the simulated receiver: the memo of a model with and
// without power sections, parameters the receiver lacks, and both files.
#include "support/Simsession.h"

#include "app/Session.h"
#include "info/Aboutlogic.h"
#include "protocol/Link.h"
#include "settings/Profile.h"
#include "sim/Receiver.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace telvor;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class TAboutRecorder : public TAboutView {
public:
    void showReceiverPanel(bool visible) override { panel = visible; }
    void setMemo(const std::vector<std::string>& lines) override { memo = lines; }
    void setStatus(const std::string& text) override { status = text; }
    void showNotice(const std::string& text) override { notices.push_back(text); }
    void closeNotice() override { ++closed; }
    std::string askSaveFile(const std::string& f, const std::string& p) override {
        folder = f;
        proposed = p;
        return answer;
    }
    bool panel = false;
    std::vector<std::string> memo, notices;
    std::string status, folder, proposed, answer;
    int closed = 0;
};

class TSessionContext : public TAboutContext {
public:
    explicit TSessionContext(TSession& s) : session(s) {}
    bool connected() const override { return session.connected(); }
    int firmwareVersion() const override { return session.firmwareVersion(); }
    bool servingSharingClient() const override { return sharing; }
    TSession& session;
    bool sharing = false;
};

std::string slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class AboutSimTest : public telvor::testing::TSimSessionFixture {
protected:
    AboutSimTest() : TSimSessionFixture("telvor-about") {}
    void SetUp() override {
        TSimSessionFixture::SetUp();
        profile->write(keys::ManualModeDirectory, tmp.path.string());
    }
    void TearDown() override {
        about.reset();
        TSimSessionFixture::TearDown();
    }
    // Epochs far apart: the receiver's uptime stays put while the tree is compared.
    void connect(telvorsim::TSimOptions options = {}) {
        options.epochWallMs = 600000;
        ASSERT_NO_FATAL_FAILURE(connectPaused(options));
        context = std::make_unique<TSessionContext>(*session);
        about = std::make_unique<TAboutLogic>(recorder, *context, *profile,
                                              TProgramInfo{"Telvor", "1.2.3", "May 2, 2026"});
    }

    std::unique_ptr<TSessionContext> context;
    TAboutRecorder recorder;
    std::unique_ptr<TAboutLogic> about;
};

} // namespace

TEST_F(AboutSimTest, MemoOfAModelWithPowerSections) {
    connect();
    about->start();
    const auto& memo = recorder.memo;
    EXPECT_TRUE(recorder.panel);
    EXPECT_EQ(recorder.notices.size(), 1u);
    EXPECT_EQ(recorder.closed, 1);
    EXPECT_THAT(memo, Contains("Receiver model:\tVORNA"));
    EXPECT_THAT(memo, Contains("Receiver S/N:\tSIM0421873"));
    EXPECT_THAT(memo, Contains("Power Board:\thw=PB-2 , fw=1.30"));
    EXPECT_THAT(memo, Contains("Power source:\tauto"));
    EXPECT_THAT(memo, Contains("Physical memory:\t33030144 bytes"));
    EXPECT_THAT(memo, Contains("Current port:\t/dev/ser/a"));
    EXPECT_THAT(memo, Contains("Speed:\t\t115200"));
    EXPECT_THAT(memo, Contains("Wait states:\t2"));
    for (const auto& line : memo)
        EXPECT_THAT(line, Not(HasSubstr("<unknown>")));
}

TEST_F(AboutSimTest, ModelWithoutPowerAndParametersItLacks) {
    telvorsim::TSimOptions options;
    options.model = "ORBEX";
    options.omit = {"/par/pwr/ext", "/par/pos/pd", "/dev/blk/a&blocks"};
    connect(options);
    about->refresh();
    const auto& memo = recorder.memo;
    EXPECT_THAT(memo, Contains("Receiver model:\tORBEX"));
    EXPECT_THAT(memo, Contains("Power supply (V):\t<unknown>"));
    EXPECT_THAT(memo, Contains("RTK support:\tno"));
    EXPECT_THAT(memo, Contains("Physical memory:\t<unknown> bytes"));
    EXPECT_THAT(memo, Contains("Digital part 3.3V (V):\t3.31"));
    for (const auto& line : memo) {
        EXPECT_THAT(line, Not(HasSubstr("Power source")));
        EXPECT_THAT(line, Not(HasSubstr("Power Board")));
    }
}

TEST_F(AboutSimTest, SaveWritesTheWholeTreeAsTheReceiverHoldsIt) {
    connect();
    recorder.answer = (tmp.path / "tree.txt").string();
    about->saveToFile();
    EXPECT_EQ(recorder.folder, tmp.path.string());
    EXPECT_EQ(recorder.proposed, "");
    ASSERT_EQ(recorder.status, "Saved to " + recorder.answer);

    const std::string text = slurp(recorder.answer);
    std::istringstream in(text);
    std::string created, date, banner, line, tree;
    std::getline(in, created);
    std::getline(in, date);
    std::getline(in, banner);
    EXPECT_EQ(created, "Created by Telvor Version 1.2.3 (Build: May 2, 2026)  ");
    EXPECT_EQ(date.rfind("Current Date: ", 0), 0u);
    EXPECT_EQ(banner, "======================= Receiver's parameters ======================");
    int lines = 0;
    while (std::getline(in, line)) {
        tree += line;
        ++lines;
    }
    EXPECT_GE(lines, 2); // the tree came in several replies, one line each
    EXPECT_EQ(tree, sim->printed("/:on").value_or("none"));
    EXPECT_EQ(text.back(), '\n');
}

TEST_F(AboutSimTest, OlderFirmwareGetsTheFixedLayout) {
    telvorsim::TSimOptions options;
    options.firmware = "2.1";
    connect(options);
    recorder.answer = (tmp.path / "fixed.txt").string();
    about->saveToFile();
    ASSERT_EQ(recorder.status, "Saved to " + recorder.answer);
    const std::string text = slurp(recorder.answer);
    EXPECT_THAT(text, HasSubstr("Receiver's parameters ======================\n"
                                "Receiver model:        VORNA\n"));
    EXPECT_THAT(text, HasSubstr("\nCurrent port:  /dev/ser/a\nSpeed:        115200\n"));
    EXPECT_THAT(text, Not(HasSubstr("{")));
}

TEST_F(AboutSimTest, ReportProposesItsNameAndFailuresAreNotSuccess) {
    connect();
    recorder.answer = (tmp.path / "r.txt").string();
    about->report();
    EXPECT_EQ(recorder.proposed, "r_421873.txt");
    ASSERT_EQ(recorder.status, "Saved to " + recorder.answer);
    EXPECT_THAT(slurp(recorder.answer),
                HasSubstr("  \nReceiver parameters\nSerial number:             SIM0421873\n"));

    recorder.answer = (tmp.path / "no" / "such" / "r.txt").string();
    about->report();
    EXPECT_EQ(recorder.status, "Unable to create " + recorder.answer);
    EXPECT_FALSE(std::filesystem::exists(recorder.answer));

    // A receiver that refuses its tree: no file, and the reason.
    telvorsim::TFaults refuseTree;
    refuseTree.refuse = "^print,/:on$";
    sim->setFaults(refuseTree);
    recorder.answer = (tmp.path / "tree.txt").string();
    about->saveToFile();
    EXPECT_EQ(recorder.status, "Unable to retrieve receiver information");
    EXPECT_FALSE(std::filesystem::exists(recorder.answer));

    // Cancelled dialog: nothing happens.
    recorder.status = "unchanged";
    recorder.answer.clear();
    about->saveToFile();
    EXPECT_EQ(recorder.status, "unchanged");
}

TEST_F(AboutSimTest, NoPanelWhileASharingClientIsServed) {
    connect();
    context->sharing = true;
    about->start();
    EXPECT_FALSE(recorder.panel);
    EXPECT_TRUE(recorder.memo.empty());
    about->saveToFile();
    EXPECT_TRUE(recorder.folder.empty());
}
