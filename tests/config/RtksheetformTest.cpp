// The Tavrex, Base, Rover, Ports and Advanced sheets offscreen: bound by name, the GLONASS
// position shown only when the positions are set separately, and a failing sub-page brought
// to the front through both notebooks.
#include "config/Fakereceiver.h"
#include "config/Receiverconfigform.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>

#include <gtest/gtest.h>

using namespace telvor;
using telvor::testing::TFakeReceiver;

namespace {

class RtksheetformTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char arg0[] = "test";
        static char* argv[] = {arg0, nullptr};
        if (!QApplication::instance())
            new QApplication(argc, argv);
    }
    void SetUp() override {
        rx.values = {{"/cur/term", "/dev/ser/a"},
                     {"/par/opts/cur/RS_B", "1"},
                     {"/par/dev/ser/b/rate", "9600"},
                     {"/par/dev/ser/b/imode", "cmd"},
                     {"/par/dev/ser/b/rtscts", "off"},
                     {"/par/out/dev/ser/b:on", "{}"},
                     {"/par/ref/pos/gps/geo", "{W84,S33d52m04.1234s,W151d12m30.5s,-12.25}"},
                     {"/par/raw/pll/band", "25"}};
    }
    template <class W> W* find(QWidget& form, const char* name) { return form.findChild<W*>(name); }
    TFakeReceiver rx;
};

TEST_F(RtksheetformTest, SheetsShowWhatThePagesRead) {
    TReceiverConfigForm form(rx, rx);
    auto* tabs = find<QTabWidget>(form, "ConfigPages");
    for (int i = 0; i < tabs->count(); ++i)
        EXPECT_TRUE(tabs->isTabEnabled(i)) << tabs->tabText(i).toStdString();
    EXPECT_EQ(find<QComboBox>(form, "LatComboBox")->currentText(), "S");
    EXPECT_EQ(find<QLineEdit>(form, "LatSEdit")->text(), "04.1234");
    EXPECT_EQ(find<QComboBox>(form, "Port_B_Out_Mode")->currentText(), "None");
    EXPECT_EQ(find<QComboBox>(form, "PortBBaudRateComboBox")->currentText(), "9600");
    EXPECT_FALSE(find<QWidget>(form, "Port_C_Inp_Mode")->isEnabled());
    EXPECT_EQ(find<QLineEdit>(form, "PLLBandwidthEdit")->text(), "25");

    auto* gln = find<QGroupBox>(form, "BaseGLNPositionSheet");
    EXPECT_TRUE(gln->isHidden());
    EXPECT_EQ(find<QGroupBox>(form, "BaseGPSPositionSheet")->title(), "GPS/GLO");
    find<QRadioButton>(form, "GPSGLNSeparatelyRadioButton")->click();
    EXPECT_FALSE(gln->isHidden());
    EXPECT_EQ(find<QGroupBox>(form, "BaseGPSPositionSheet")->title(), "GPS");
}

TEST_F(RtksheetformTest, AFailingSubPageComesToTheFront) {
    TReceiverConfigForm form(rx, rx);
    auto* tabs = find<QTabWidget>(form, "ConfigPages");
    tabs->setCurrentIndex(0);
    find<QComboBox>(form, "PortBBaudRateComboBox")->setCurrentText("19200");
    rx.refused.insert("/par/dev/ser/b/rate");
    find<QPushButton>(form, "SerialApplyButton")->click();
    EXPECT_EQ(tabs->currentWidget()->objectName(), "Ports");
    EXPECT_EQ(find<QTabWidget>(form, "PortsPageControl")->currentWidget()->objectName(), "Serial");
    EXPECT_EQ(find<QStatusBar>(form, "StatusBar")->currentMessage(),
              "Can't set baud rate for /dev/ser/b");

    auto* pll = find<QLineEdit>(form, "PLLBandwidthEdit");
    pll->setText("50.5");
    emit pll->textEdited(pll->text()); // as typed by the user
    find<QPushButton>(form, "AdvLoopsApplyButton")->click();
    EXPECT_EQ(tabs->currentWidget()->objectName(), "Advanced");
    EXPECT_EQ(find<QStatusBar>(form, "StatusBar")->currentMessage(),
              "Value out of range (2 .. 50) for PLL bandwidth");
}

} // namespace
