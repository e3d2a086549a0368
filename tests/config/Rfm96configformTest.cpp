// "RFM96 Configuration" offscreen without a receiver: Connect stays disabled, the "Debug" tab
// follows its setting, the parameter page offers the table's entries and Set defaults shows
// the defaults with Apply enabled. The sequences behind the buttons are tested headless
// against telvor-sim (RadioSimTest).
#include "support/Qtapp.h"

#include "config/Rfm96configform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

using namespace telvor;
using telvor::testing::findWidget;

namespace {

TEST(Rfm96configform, WithoutAReceiverConnectStaysDisabledAndTheDebugTabFollowsItsSetting) {
    telvor::testing::qtApp();
    for (bool debug : {false, true}) {
        TRFM96RadioConfigForm form(debug);
        EXPECT_EQ(form.windowTitle(), "RFM96 Configuration");
        EXPECT_FALSE(findWidget<QPushButton>(form, "ConnectButton")->isEnabled());
        EXPECT_FALSE(findWidget<QPushButton>(form, "ConfigExitButton")->isEnabled());
        auto* pages = findWidget<QTabWidget>(form, "PageControl");
        EXPECT_EQ(pages->currentIndex(), 0);
        EXPECT_FALSE(pages->isTabEnabled(1)) << "no pages before the modem is found";
        EXPECT_EQ(pages->isTabVisible(2), debug);
        EXPECT_TRUE(form.OnCloseQuery()) << "no chain: nothing to ask";
    }
}

TEST(Rfm96configform, SetDefaultsShowsEveryRowsDefaultAndEnablesApply) {
    telvor::testing::qtApp();
    TRFM96RadioConfigForm form(false);
    auto* speed = findWidget<QComboBox>(form, "DCESpeedComboBox");
    ASSERT_EQ(speed->count(), 5);
    EXPECT_EQ(findWidget<QComboBox>(form, "EOTComboBox")->count(), 256);
    speed->setCurrentIndex(4);
    findWidget<QCheckBox>(form, "BreakCheckBox")->setChecked(true);

    // The page is disabled until a modem is found, so its button is not clickable here.
    form.OnSetDefaultsClick();
    EXPECT_EQ(speed->currentText(), "19200");
    EXPECT_EQ(findWidget<QComboBox>(form, "ModeComboBox")->currentText(), "Fast async");
    EXPECT_EQ(findWidget<QComboBox>(form, "EOTComboBox")->currentText(), "10");
    EXPECT_EQ(findWidget<QComboBox>(form, "DestAddressComboBox")->currentText(), "255");
    EXPECT_EQ(findWidget<QComboBox>(form, "DigisquelchComboBox")->currentText(), "Low");
    EXPECT_FALSE(findWidget<QCheckBox>(form, "BreakCheckBox")->isChecked());
    // Enabled on its page, which itself waits for the modem.
    EXPECT_TRUE(findWidget<QPushButton>(form, "ApplyButton")
                    ->isEnabledTo(findWidget<QWidget>(form, "ParametersSheet")));
}

} // namespace
