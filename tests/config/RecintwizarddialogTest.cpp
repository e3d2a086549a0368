// The wizard window offscreen: its pages follow the logic, Apply and Next move the period, and
// only Finish hands the new interval back.
#include "config/Recintwizarddialog.h"

#include "config/Fakeparams.h"
#include "support/Qtapp.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

namespace telvor {
namespace {

TEST(RecIntWizardWindow, ApplyNextAndFinishHandBackTheChosenPeriod) {
    testing::qtApp();
    testing::TFakeParams rx;
    rx.values = {{"/par/raw/curmsint", "100"}, {"/par/pos/curmsint", "100"}};
    TRecIntWizard wizard(0.35, {20, 10}, rx, rx);
    EXPECT_EQ(wizard.windowTitle(), "Output Period Setup Wizard");
    auto* next = wizard.findChild<QPushButton*>("NextButton");
    auto* apply = wizard.findChild<QPushButton*>("ApplyButton");
    auto* list = wizard.findChild<QListWidget*>("ValueList");
    ASSERT_TRUE(next && apply && list);
    EXPECT_TRUE(
        wizard.findChild<QLabel*>("PageText")->text().startsWith("Warning ! The requested"));

    next->click();
    ASSERT_EQ(wizard.logic().page(), TRecIntPage::Period);
    EXPECT_EQ(list->item(0)->text(), "0.10");
    EXPECT_EQ(list->currentItem()->text(), "0.30");
    EXPECT_FALSE(next->isEnabled());
    list->setCurrentRow(4); // 0.50
    apply->click();
    EXPECT_EQ(wizard.logic().requestedMs(), 500);
    EXPECT_TRUE(next->isEnabled());
    next->click(); // raw interval: 100 divides 500
    next->click(); // position interval
    next->click();
    ASSERT_TRUE(wizard.logic().onFinishPage());
    EXPECT_EQ(next->text(), "&Finish");
    EXPECT_DOUBLE_EQ(wizard.result(), 0.35); // nothing handed back before Finish
    next->click();
    EXPECT_DOUBLE_EQ(wizard.result(), 0.5);
    EXPECT_EQ(wizard.result(), wizard.logic().finish());
}

} // namespace
} // namespace telvor
