// The page pattern: Refresh, change tracking, Apply stopping at the first failure, scripts.
#include "config/Page.h"
#include "config/Fakeparams.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace telvor;
using telvor::testing::TFakeParams;

namespace {

class THost : public TConfigHost {
public:
    bool waitShown() const override { return !wait.empty(); }
    void showWait(const std::string& text) override {
        wait = text;
        waits.push_back(text);
    }
    void closeWait() override { wait.clear(); }
    void setStatus(const std::string& text) override { status = text; }
    void showPage(const std::string& page) override { shown = page; }
    std::string wait, status, shown;
    std::vector<std::string> waits;
};

class PageTest : public ::testing::Test {
protected:
    void SetUp() override {
        power.setItems({"Auto", "External"});
        page.setRows({
            {.path = "/par/elm",
             .controls = {&elm},
             .failure = "Can't set elevation mask",
             .check = TTextCheck::Integer,
             .invalid = "Invalid elevation mask"},
            {.path = "/par/pwr/mode",
             .kind = TBindKind::ComboBox,
             .controls = {&power},
             .values = {"auto", "ext"},
             .captions = {"Auto", "External"},
             .failure = "Can't set power mode"},
            {.path = "/par/lpm",
             .kind = TBindKind::CheckBox,
             .controls = {&lpm},
             .failure = "Can't set Low Power Mode"},
            {.path = "/par/temp",
             .kind = TBindKind::Figure,
             .controls = {&temp},
             .ranged = true,
             .low = -60,
             .high = 150},
        });
        rx.values = {
            {"/par/elm", "5"}, {"/par/pwr/mode", "ext"}, {"/par/lpm", "off"}, {"/par/temp", "200"}};
    }

    TControl apply{"ApplyButton", TControlKind::Button};
    TControl refresh{"RefreshButton", TControlKind::Button};
    TControl elm{"ELMEdit", TControlKind::Edit};
    TControl power{"PowerCombo", TControlKind::ComboBox};
    TControl lpm{"LPMCheckBox", TControlKind::CheckBox};
    TControl temp{"TemperatureEdit", TControlKind::Edit};
    TConfigPage page{"General", apply, refresh};
    TFakeParams rx;
    THost host;
};

TEST_F(PageTest, RefreshReadsInOrderAndLeavesApplyOff) {
    page.refresh(rx, host);
    EXPECT_EQ(rx.asked,
              (std::vector<std::string>{"/par/elm", "/par/pwr/mode", "/par/lpm", "/par/temp"}));
    EXPECT_EQ(elm.text(), "5");
    EXPECT_EQ(power.text(), "External");
    EXPECT_FALSE(temp.enabled());
    EXPECT_FALSE(apply.enabled());
    EXPECT_TRUE(refresh.enabled());
    EXPECT_EQ(host.waits, std::vector<std::string>{kQueryingText});
    EXPECT_FALSE(host.waitShown());
}

TEST_F(PageTest, AnOpenWaitWindowIsLeftToItsOwner) {
    host.showWait("outer");
    page.refresh(rx, host);
    EXPECT_EQ(host.wait, "outer");
    EXPECT_EQ(host.waits.size(), 1u);
}

TEST_F(PageTest, ApplyWithNothingChangedWritesNothing) {
    page.refresh(rx, host);
    EXPECT_TRUE(page.apply(rx, host).ok);
    EXPECT_TRUE(rx.sets.empty());
    EXPECT_TRUE(host.waits.size() == 1);
}

TEST_F(PageTest, ChangeEnablesApplyAndApplyWritesEveryRow) {
    page.refresh(rx, host);
    lpm.setChecked(true);
    EXPECT_TRUE(apply.enabled());
    EXPECT_TRUE(page.apply(rx, host).ok);
    EXPECT_EQ(rx.sets,
              (std::vector<std::string>{"/par/elm=5", "/par/pwr/mode=ext", "/par/lpm=on"}));
    EXPECT_FALSE(apply.enabled());
    EXPECT_EQ(host.waits.back(), kSendingText);
}

TEST_F(PageTest, FirstFailureStopsWithItsTextAndFocus) {
    page.refresh(rx, host);
    elm.setText("10");
    rx.refused.insert("/par/pwr/mode");
    TApplyResult r = page.apply(rx, host);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.control, &power);
    EXPECT_TRUE(power.focused());
    EXPECT_EQ(host.status, "Can't set power mode");
    EXPECT_EQ(host.shown, "General");
    EXPECT_EQ(rx.sets, std::vector<std::string>{"/par/elm=10"});
    EXPECT_TRUE(apply.enabled());
}

TEST_F(PageTest, InvalidNumberIsRefusedBeforeSending) {
    page.refresh(rx, host);
    elm.setText("5.5");
    TApplyResult r = page.apply(rx, host);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(host.status, "Invalid elevation mask");
    EXPECT_TRUE(elm.focused());
    EXPECT_TRUE(rx.sets.empty());
}

TEST_F(PageTest, MissingParametersAreSkippedOnApply) {
    rx.values.erase("/par/pwr/mode");
    page.refresh(rx, host);
    EXPECT_FALSE(power.enabled());
    lpm.setChecked(true);
    EXPECT_TRUE(page.apply(rx, host).ok);
    EXPECT_EQ(rx.sets, (std::vector<std::string>{"/par/elm=5", "/par/lpm=on"}));
}

TEST_F(PageTest, ScriptHoldsOneLinePerWrittenRow) {
    page.refresh(rx, host);
    std::ostringstream out;
    TScriptSink script(out);
    EXPECT_TRUE(page.script(script));
    EXPECT_EQ(out.str(), "%/par/elm%set,/par/elm,5\n"
                         "%/par/pwr/mode%set,/par/pwr/mode,ext\n"
                         "%/par/lpm%set,/par/lpm,off\n");
}

TEST_F(PageTest, DisabledSheetIsLeftAlone) {
    TControl sheet("Sheet", TControlKind::Label);
    TConfigPage other("Other", apply, refresh, &sheet);
    other.setRows({{.path = "/par/elm", .controls = {&elm}}});
    sheet.setEnabled(false);
    other.refresh(rx, host);
    EXPECT_TRUE(rx.asked.empty());
    EXPECT_TRUE(host.waits.empty());
}

} // namespace
