// The RFM96 window's rules against telvor-sim with a modem on port B: both ways of finding it,
// every parameter read and written through the daisy chain, and the receiver's ports exactly
// as they were once the chain is left.
#include "config/Radiotesting.h"
#include "support/Simsession.h"

#include "config/Rfm96config.h"
#include "protocol/Commtools.h"
#include "sim/Receiver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

using namespace telvor;

namespace {

class TRecordingView : public TRadioView {
public:
    void setStatus(const std::string& text) override {
        statuses.push_back(text);
        if (onStatus)
            onStatus(text);
    }
    bool saw(const std::string& text) const {
        return std::find(statuses.begin(), statuses.end(), text) != statuses.end();
    }
    std::vector<std::string> statuses;
    std::function<void(const std::string&)> onStatus;
};

int row(const char* name) {
    return modemRowIndex(name);
}

class RadioSimTest : public telvor::testing::TSimSessionFixture {
protected:
    RadioSimTest() : TSimSessionFixture("telvor-radio") {}
    void SetUp() override {
        TSimSessionFixture::SetUp();
        options = telvor::testing::modemReceiverOptions();
    }
    void start() {
        ASSERT_NO_FATAL_FAILURE(connectPaused(options));
        // A base sending corrections to its radio: the chain must not lose them.
        ASSERT_EQ(SendAndWait("%%em,/dev/ser/b,vxr{/PG:1}", 2000), TReply::RE);
        before = snapshot();
        config = std::make_unique<TRfm96Config>(view, telvor::testing::quickRadioTiming());
        ASSERT_TRUE(config->prepare());
        EXPECT_EQ(config->port(), 'b');
    }
    std::map<std::string, std::string> snapshot() { return telvor::testing::receiverPorts(*sim); }
    // Leaves the modem and the chain and checks the receiver is as it was.
    void disconnectAndCompare() {
        ASSERT_TRUE(config->OnConfigExitClick()) << view.statuses.back();
        EXPECT_FALSE(config->connected());
        EXPECT_FALSE(sim->modemCommandMode());
        EXPECT_EQ(snapshot(), before);
        EXPECT_EQ(SendAndWait("%%print,/par/rcv/model", 2000), TReply::RE);
        EXPECT_EQ(profile->read(keys::CommBaud), std::to_string(sim->rate()));
    }

    telvorsim::TSimOptions options;
    TRecordingView view;
    std::unique_ptr<TRfm96Config> config;
    std::map<std::string, std::string> before;
};

TEST_F(RadioSimTest, AutoSearchFindsTheModemReadsAndWritesEveryRowAndRestoresThePorts) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(config->OnConnectClick()) << view.statuses.back();
    EXPECT_TRUE(view.saw("Trying 38400...")) << "38400 was tried first and gave no answer";
    EXPECT_TRUE(view.saw("Trying 19200..."));
    EXPECT_EQ(config->chain().speed(), 19200u);
    EXPECT_EQ(sim->param("/par/dev/ser/b/rate"), "19200");

    EXPECT_EQ(config->serialText, std::to_string(0x00A1B2C3));
    ASSERT_EQ(config->channels.size(), 16u);
    EXPECT_EQ(config->channels[0], "0: 450.0000 MHz");
    EXPECT_EQ(config->channels[15], "15: 450.3750 MHz");
    EXPECT_EQ(config->temperatureText, "T=31 C");
    EXPECT_EQ(config->voltageText, "DC=12.40V");
    EXPECT_EQ(config->index[row("EOT")], 10);
    EXPECT_EQ(config->index[row("DCE-DTE speed")], 1);
    EXPECT_EQ(config->index[row("Protocol")], 4);
    EXPECT_EQ(config->index[row("RF link speed")], 1);
    EXPECT_TRUE(
        std::all_of(config->enabled.begin(), config->enabled.end(), [](bool b) { return b; }));

    config->index[row("Channel number")] = 5;
    config->index[row("EOT")] = 13;
    config->index[row("Dest. Address")] = 7;
    config->index[row("Protocol")] = 2;
    config->breakToCommand = true;
    ASSERT_TRUE(config->OnApplyClick()) << view.statuses.back();
    EXPECT_TRUE(view.saw("Programming the modem..."));
    EXPECT_EQ(view.statuses.back(), "OK");
    EXPECT_EQ(sim->modemValue(4), 5);
    EXPECT_EQ(sim->modemValue(14), 13);
    EXPECT_EQ(sim->modemValue(21), 7);
    EXPECT_EQ(sim->modemValue(8), 0x82);
    EXPECT_EQ(sim->modemRegister(0x10), 0x82);

    const auto dump = config->OnDebugRefreshClick();
    ASSERT_EQ(dump.size(), 5u);
    EXPECT_EQ(dump[0].substr(0, 20), "0000: 00 A1 B2 C3 00");
    EXPECT_EQ(dump[1].substr(0, 5), "0010:");
    EXPECT_EQ(dump[1].substr(6, 2), "82");

