// The Ports page's rules: which ports are shown, the order of the serial writes and their
// failure texts, the program's own port left alone, the Ethernet checks, the modem type.
#include "config/Portsconfig.h"
#include "config/Fakereceiver.h"

#include <gtest/gtest.h>

using namespace telvor;
using telvor::testing::TFakeReceiver;
using telvor::testing::TQuietHost;

namespace {

class SerialPortsTest : public ::testing::Test {
protected:
    void SetUp() override {
        rx.values = {{"/cur/term", "/dev/ser/a"},
                     {"/par/opts/cur/RS_A", "1"},
                     {"/par/opts/cur/RS_B", "1"},
                     {"/par/opts/cur/RS_C", "0"},
                     {"/par/opts/cur/RS_D", "1"},
                     {"/par/opts/cur/INFR", "1"},
                     {"/par/dev/ser/d/ir", "off"},
                     {"/par/out/dev/ser/b:on", "{}"},
                     {"/par/out/dev/ser/d:on", "{rtcm/1={1.00,0.00},rtcm/31={1.00,0.00},"
                                               "rtcm/3={10.00,0.00}}"}};
        for (const char* p : {"a", "b", "d"}) {
            const std::string par = std::string("/par/dev/ser/") + p;
            rx.values[par + "/rate"] = "115200";
            rx.values[par + "/rtscts"] = "off";
            rx.values[par + "/imode"] = "cmd";
        }
        page.refresh(rx, host);
        b = page.ports()[1];
        d = page.ports()[3];
    }
    TSerialPortsPage page;
    TFakeReceiver rx;
    TQuietHost host;
    TPortRow *b = nullptr, *d = nullptr;
};

TEST_F(SerialPortsTest, RefreshShowsPresentPortsAndTheirOutputs) {
    EXPECT_EQ(page.ownPort(), "/dev/ser/a");
    EXPECT_FALSE(page.ports()[2]->InpMode.enabled()); // no serial C on this receiver
    EXPECT_EQ(b->OutMode.text(), "None");
    EXPECT_EQ(b->Period.text(), "");
    EXPECT_FALSE(b->Period.enabled());
    EXPECT_EQ(d->OutMode.text(), "DGPS RTCM {1,31,3}");
    EXPECT_EQ(d->Period.text(), "1.00");
    EXPECT_TRUE(d->Period.enabled());
    EXPECT_EQ(d->Rate->text(), "115200");
    EXPECT_FALSE(page.ApplyButton.enabled());
}

TEST_F(SerialPortsTest, ApplyOrderLeavesTheProgramsOwnPortAlone) {
    SelectComboText(b->OutMode, "RTK CMR+ {10,0,9}");
    EXPECT_TRUE(b->Period.enabled());
    b->Period.setText("2");
    SelectComboText(b->InpMode, "RTCM 3.x");
    SelectComboText(d->OutMode, "None");
    ASSERT_TRUE(page.apply(rx, host).ok) << host.status;
    const std::vector<std::string> expected{
        "set,/par/dev/ser/b/imode,cmd",
        "set,/par/dev/ser/d/imode,cmd",
        "set,/par/dev/ser/b/rate,115200",
        "set,/par/dev/ser/b/rtscts,off",
        "pause 100",
        "set,/par/dev/ser/b/imode,rtcm3",
        "dm,/dev/ser/b",
        "em,/dev/ser/b,/msg/cmr{/10:2,/0:2,/9:1}",
        "set,/par/dev/ser/d/rate,115200",
        "set,/par/dev/ser/d/rtscts,off",
        "pause 100",
        "set,/par/dev/ser/d/imode,cmd",
        "dm,/dev/ser/d",
        "set,/par/dev/ser/d/ir,off",
    };
    EXPECT_EQ(rx.lines, expected);
    EXPECT_FALSE(page.ApplyButton.enabled());
}

TEST_F(SerialPortsTest, FailuresStopAtTheirPortWithTheirText) {
    const struct {
        const char* refuse;
        const char* message;
    } cases[] = {
        {"/par/dev/ser/d/imode", "Can't change imode to port : /dev/ser/d"},
        {"/par/dev/ser/b/rate", "Can't set baud rate for /dev/ser/b"},
        {"/par/dev/ser/b/rtscts", "Can't set RTS/CTS mode for /dev/ser/b"},
        {"dm", "Can't disable output for /dev/ser/b"},
        {"em", "Can't set output mode for /dev/ser/b"},
        {"/par/dev/ser/d/ir", "Can't set infrared port mode"},
    };
    for (const auto& c : cases) {
        rx.refused.clear();
        rx.refusedCommands.clear();
        (c.refuse[0] == '/' ? rx.refused : rx.refusedCommands).insert(c.refuse);
        SelectComboText(b->OutMode, "RTK VXR min");
        b->Period.setText("1");
        EXPECT_FALSE(page.apply(rx, host).ok) << c.refuse;
        EXPECT_EQ(host.status, c.message);
        EXPECT_TRUE(page.ApplyButton.enabled());
    }
    rx.refused.clear();
    rx.refusedCommands.clear();
    b->Period.setText("0");
    EXPECT_FALSE(page.apply(rx, host).ok);
    EXPECT_EQ(host.status, "Invalid messages output period for /dev/ser/b");
    EXPECT_TRUE(b->Period.focused());
}

TEST_F(SerialPortsTest, InfraredOffersItsRatesAndNoHandshake) {
    d->Rate->setItemIndex(12); // 460800
    page.InfraredCheckBox.setChecked(true);
    EXPECT_EQ(d->Rate->items().size(), 5u);
    EXPECT_EQ(d->Rate->itemIndex(), -1);
    SelectComboText(*d->Rate, "38400");
    d->Rts->setChecked(true);
    ASSERT_TRUE(page.apply(rx, host).ok) << host.status;
    EXPECT_EQ(rx.values["/par/dev/ser/d/rate"], "38400");
    EXPECT_EQ(rx.values["/par/dev/ser/d/rtscts"], "off");
    EXPECT_EQ(rx.values["/par/dev/ser/d/ir"], "on");
}

TEST(EthernetPageTest, ChecksEachFieldBeforeItIsSent) {
    TFakeReceiver rx;
    TQuietHost host;
    rx.values = {{"/par/opts/cur/ETHR", "1"},       {"/par/net/ip/addr", "10.0.0.2"},
                 {"/par/net/ip/mask", "255.0.0.0"}, {"/par/net/ip/gw", "10.0.0.1"},
                 {"/par/net/tcp/port", "8002"},     {"/par/net/tcp/timeout", "600"},
                 {"/par/net/ftp/port", "21"},       {"/par/net/ftp/timeout", "600"},
                 {"/par/net/passwd", "\"a b\""}};
    TEthernetPage page;
    page.refresh(rx, host);
    EXPECT_EQ(page.EthernetPasswordEdit.text(), "a b");
    const struct {
        TControl* edit;
        const char* text;
        const char* message;
    } cases[] = {
        {&page.IPAddressEdit, "10.0.0.256", "Invalid IP address"},
        {&page.IPMaskEdit, "255.0.0", "Invalid IP mask"},
        {&page.IPGatewayEdit, "", "Invalid IP gateway"},
        {&page.TCPPortEdit, "65536", "Invalid TCP Port"},
        {&page.TCPTimeoutEdit, "0", "Invalid timeout"},
        {&page.FTPPortEdit, "-1", "Invalid TCP Port"},
        {&page.FTPTimeoutEdit, "x", "Invalid timeout"},
        {&page.EthernetPasswordEdit, "0123456789abcdef", "Invalid Ethernet password"},
    };
    for (const auto& c : cases) {
        const std::string good = c.edit->text();
        c.edit->setText(c.text);
        rx.sets.clear();
        EXPECT_FALSE(page.apply(rx, host).ok) << c.text;
        EXPECT_EQ(host.status, c.message);
        EXPECT_TRUE(c.edit->focused());
        c.edit->setText(good);
    }
    page.TCPPortEdit.setText("65535");
    ASSERT_TRUE(page.apply(rx, host).ok) << host.status;
    EXPECT_EQ(rx.values["/par/net/tcp/port"], "65535");
    EXPECT_EQ(rx.values["/par/net/passwd"], "a b");
    rx.refused.insert("/par/net/ip/gw");
    page.IPGatewayEdit.setText("10.0.0.9");
    EXPECT_FALSE(page.apply(rx, host).ok);
    EXPECT_EQ(host.status, "Cannot set IP gateway");
}

TEST(ModemPageTest, TypeIsSwitchedOffBeforeTheNewOne) {
    TFakeReceiver rx;
    TQuietHost host;
    rx.values = {{"/par/opts/cur/_DSS", "1"},        {"/par/dev/modem/a/type", "ssout"},
                 {"/par/dev/modem/a/imode", "rtcm"}, {"/par/out/dev/modem/a:on", "{}"},
                 {"/par/dev/modem/a/ant", "ext"},    {"/par/dev/modem/a/pwr", "low"}};
    TModemPage page;
    page.refresh(rx, host);
    EXPECT_EQ(page.ModemTypeComboBox.text(), "DSS");
    EXPECT_EQ(page.ModemModeComboBox.text(), "Transmitting");
    EXPECT_TRUE(page.ModemAntExtRadioButton.checked());
    SelectComboText(page.ModemTypeComboBox, "FHSS");
    SelectComboText(page.ModemModeComboBox, "Receiving");
    ASSERT_TRUE(page.apply(rx, host).ok) << host.status;
    const std::vector<std::string> expected{
        "set,/par/dev/modem/a/imode,rtcm", "dm,/dev/modem/a",
        "set,/par/dev/modem/a/type,off",   "set,/par/dev/modem/a/type,fhin",
        "set,/par/dev/modem/a/ant,ext",    "set,/par/dev/modem/a/pwr,low"};
    EXPECT_EQ(rx.lines, expected);
}

} // namespace
