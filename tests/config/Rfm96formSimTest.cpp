// The RFM96 window offscreen against telvor-sim with a modem on port B: Connect finds it,
// Refresh and Apply go through the buttons, Disconnect leaves the receiver's ports as they were.
#include "config/Radiotesting.h"
#include "support/Qtapp.h"
#include "support/Simsession.h"

#include "app/Qtbridge.h"
#include "config/Rfm96configform.h"
#include "protocol/Commtools.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>

using namespace telvor;
using telvor::testing::findWidget;

namespace {

class Rfm96formSim : public telvor::testing::TSimSessionFixture {
protected:
    Rfm96formSim() : TSimSessionFixture("telvor-radioform") {}
    void SetUp() override {
        TSimSessionFixture::SetUp();
        options = telvor::testing::modemReceiverOptions();
    }
    std::map<std::string, std::string> ports() { return telvor::testing::receiverPorts(*sim); }

    telvorsim::TSimOptions options;
    QApplication& app = telvor::testing::qtApp();
    // The window's waits keep its events running, as in the program.
    TQtBridge bridge;
};

TEST_F(Rfm96formSim, ConnectRefreshApplyAndDisconnectLeaveTheReceiverAsItWas) {
    ASSERT_NO_FATAL_FAILURE(connectPaused(options));
    ASSERT_EQ(SendAndWait("%%em,/dev/ser/b,vxr{/PG:1}", 2000), TReply::RE);
    const auto before = ports();

    TRFM96RadioConfigForm form(true, nullptr, telvor::testing::quickRadioTiming());
    form.show();
    auto* pages = findWidget<QTabWidget>(form, "PageControl");
    auto* status = findWidget<QLabel>(form, "StatusLabel");
    ASSERT_TRUE(findWidget<QPushButton>(form, "ConnectButton")->isEnabled());
    EXPECT_EQ(findWidget<QComboBox>(form, "ModemPortComboBox")->currentText(), "B");
    findWidget<QComboBox>(form, "ModemSpeedComboBox")->setCurrentText("19200");

    findWidget<QPushButton>(form, "ConnectButton")->click();
    ASSERT_TRUE(pages->isTabEnabled(1)) << status->text().toStdString();
    EXPECT_FALSE(pages->isTabEnabled(0));
    EXPECT_EQ(pages->currentIndex(), 1);
    EXPECT_EQ(findWidget<QLabel>(form, "SerialLabel")->text(),
              "S/N: " + QString::number(0x00A1B2C3));
    EXPECT_EQ(findWidget<QListWidget>(form, "ChannelList")->count(), 16);
    EXPECT_EQ(findWidget<QComboBox>(form, "DCESpeedComboBox")->currentText(), "19200");
    EXPECT_FALSE(findWidget<QPushButton>(form, "ApplyButton")->isEnabled())
        << "nothing changed yet";

    findWidget<QComboBox>(form, "ChannelComboBox")->setCurrentIndex(6);
    EXPECT_TRUE(findWidget<QPushButton>(form, "ApplyButton")->isEnabled());
    findWidget<QPushButton>(form, "ApplyButton")->click();
    EXPECT_EQ(status->text(), "OK");
    EXPECT_EQ(sim->modemValue(4), 6);

    // Refresh reads back what was written, and the dump shows the registers.
    findWidget<QComboBox>(form, "ChannelComboBox")->setCurrentIndex(0);
    findWidget<QPushButton>(form, "RefreshButton")->click();
    EXPECT_EQ(findWidget<QComboBox>(form, "ChannelComboBox")->currentIndex(), 6);
    findWidget<QPushButton>(form, "DebugRefreshButton")->click();
    EXPECT_TRUE(
        findWidget<QPlainTextEdit>(form, "DebugMemo")->toPlainText().startsWith("0000: 00 A1"));

    findWidget<QPushButton>(form, "ConfigExitButton")->click();
    EXPECT_TRUE(pages->isTabEnabled(0));
    EXPECT_FALSE(pages->isTabEnabled(1));
    EXPECT_FALSE(findWidget<QPushButton>(form, "ConfigExitButton")->isEnabled());
    EXPECT_FALSE(sim->modemCommandMode());
    EXPECT_EQ(ports(), before);
    EXPECT_TRUE(form.OnCloseQuery()) << "the chain is down: nothing to ask";
    EXPECT_EQ(SendAndWait("%%print,/par/rcv/model", 2000), TReply::RE);
}

// The modem is switched off and on while the window probes; Stop stays usable during it.
TEST_F(Rfm96formSim, PowerCycleFindsTheModemWhileTheWindowProbes) {
    ASSERT_NO_FATAL_FAILURE(connectPaused(options));
    const auto before = ports();
    TRFM96RadioConfigForm form(false, nullptr, telvor::testing::quickRadioTiming());
    form.show();
    auto* status = findWidget<QLabel>(form, "StatusLabel");
    findWidget<QRadioButton>(form, "PowerCycleRadioButton")->setChecked(true);
    EXPECT_FALSE(findWidget<QComboBox>(form, "ModemSpeedComboBox")->isEnabled());

    bool switched = false, stopUsable = false;
    QTimer hand;
    QObject::connect(&hand, &QTimer::timeout, [&] {
        if (!switched && status->text() == "Looking for modem...") {
            stopUsable = findWidget<QPushButton>(form, "StopButton")->isEnabled();
            switched = sim->powerCycleModem();
        }
    });
    hand.start(10);
    findWidget<QPushButton>(form, "ConnectButton")->click();
    hand.stop();
    ASSERT_TRUE(switched) << status->text().toStdString();
    EXPECT_TRUE(stopUsable);
    EXPECT_TRUE(findWidget<QTabWidget>(form, "PageControl")->isTabEnabled(1))
        << status->text().toStdString();
    EXPECT_EQ(findWidget<QListWidget>(form, "ChannelList")->count(), 16);

    findWidget<QPushButton>(form, "ConfigExitButton")->click();
    EXPECT_FALSE(sim->modemCommandMode());
    EXPECT_EQ(ports(), before);
}

} // namespace