    ASSERT_NO_FATAL_FAILURE(disconnectAndCompare());
    // Stored: the values survive switching the modem off and on.
    sim->powerCycleModem();
    EXPECT_EQ(sim->modemValue(4), 5);
}

TEST_F(RadioSimTest, ApplyingAnotherSpeedReentersTheChainAtIt) {
    ASSERT_NO_FATAL_FAILURE(start());
    config->searchSpeed = 19200;
    ASSERT_TRUE(config->OnConnectClick()) << view.statuses.back();
    EXPECT_FALSE(view.saw("Trying 38400..."));
    config->index[row("DCE-DTE speed")] = 2; // 9600
    ASSERT_TRUE(config->OnApplyClick()) << view.statuses.back();
    EXPECT_EQ(sim->modemValue(2), 1);
    EXPECT_EQ(config->chain().speed(), 9600u);
    EXPECT_EQ(sim->param("/par/dev/ser/b/rate"), "9600");
    EXPECT_EQ(sim->rate(), 9600u);
    // Still talking to the modem at the new speed.
    ASSERT_TRUE(config->OnRefreshClick()) << view.statuses.back();
    EXPECT_EQ(config->index[row("DCE-DTE speed")], 2);
    ASSERT_NO_FATAL_FAILURE(disconnectAndCompare());
}

TEST_F(RadioSimTest, PowerCycleFindsTheModemAsItStarts) {
    ASSERT_NO_FATAL_FAILURE(start());
    config->powerCycle = true;
    view.onStatus = [this](const std::string& text) {
        if (text == "Looking for modem...")
            sim->powerCycleModem();
    };
    ASSERT_TRUE(config->OnConnectClick()) << view.statuses.back();
    EXPECT_EQ(config->chain().speed(), 9600u);
    EXPECT_EQ(config->index[row("DCE-DTE speed")], 1) << "its own speed is still 19200";
    ASSERT_NO_FATAL_FAILURE(disconnectAndCompare());
}

TEST_F(RadioSimTest, PowerCycleWithoutAModemTimesOutAndLeavesTheChain) {
    options.modemPort.clear();
    ASSERT_NO_FATAL_FAILURE(start());
    config->powerCycle = true;
    EXPECT_FALSE(config->OnConnectClick());
    EXPECT_EQ(view.statuses.back(), "Modem not found");
    EXPECT_FALSE(config->connected());
    EXPECT_EQ(snapshot(), before);
}

TEST_F(RadioSimTest, StopDuringTheSearchAbortsAndRestoresThePorts) {
    ASSERT_NO_FATAL_FAILURE(start());
    view.onStatus = [this](const std::string& text) {
        if (text == "Trying 38400...")
            config->OnStopClick();
    };
    EXPECT_FALSE(config->OnConnectClick());
    EXPECT_TRUE(view.saw("Aborting..."));
    EXPECT_EQ(view.statuses.back(), "Aborted");
    EXPECT_FALSE(view.saw("Trying 19200..."));
    EXPECT_FALSE(config->connected());
    EXPECT_EQ(snapshot(), before);
}

TEST_F(RadioSimTest, SearchAtAWrongSpeedSaysSoAndRestoresThePorts) {
    ASSERT_NO_FATAL_FAILURE(start());
    config->searchSpeed = 4800;
    EXPECT_FALSE(config->OnConnectClick());
    EXPECT_EQ(view.statuses.back(), "Modem not found");
    EXPECT_EQ(snapshot(), before);
}

TEST_F(RadioSimTest, UnknownAndUnreadValuesAreReportedAndNotWrittenBack) {
    options.modem.mute = {85}; // the CSMA query
    ASSERT_NO_FATAL_FAILURE(start());
    sim->setModemValue(10, 7); // FEC: no such entry
    config->searchSpeed = 19200;
    EXPECT_FALSE(config->OnConnectClick());
    EXPECT_TRUE(view.saw("Unknown value for FEC reported (7)"));
    EXPECT_EQ(view.statuses.back(), "Can't query CSMA");
    EXPECT_FALSE(config->enabled[row("FEC")]);
    EXPECT_FALSE(config->enabled[row("CSMA")]);
    EXPECT_TRUE(config->enabled[row("Scrambling")]);
    EXPECT_FALSE(config->enabled[row("Protocol")]) << "not read: the refresh stopped before it";

    config->index[row("Channel number")] = 3;
    ASSERT_TRUE(config->OnApplyClick()) << view.statuses.back();
    EXPECT_EQ(sim->modemValue(4), 3);
    EXPECT_EQ(sim->modemValue(10), 7) << "a row that was not shown is not written";
    ASSERT_NO_FATAL_FAILURE(disconnectAndCompare());
}

} // namespace
