// The recording interval check and the wizard's pages, lists and choices against a table of
// receiver parameters.
#include "config/Recinterval.h"

#include "config/Fakeparams.h"

#include <gtest/gtest.h>

namespace telvor {
namespace {

using testing::TFakeParams;

class THost : public TConfigHost {
public:
    bool waitShown() const override { return !wait.empty(); }
    void showWait(const std::string& text) override { wait = text; }
    void closeWait() override { wait.clear(); }
    void setStatus(const std::string& text) override { status = text; }
    void showPage(const std::string&) override {}
    std::string wait, status;
};

class RecintervalTest : public ::testing::Test {
protected:
    void SetUp() override {
        rx.values = {{"/par/raw/curmsint", "500"},
                     {"/par/pos/curmsint", "500"},
                     {"/par/opts/cur/_RAW", "20"},
                     {"/par/opts/cur/_POS", "10"}};
        edit.setText("1.5");
        SetRecIntWizardHook([this](double seconds, const TRecIntRates& rates) {
            wizardRuns.push_back(seconds);
            lastRates = rates;
            return wizardAnswer < 0 ? seconds : wizardAnswer;
        });
    }
    void TearDown() override { SetRecIntWizardHook(nullptr); }

    TFakeParams rx;
    TControl edit{"RecordingIntervalEdit", TControlKind::Edit};
    std::vector<double> wizardRuns;
    TRecIntRates lastRates;
    double wizardAnswer = -1;
};

TEST_F(RecintervalTest, AllowedIntervalsAreWholeMultiplesOfBothCurrentIntervals) {
    EXPECT_TRUE(IntervalAllowed(rx, 1.5));
    EXPECT_TRUE(IntervalAllowed(rx, 0.5));
    EXPECT_FALSE(IntervalAllowed(rx, 0.25));   // below the interval
    EXPECT_FALSE(IntervalAllowed(rx, 1.2));    // not a multiple
    EXPECT_FALSE(IntervalAllowed(rx, 1.0005)); // not whole milliseconds
    rx.values["/par/raw/curmsint"] = "200";
    EXPECT_FALSE(IntervalAllowed(rx, 0.3));
    rx.values["/par/pos/curmsint"] = "0";
    EXPECT_FALSE(IntervalAllowed(rx, 1.0));
}

TEST_F(RecintervalTest, UnansweredIntervalQueryFailsAndNothingIsSet) {
    rx.values.erase("/par/pos/curmsint");
    EXPECT_FALSE(IntervalAllowed(rx, 1.5));
    // The wizard opens; its Cancel leaves an interval nobody checked, which is not sent.
    EXPECT_FALSE(CheckRecordingInterval(rx, rx, "/par/log/sc/period", edit));
    EXPECT_EQ(wizardRuns.size(), 1u);
    // Without a wizard (telvor-cli) just the same.
    SetRecIntWizardHook(nullptr);
    EXPECT_FALSE(CheckRecordingInterval(rx, rx, "/par/log/sc/period", edit));
    EXPECT_TRUE(rx.sets.empty());
    EXPECT_EQ(edit.text(), "1.5");
}

TEST_F(RecintervalTest, FittingIntervalIsShownWithTwoDecimalsAndSetWhenAPathIsGiven) {
    EXPECT_TRUE(CheckRecordingInterval(rx, rx, "", edit));
    EXPECT_EQ(edit.text(), "1.50");
    EXPECT_TRUE(wizardRuns.empty());
    EXPECT_TRUE(rx.sets.empty());

    EXPECT_TRUE(CheckRecordingInterval(rx, rx, "/par/out/rec/int", edit));
    ASSERT_EQ(rx.sets.size(), 1u);
    EXPECT_EQ(rx.sets[0], "/par/out/rec/int=1.50");
    rx.refused.insert("/par/out/rec/int");
    EXPECT_FALSE(CheckRecordingInterval(rx, rx, "/par/out/rec/int", edit));
}

TEST_F(RecintervalTest, IntervalThatDoesNotFitOpensTheWizardWithTheOptionRates) {
    rx.values["/par/raw/curmsint"] = "200";
    rx.values["/par/pos/curmsint"] = "200";
    edit.setText("0.3");
    wizardAnswer = 0.4; // a period both intervals divide
    EXPECT_TRUE(CheckRecordingInterval(rx, rx, "", edit));
    ASSERT_EQ(wizardRuns.size(), 1u);
    EXPECT_DOUBLE_EQ(wizardRuns[0], 0.3);
    EXPECT_EQ(lastRates.raw, 20);
    EXPECT_EQ(lastRates.pos, 10);
    EXPECT_EQ(edit.text(), "0.40");

    // Without option rates the wizard cannot help: the edit stays as it was.
    rx.values.erase("/par/opts/cur/_POS");
    edit.setText("0.3");
    EXPECT_FALSE(CheckRecordingInterval(rx, rx, "", edit));
    EXPECT_EQ(edit.text(), "0.3");
    EXPECT_EQ(wizardRuns.size(), 1u);
}

TEST_F(RecintervalTest, TextsThatAreNoIntervalFailAndDisabledEditsPass) {
    for (const char* text : {"", "1,5", "1.5s", "0", "-1"}) {
        edit.setText(text);
        EXPECT_FALSE(CheckRecordingInterval(rx, rx, "", edit)) << text;
    }
    edit.setEnabled(false);
    EXPECT_TRUE(CheckRecordingInterval(rx, rx, "", edit));
}

TEST(RecintervalFormat, KeepsWholeMillisecondsThatTwoDecimalsWouldRound) {
    EXPECT_EQ(FormatInterval(5), "5.00");
    EXPECT_EQ(FormatInterval(0.125), "0.125");
    EXPECT_EQ(FormatInterval(0.1), "0.10");
}

std::vector<std::string> shown(const std::vector<int>& list) {
    std::vector<std::string> out;
    for (int ms : list)
        out.push_back(FormatInterval(ms / 1000.0));
    return out;
}

TEST(RecintervalLists, PeriodListAroundTheRequest) {
    int selected = -1;
    auto list = PeriodList(5000, 20, 10, selected);
    ASSERT_EQ(list.size(), 21u);
    EXPECT_EQ(shown(list).front(), "4.00");
    EXPECT_EQ(shown(list).back(), "6.00");
    EXPECT_EQ(list[selected], 5000);

    list = PeriodList(350, 20, 10, selected);
    EXPECT_EQ(shown(list).front(), "0.10");
    EXPECT_EQ(shown(list).back(), "2.10");
    EXPECT_EQ(list[selected], 300);

    // Exactly ten steps: a period of 0 is never offered.
    list = PeriodList(1000, 20, 10, selected);
    EXPECT_EQ(list.front(), 100);
    // Near a day the list ends at one day.
    list = PeriodList(86400000, 1, 1, selected);
    EXPECT_EQ(list.back(), 86400000);
    EXPECT_EQ(list[selected], 86400000);
}

TEST(RecintervalLists, IntervalListHoldsDivisorsBelowTheLimit) {
    int selected = -1;
    // Step 50 ms, candidates below 21 steps (1050 ms) that divide 1000.
    auto list = IntervalList(1000, 20, 200, selected);
    EXPECT_EQ(list, (std::vector<int>{50, 100, 200, 250, 500, 1000}));
    EXPECT_EQ(list[selected], 200);
    list = IntervalList(1000, 20, 20, selected);
    EXPECT_EQ(selected, 0);
    // The limit is 5 s even for slow outputs.
    list = IntervalList(20000, 1, 1000, selected);
    EXPECT_EQ(list.back(), 4000);
    list = IntervalList(150, 10, 100, selected);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(selected, -1);
}

TEST(RecintervalWizard, PageSequencesFollowTheOptionRates) {
    TFakeParams rx;
    THost host;
    using P = TRecIntPage;
    auto sequence = [&](int raw, int pos) {
        return TRecIntWizardLogic(1, {raw, pos}, rx, rx, host).sequence();
    };
    EXPECT_EQ(sequence(20, 10),
              (std::vector<P>{P::Start, P::Period, P::RawInterval, P::PosInterval, P::Finish}));
    EXPECT_EQ(sequence(0, 10),
              (std::vector<P>{P::Start, P::NoRaw, P::Period, P::PosInterval, P::Finish}));
    EXPECT_EQ(sequence(20, -1),
              (std::vector<P>{P::Start, P::NoPos, P::Period, P::RawInterval, P::Finish}));
    EXPECT_EQ(sequence(0, 0), (std::vector<P>{P::Start, P::NoRaw, P::NoPos, P::Finish}));
}

TEST(RecintervalWizard, WalkThroughChangesPeriodAndRawIntervalThenFinishes) {
    TFakeParams rx;
    rx.values = {{"/par/raw/curmsint", "200"}, {"/par/pos/curmsint", "100"}};
    THost host;
    TRecIntWizardLogic wizard(0.35, {20, 10}, rx, rx, host);
    wizard.next();
    ASSERT_EQ(wizard.page(), TRecIntPage::Period);
    EXPECT_EQ(wizard.items()[wizard.selected()], 300);
    // The choice differs from the request: Apply first, then Next.
    EXPECT_FALSE(wizard.canNext());
    EXPECT_TRUE(wizard.canApply());
    EXPECT_TRUE(wizard.apply());
    EXPECT_EQ(wizard.requestedMs(), 300);
    EXPECT_TRUE(wizard.canNext());
    wizard.next();

    ASSERT_EQ(wizard.page(), TRecIntPage::RawInterval);
    EXPECT_EQ(wizard.currentMs(), 200);
    // 200 does not divide 300: the last candidate below it is preselected.
    EXPECT_EQ(wizard.items(), (std::vector<int>{50, 100, 150, 300}));
    EXPECT_EQ(wizard.items()[wizard.selected()], 150);
    EXPECT_FALSE(wizard.canNext());
    rx.refused.insert("/par/raw/msint");
    EXPECT_FALSE(wizard.apply());
    EXPECT_EQ(host.status, "Can't set Raw Data Update Interval");
    rx.refused.clear();
    // The receiver takes the new interval; its current one follows it.
    rx.values["/par/raw/curmsint"] = "150";
    EXPECT_TRUE(wizard.apply());
    EXPECT_EQ(rx.sets.back(), "/par/raw/msint=150");
    EXPECT_TRUE(wizard.canNext());
    wizard.next();

    ASSERT_EQ(wizard.page(), TRecIntPage::PosInterval);
    EXPECT_EQ(wizard.items()[wizard.selected()], 100);
    EXPECT_TRUE(wizard.canNext());
    wizard.next();
    EXPECT_TRUE(wizard.onFinishPage());
    EXPECT_DOUBLE_EQ(wizard.finish(), 0.3);
    EXPECT_TRUE(host.wait.empty());
}

TEST(RecintervalWizard, UnreadableCurrentIntervalIsReportedAndBlocksNext) {
    TFakeParams rx;
    THost host;
    TRecIntWizardLogic wizard(1, {0, 10}, rx, rx, host);
    wizard.next(); // no raw data
    wizard.next(); // period: one output gives the steps
    ASSERT_EQ(wizard.page(), TRecIntPage::Period);
    EXPECT_EQ(wizard.items()[wizard.selected()], 1000);
    wizard.next();
    ASSERT_EQ(wizard.page(), TRecIntPage::PosInterval);
    EXPECT_EQ(host.status, "Can't read Current Positioning Data Update Interval from receiver");
    EXPECT_FALSE(wizard.canNext());
    wizard.back();
    EXPECT_EQ(wizard.page(), TRecIntPage::Period);
}

} // namespace
} // namespace telvor
