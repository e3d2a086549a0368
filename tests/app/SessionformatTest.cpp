#include "app/Sessionformat.h"
#include "settings/Settingskeys.h"

#include <gtest/gtest.h>

using namespace telvor;

TEST(Sessionformat, FirmwareVersions) {
    EXPECT_EQ(firmwareVersion("2.0"), 2000);
    EXPECT_EQ(firmwareVersion("2.1"), 2001);
    EXPECT_EQ(firmwareVersion("3.0.5"), 3000);
    EXPECT_EQ(firmwareVersion("2.10 Jan,10,2020"), 2010);
    EXPECT_EQ(firmwareVersion(""), -1);
    EXPECT_EQ(firmwareVersion("21"), -1);
    EXPECT_LE(firmwareVersion("2.0"), kMinFirmwareVersion - 1);
    EXPECT_GE(firmwareVersion("2.1"), kMinFirmwareVersion);
}

TEST(Sessionformat, BaudSearchOrderPutsNineSixHundredTenth) {
    int configured = configuredSpeed("115200");
    std::vector<int> order;
    // Attempt h uses entry h for h <= 13, then cycles through 1..13.
    int index = 0;
    for (int h = 0; h < 16; ++h) {
        order.push_back(baudTableEntry(index, configured));
        index = index >= 13 ? 1 : index + 1;
    }
    EXPECT_EQ(order[0], 115200);
    EXPECT_EQ(order[1], 460800);
    EXPECT_EQ(order[9], 9600); // tenth attempt
    EXPECT_EQ(order[13], 600);
    EXPECT_EQ(order[14], 460800);
    EXPECT_EQ(configuredSpeed("fast"), 115200);
    EXPECT_EQ(configuredSpeed("9600"), 9600);
}

TEST(Sessionformat, MonitoringListsByMode) {
    std::string direct = monitoringMessageList(cmDirect);
    EXPECT_EQ(direct.rfind("/PG,/PV,/DP,/MS,/RT,/RD,/OO,/TT,/XA,/XB,/SG,/GA:0,/NA:0,/SI,", 0), 0u);
    EXPECT_EQ(monitoringMessageList(cmInternetServer), direct);
    std::string client = monitoringMessageList(cmInternetClient);
    EXPECT_NE(client.find(",/SI:2,"), std::string::npos);
    EXPECT_EQ(client.substr(client.size() - 6), ",/EE:2");
    EXPECT_EQ(client.find("/GA"), std::string::npos);
}

TEST(Sessionformat, StatusPanel) {
    TPanelInfo p;
    p.port = "/dev/ttyUSB0";
    p.serial = true;
    p.speed = "115200";
    p.rtscts = true;
    EXPECT_EQ(statusPanelText(p), "/dev/ttyUSB0, 115200, HS");
    p.port = "ETHR";
    p.serial = false;
    p.ethrHost = "10.1.1.2";
    EXPECT_EQ(statusPanelText(p), "Ethr, 10.1.1.2");
    p.port = "USB Rcv_1";
    EXPECT_EQ(statusPanelText(p), "USB");
    p.mode = cmRadioModem;
    p.port = "COM2";
    p.irda = true;
    EXPECT_EQ(statusPanelText(p), "COM2, 115200, HS, IR, RM");
    p.mode = cmInternetClient;
    p.host = "base.example";
    p.tcpPort = 8000;
    EXPECT_EQ(statusPanelText(p), "base.example:8000");
    p.mode = cmInternetServer;
    EXPECT_EQ(statusPanelText(p), "server:8000");
    p.mode = cmConnected;
    EXPECT_EQ(statusPanelText(p), "Connected");
}

TEST(Sessionformat, Titles) {
    TTitleInfo t;
    EXPECT_EQ(windowTitle(t), "Telvor (idle)");
    t.connected = true;
    t.model = "MX9";
    t.id = "ABC";
    t.firmware = "3.1";
    t.rover = true;
    EXPECT_EQ(windowTitle(t), "Telvor to MX9 ID:ABC  (rover)");
    EXPECT_EQ(plotTitleSuffix(t), " MX9 ID:ABC  (rover)");
    t.details = true;
    t.server = true;
    t.sharingStatus = "Client connected";
    EXPECT_EQ(windowTitle(t), "Telvor [Model:MX9 ID:ABC Firmware:3.1] Server Client connected");
}

TEST(Sessionformat, ElapsedTime) {
    EXPECT_EQ(elapsedText(0), "00:00:00");
    EXPECT_EQ(elapsedText(3661), "01:01:01");
    EXPECT_EQ(elapsedText(25 * 3600 - 1), "24:59:59");
    EXPECT_EQ(elapsedText(25 * 3600), "1 day 01:00:00");
    EXPECT_EQ(elapsedText(2 * 86400 + 59), "2 days 00:00:59");
}
