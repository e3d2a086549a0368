// The General page's own rules: power outputs by model, figures and their ranges, the boards
// that cannot choose the antenna, the order of writes.
#include "config/Generalconfig.h"
#include "config/Fakeparams.h"

#include <gtest/gtest.h>

#include <cctype>

using namespace telvor;
using telvor::testing::TFakeParams;

namespace {

class TQuietHost : public TConfigHost {
public:
    bool waitShown() const override { return false; }
    void showWait(const std::string&) override {}
    void closeWait() override {}
    void setStatus(const std::string& text) override { status = text; }
    void showPage(const std::string&) override {}
    std::string status;
};

class GeneralconfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        rx.values = {{"/par/out/elm/cur/term", "5"},
                     {"/par/ant/inp", "auto"},
                     {"/par/rcv/ver/board", "MB-4.2"},
                     {"/par/pwr/mode", "a"},
                     {"/par/pwr/charge/bat", "auto"},
                     {"/par/pwr/charge/speed", "fast"},
                     {"/par/lpm", "off"},
                     {"/par/dev/thermo/out", "38.5"},
                     {"/par/pwr/chdc", "1500"},
                     {"/par/pwr/ext", "12.4"},
                     {"/par/rcv/model", "KESTA"},
                     {"/par/pwr/ports", "always"},
                     {"/par/pwr/slots", "on"},
                     {"/par/pwr/out/ab", "on"},
                     {"/par/pwr/out/c", "off"},
                     {"/par/pwr/switch/2", "off"},
                     {"/par/pwr/switch/3", "on"},
                     {"/par/pwr/switch/4", "always"}};
    }
    TGeneralPage page;
    TFakeParams rx;
    TQuietHost host;
};

TEST_F(GeneralconfigTest, ModelChoosesThePowerOutputs) {
    page.refresh(rx, host);
    EXPECT_EQ(page.portsPath(), "/par/pwr/ports");
    EXPECT_EQ(page.PortsPowerComboBox.text(), "Always");
    EXPECT_EQ(page.SlotsPowerLabel.text(), "Slots :");

    rx.values["/par/rcv/model"] = "XYZ";
    page.refresh(rx, host);
    EXPECT_EQ(page.portsPath(), "/par/pwr/out/ab");
    EXPECT_EQ(page.slotsPath(), "/par/pwr/out/c");
    EXPECT_EQ(page.PortsPowerComboBox.items(), (std::vector<std::string>{"Off", "On"}));
    EXPECT_EQ(page.PortsPowerComboBox.text(), "On");
    EXPECT_EQ(page.PortsPowerLabel.text(), "Ports A,B :");

    rx.values.erase("/par/rcv/model");
    page.refresh(rx, host);
    EXPECT_EQ(page.portsPath(), "/par/pwr/out/ab");
}

TEST_F(GeneralconfigTest, FiguresOutsideTheirRangeAreBlanked) {
    for (const char* t : {"200", "-70"}) {
        rx.values["/par/dev/thermo/out"] = t;
        page.refresh(rx, host);
        EXPECT_EQ(page.TemperatureEdit.text(), "") << t;
        EXPECT_FALSE(page.TemperatureEdit.enabled()) << t;
    }
    EXPECT_EQ(page.ChargerCurrentEdit.text(), "1.500");
    EXPECT_EQ(page.ExtPwrEdit.text(), "12.4");
    // Missing and zero figures alike.
    EXPECT_FALSE(page.BatAEdit.enabled());
    rx.values["/par/pwr/chdc"] = "0";
    page.refresh(rx, host);
    EXPECT_FALSE(page.ChargerCurrentEdit.enabled());
}

TEST_F(GeneralconfigTest, SomeBoardsCannotChooseTheAntenna) {
    page.refresh(rx, host);
    EXPECT_TRUE(page.AntAutoRadioButton.enabled());
    rx.values["/par/rcv/ver/board"] = std::string("rev ") + kManualAntennaBoards[1] + "a";
    for (char& c : rx.values["/par/rcv/ver/board"])
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    page.refresh(rx, host);
    EXPECT_FALSE(page.AntAutoRadioButton.enabled());
    EXPECT_TRUE(page.AntIntRadioButton.enabled());
}

TEST_F(GeneralconfigTest, ApplyWritesTheTableInOrder) {
    page.refresh(rx, host);
    EXPECT_TRUE(page.apply(rx, host).ok);
    EXPECT_TRUE(rx.sets.empty());
    page.LPMCheckBox.setChecked(true);
    EXPECT_TRUE(page.apply(rx, host).ok);
    EXPECT_EQ(rx.sets, (std::vector<std::string>{
                           "/par/out/elm/cur/term=5", "/par/ant/inp=auto", "/par/pwr/mode=a",
                           "/par/pwr/charge/bat=auto", "/par/pwr/charge/speed=fast", "/par/lpm=on",
                           "/par/pwr/ports=always", "/par/pwr/slots=on", "/par/pwr/switch/2=off",
                           "/par/pwr/switch/3=on", "/par/pwr/switch/4=always"}));

    rx.sets.clear();
    rx.refused.insert("/par/pwr/slots");
    page.SlotComboBoxes[0].setItemIndex(1);
    EXPECT_FALSE(page.apply(rx, host).ok);
    EXPECT_EQ(host.status, "Can't set power mode on slots");
    EXPECT_TRUE(page.SlotsPowerComboBox.focused());
    EXPECT_EQ(rx.sets.back(), "/par/pwr/ports=always");
}

} // namespace
