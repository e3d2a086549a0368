// The Positioning, Events, Attitude and Messages sheets and the datum window offscreen: every
// control has its widget, the GLONASS numbering shows one set of boxes, the list buttons and
// the datum window reach the page.
#include "config/Datumconfigform.h"
#include "config/Fakereceiver.h"
#include "config/Receiverconfigform.h"
#include "support/Qtapp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

using namespace telvor;
using telvor::testing::TFakeParams;

namespace {

class PagesheetformTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { telvor::testing::qtApp(); }
    void SetUp() override {
        std::string list = "{";
        for (int i = 1; i <= 32; ++i)
            list += std::string(i > 1 ? "," : "") + "y";
        rx.values = {{"/par/pos/gps/sat", list + "}"},
                     {"/par/opts/cur/_DTM", "0"},
                     {"/par/pos/datum/cur", "P90"},
                     {"/par/pos/datum/P90", "{{P90,6378136,298.25},{P90,0,1,2,3,4,5,6,7}}"},
                     {"/par/dev/pps/a/out", "on"},
                     {"/par/dev/pps/a/per/ms", "1000"}};
    }
    TFakeParams rx;
};

TEST_F(PagesheetformTest, EveryControlHasItsWidget) {
    TReceiverConfigForm form(rx, rx);
    TReceiverConfig& c = form.logic();
    std::vector<TControl*> all = c.Positioning.controls();
    for (const auto& list : {c.Events.controls(), c.Attitude.controls()})
        all.insert(all.end(), list.begin(), list.end());
    for (TControl* control : all)
        EXPECT_TRUE(form.findChild<QWidget*>(QString::fromStdString(control->name())))
            << control->name();
    auto* tabs = form.findChild<QTabWidget*>("ConfigPages");
    for (int i : {2, 3, 7, 8})
        EXPECT_TRUE(tabs->isTabEnabled(i)) << i;
    EXPECT_EQ(form.findChild<QComboBox*>("CurDatumComboBox")->currentText(), "P90");
    EXPECT_TRUE(form.findChild<QLineEdit*>("PPSAPeriodEdit")->isEnabled());
    EXPECT_FALSE(form.findChild<QLineEdit*>("PPSBPeriodEdit")->isEnabled());
}

TEST_F(PagesheetformTest, GlonassNumberingAndListButtons) {
    TReceiverConfigForm form(rx, rx);
    form.show();
    form.setGlonassByFcn(false);
    EXPECT_TRUE(form.findChild<QWidget*>("GLOFcnLockGroup")->isHidden());
    EXPECT_FALSE(form.findChild<QWidget*>("GLOSlotLockGroup")->isHidden());
    EXPECT_FALSE(form.logic().Positioning.glonassByFcn);

    auto* apply = form.findChild<QPushButton*>("PosApplyButton");
    EXPECT_FALSE(apply->isEnabled());
    form.findChild<QPushButton*>("GPSNoneUseButton")->click();
    EXPECT_FALSE(form.findChild<QCheckBox*>("GPSUse7")->isChecked());
    EXPECT_TRUE(apply->isEnabled());
    apply->click();
    ASSERT_FALSE(rx.sets.empty());
    EXPECT_EQ(rx.sets.back().substr(0, 20), "/par/pos/gps/sat/={n");
}

TEST_F(PagesheetformTest, DatumWindowHandsBackItsDatum) {
    std::string chosen;
    TDatumConfig window(rx, rx, "P90", chosen);
    EXPECT_EQ(window.windowTitle(), "P90 Datum Parameters");
    auto* dx = window.findChild<QLineEdit*>("dXTransEdit");
    EXPECT_EQ(dx->text(), "1");
    dx->setText("1.5");
    emit dx->textEdited("1.5");
    window.findChild<QPushButton*>("DatumConfigOkButton")->click();
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(chosen, "P90");
    ASSERT_EQ(rx.sets.size(), 1u);
    EXPECT_EQ(rx.sets[0], "/par/pos/datum/P90/par={P90,0,1.5,2,3,4,5,6,7}");
}

} // namespace
