// The recording interval check against a receiver that does not answer one of its current
// measurement intervals: the interval is refused, not sent.
#include "support/Simsession.h"

#include "config/Recinterval.h"

#include <gtest/gtest.h>

using namespace telvor;

namespace {

class RecintervalSimTest : public telvor::testing::TSimSessionFixture {
protected:
    RecintervalSimTest() : TSimSessionFixture("telvor-recint") {}
    void SetUp() override {
        TSimSessionFixture::SetUp();
        telvorsim::TSimOptions options;
        options.epochWallMs = 600000;
        options.omit = {"/par/raw/curmsint"};
        ASSERT_NO_FATAL_FAILURE(connectPaused(options));
    }
    void TearDown() override {
        SetRecIntWizardHook(nullptr);
        TSimSessionFixture::TearDown();
    }

    TReceiverParams rx;
};

TEST_F(RecintervalSimTest, IntervalIsNotSentWhenACurrentIntervalGetsNoReply) {
    const auto before = rx.print("/par/log/sc/period");
    ASSERT_TRUE(before);
    ASSERT_EQ(rx.print("/par/pos/curmsint"), "1000");
    EXPECT_FALSE(IntervalAllowed(rx, 2));

    int wizardRuns = 0;
    // The wizard cannot read the raw interval either: the user can only cancel.
    SetRecIntWizardHook([&](double seconds, const TRecIntRates&) {
        ++wizardRuns;
        return seconds;
    });
    TControl edit{"KORVELEdit", TControlKind::Edit};
    edit.setText("2");
    EXPECT_FALSE(CheckRecordingInterval(rx, rx, "/par/log/sc/period", edit));
    EXPECT_EQ(wizardRuns, 1);
    EXPECT_EQ(rx.print("/par/log/sc/period"), before);
}

} // namespace
