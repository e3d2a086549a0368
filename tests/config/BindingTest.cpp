// Readers and writers of single controls against a table of receiver values.
#include "config/Binding.h"
#include "config/Fakeparams.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace telvor;
using telvor::testing::TFakeParams;

namespace {

constexpr TControlKind kEdit = TControlKind::Edit;
constexpr TControlKind kBox = TControlKind::CheckBox;

TEST(ReadCheckBox, OnlyLowerCaseYesWordsTick) {
    TFakeParams rx;
    TControl box("Box", kBox);
    for (const auto& [value, ticked] : std::vector<std::pair<std::string, bool>>{{"y", true},
                                                                                 {"on", true},
                                                                                 {"yes", true},
                                                                                 {"Y", false},
                                                                                 {"true", false},
                                                                                 {"off", false}}) {
        rx.values["/p"] = value;
        box.setChecked(!ticked);
        EXPECT_TRUE(ReadCheckBox(rx, "/p", box));
        EXPECT_EQ(box.checked(), ticked) << value;
    }
}

TEST(ReadCheckBox, MissingParameterDisablesBoxAndLabel) {
    TFakeParams rx;
    TControl label("Label", TControlKind::Label);
    TControl box("Box", kBox, &label);
    box.setChecked(true);
    EXPECT_FALSE(ReadCheckBox(rx, "/p", box));
    EXPECT_FALSE(box.checked());
    EXPECT_FALSE(box.enabled());
    EXPECT_FALSE(label.enabled());
    // A writer skips it and reports success.
    EXPECT_TRUE(WriteCheckBox(rx, "/p", box));
    EXPECT_TRUE(rx.sets.empty());
}

TEST(ReadSpinEdit, EndsOfTheRangeGiveMinimumPlusIncrement) {
    TFakeParams rx;
    TControl spin("Spin", TControlKind::SpinEdit);
    spin.setRange(0, 100, 5);
    for (const auto& [value, shown] :
         std::vector<std::pair<std::string, int>>{{"0", 5},
                                                  {"100", 5},
                                                  {"99", 99},
                                                  {"1", 1},
                                                  {"-3", 5},
                                                  {"50.5", 5},
                                                  {"99999999999999", 5}}) {
        rx.values["/p"] = value;
        spin.setValue(42);
        ReadSpinEdit(rx, "/p", spin);
        EXPECT_EQ(spin.value(), shown) << value;
    }
}

TEST(ReadEditGroup, ElementsInOrderOrAllDisabled) {
    TFakeParams rx;
    TControl a("A", kEdit), b("B", kEdit), c("C", kEdit);
    rx.values["/p"] = R"({"x,1",{2,3},z})";
    EXPECT_TRUE(ReadEditGroup(rx, "/p", {&a, &b, &c}, true));
    EXPECT_EQ(a.text(), "x,1");
    EXPECT_EQ(b.text(), "{2,3}");
    EXPECT_EQ(c.text(), "z");
    rx.values.clear();
    EXPECT_FALSE(ReadEditGroup(rx, "/p", {&a, &b, &c}));
    for (TControl* e : {&a, &b, &c}) {
        EXPECT_EQ(e->text(), "");
        EXPECT_FALSE(e->enabled());
    }
}

TEST(EditGroup, OneDisabledEditWritesNothing) {
    TFakeParams rx;
    TControl a("A", kEdit), b("B", kEdit);
    a.setText("a,b");
    b.setText("c");
    EXPECT_TRUE(WriteEditGroup(rx, "/p", {&a, &b}, true));
    b.setEnabled(false);
    EXPECT_TRUE(WriteEditGroup(rx, "/q", {&a, &b}, true));
    EXPECT_EQ(rx.sets, std::vector<std::string>{"/p={\"a,b\",c}"});
}

TEST(CheckBoxGroup, EmptyElementDisablesItsBoxAndIsLeftOutOnWrite) {
    TFakeParams rx;
    TControl a("A", kBox), b("B", kBox), c("C", kBox);
    b.setEnabled(false);
    rx.values["/p"] = "{on,,y}";
    EXPECT_TRUE(ReadCheckBoxGroup(rx, "/p", {&a, &b, &c}));
    EXPECT_TRUE(a.checked());
    EXPECT_FALSE(b.enabled());
    EXPECT_TRUE(c.enabled());
    c.setChecked(false);
    EXPECT_TRUE(WriteCheckBoxGroup(rx, "/p", {&a, &b, &c}));
    EXPECT_EQ(rx.sets.back(), "/p={on,,off}");
    // Nothing enabled: nothing sent.
    rx.sets.clear();
    a.setEnabled(false);
    c.setEnabled(false);
    EXPECT_TRUE(WriteCheckBoxGroup(rx, "/p", {&a, &b, &c}));
    EXPECT_TRUE(rx.sets.empty());
}

TEST(ComboBox, ValuesMapToCaptions) {
    TFakeParams rx;
    TControl combo("Combo", TControlKind::ComboBox);
    const ValueList values{"off", "on", "always"}, captions{"Off", "On", "Always"};
    combo.setItems(captions);
    rx.values["/p"] = "always";
    EXPECT_TRUE(ReadComboBox(rx, "/p", values, combo, captions));
    EXPECT_EQ(combo.text(), "Always");
    // Unknown value: no selection, still enabled.
    rx.values["/p"] = "sometimes";
    EXPECT_TRUE(ReadComboBox(rx, "/p", values, combo, captions));
    EXPECT_EQ(combo.itemIndex(), -1);
    EXPECT_TRUE(combo.enabled());
    // A text matching no caption writes nothing and succeeds.
    combo.setText("Never");
    EXPECT_TRUE(WriteComboBox(rx, "/p", values, combo, captions));
    EXPECT_TRUE(rx.sets.empty());
    SelectComboText(combo, "On");
    EXPECT_TRUE(WriteComboBox(rx, "/p", values, combo, captions));
    EXPECT_EQ(rx.sets.back(), "/p=on");
    // An empty entry ends the tables.
    EXPECT_TRUE(WriteComboBox(rx, "/q", {"off", ""}, combo, {"Off", "", "On"}));
    EXPECT_EQ(rx.sets.size(), 1u);
}

TEST(RadioSet, MatchingButtonOrAllDisabled) {
    TFakeParams rx;
    TControl i("Int", TControlKind::RadioButton), e("Ext", TControlKind::RadioButton);
    const ValueList values{"int", "ext"};
    rx.values["/p"] = "ext";
    EXPECT_TRUE(ReadRadioSet(rx, "/p", {&i, &e}, values));
    EXPECT_TRUE(e.checked());
    EXPECT_FALSE(i.checked());
    EXPECT_TRUE(WriteRadioSet(rx, "/p", {&i, &e}, values));
    EXPECT_EQ(rx.sets.back(), "/p=ext");
    // A checked but disabled button is not the answer.
    e.setEnabled(false);
    rx.sets.clear();
    EXPECT_TRUE(WriteRadioSet(rx, "/p", {&i, &e}, values));
    EXPECT_TRUE(rx.sets.empty());
    rx.values["/p"] = "auto";
    EXPECT_FALSE(ReadRadioSet(rx, "/p", {&i, &e}, values));
    EXPECT_FALSE(i.enabled());
    EXPECT_FALSE(e.enabled());
}

TEST(RadioGroup, SelectionIndexesTheValues) {
    TFakeParams rx;
    TControl group("Group", TControlKind::RadioGroup);
    group.setItems({"Internal", "External"});
    rx.values["/p"] = "ext";
    EXPECT_TRUE(ReadRadioGroup(rx, "/p", group, {"int", "ext"}));
    EXPECT_EQ(group.itemIndex(), 1);
    group.setItemIndex(0);
    EXPECT_TRUE(WriteRadioGroup(rx, "/p", group, {"int", "ext"}));
    EXPECT_EQ(rx.sets.back(), "/p=int");
    rx.values.clear();
    EXPECT_FALSE(ReadRadioGroup(rx, "/p", group, {"int", "ext"}));
    EXPECT_EQ(group.itemIndex(), -1);
    EXPECT_FALSE(group.enabled());
}

TEST(CheckRange, BlanksFiguresOutsideTheOpenRange) {
    TControl label("Label", TControlKind::Label);
    TControl t("Temperature", kEdit, &label);
    for (const char* bad : {"200", "-70", "-60", "x", ""}) {
        t.enableWithLabel();
        t.setText(bad);
        EXPECT_FALSE(CheckRange(-60, 150, t)) << bad;
        EXPECT_EQ(t.text(), "");
        EXPECT_FALSE(t.enabled());
        EXPECT_FALSE(label.enabled());
    }
    t.enableWithLabel();
    t.setText("38.5");
    EXPECT_TRUE(CheckRange(-60, 150, t));
    EXPECT_EQ(t.text(), "38.5");
}

TEST(ScriptSink, WritersBecomeScriptLines) {
    std::ostringstream out;
    TScriptSink script(out);
    TControl edit("Edit", kEdit), box("Box", kBox), off("Off", kEdit);
    edit.setText("a;b");
    box.setChecked(true);
    off.setEnabled(false);
    EXPECT_TRUE(WriteEdit(script, "/par/x", edit, true));
    EXPECT_TRUE(WriteCheckBox(script, "/par/y", box, "yes", "no"));
    EXPECT_TRUE(WriteEdit(script, "/par/z", off));
    EXPECT_EQ(out.str(), "%/par/x%set,/par/x,\"a;b\"\n%/par/y%set,/par/y,yes\n");
}

} // namespace
