// The session against the simulated receiver (pty and Ethernet) and against small fake links
// for what a pty cannot show (a receiver behind a rate divider, a receiver that never answers).
#include "support/Eventually.h"
#include "support/Fakeview.h"
#include "support/Simsession.h"

#include "app/Maintenance.h"
#include "app/Session.h"
#include "links/Portio.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "settings/Profile.h"
#include "sim/Receiver.h"

#include <arpa/inet.h>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace telvor;
using telvor::test::TFakeView;

namespace {

bool eventually(const std::function<bool()>& done, int ms = 3000) {
    return telvor::testing::eventually(done, ms);
}

class SessionTest : public telvor::testing::TSimSessionFixture {
protected:
    // A receiver on a pty with epochs 200 ms apart; the settings name its slave.
    void startSim(telvorsim::TSimOptions options = {}) {
        options.epochWallMs = 200;
        TSimSessionFixture::startSim(options);
    }
    std::string param(const std::string& path) { return sim->param(path).value_or("<none>"); }
    bool simGot(const std::string& fragment) {
        for (const auto& c : sim->commands())
            if (c.find(fragment) != std::string::npos)
                return true;
        return false;
    }
};

TEST_F(SessionTest, ConnectMonitorPauseResumeDisconnect) {
    startSim();
    const std::string mask = param("/par/out/elm/cur/term");
    ASSERT_TRUE(session->connect()) << session->lastError();

    EXPECT_EQ(view.dialogs, 1);
    EXPECT_EQ(view.count("Trying"), 0);
    EXPECT_EQ(view.panel, port + ", 115200");
    EXPECT_EQ(view.title, "Telvor to VORNA ID:8PZCRG4KZ7E ");
    EXPECT_EQ(view.statusLine, "");
    EXPECT_TRUE(view.items[TMenuItem::Disconnect]);
    EXPECT_FALSE(view.items[TMenuItem::Connect]);
    EXPECT_TRUE(view.items[TMenuItem::ResetReceiver]);
    EXPECT_TRUE(view.items[TMenuItem::Plots]);
    EXPECT_TRUE(view.monitorTimer);
    EXPECT_EQ(commState().inputMode.load(), TInputMode::Monitoring);
    EXPECT_EQ(session->firmwareVersion(), 3001);
    EXPECT_EQ(session->identity().port, "/dev/ser/a");
    EXPECT_EQ(session->elevationMask(), mask);
    EXPECT_EQ(param("/par/out/elm/cur/term"), "-90");
    EXPECT_TRUE(eventually([&] { return !sim->enabledMessages().empty(); }));

    // Another window takes the dialogue: messages off, the receiver's mask back.
    EXPECT_EQ(session->pauseMonitoring(), "");
    EXPECT_TRUE(sim->enabledMessages().empty());
    EXPECT_EQ(param("/par/out/elm/cur/term"), mask);
    EXPECT_EQ(commState().inputMode.load(), TInputMode::Idle);
    EXPECT_EQ(session->resumeMonitoring(), "");
    EXPECT_EQ(param("/par/out/elm/cur/term"), "-90");
    EXPECT_FALSE(sim->enabledMessages().empty());

    session->disconnect();
    EXPECT_EQ(CurrentConnection, nullptr);
    EXPECT_EQ(view.panel, "Disconnected");
    EXPECT_EQ(view.title, "Telvor (idle)");
    EXPECT_TRUE(view.items[TMenuItem::Connect]);
    EXPECT_FALSE(view.items[TMenuItem::ResetReceiver]);
    EXPECT_TRUE(eventually([&] { return param("/par/out/elm/cur/term") == mask; }));
    EXPECT_TRUE(eventually([&] { return sim->enabledMessages().empty(); }));
}

// The plots' position mask is read again when monitoring stops, not only when it starts.
TEST_F(SessionTest, PositionMaskIsReadWhenMonitoringStops) {
    startSim();
    ASSERT_TRUE(session->connect()) << session->lastError();
    ASSERT_EQ(view.elevationMasks.size(), 1u);
    ASSERT_EQ(SendAndWait("%%set,/par/pos/elm,12", 2000), TReply::RE);
    EXPECT_EQ(session->pauseMonitoring(), "");
    ASSERT_EQ(view.elevationMasks.size(), 2u);
    EXPECT_EQ(view.elevationMasks.back(), 12);
    session->disconnect();
}

TEST_F(SessionTest, SlowReceiverIsFoundOnTheTenthAttemptAndSwitchedBackOnDisconnect) {
    telvorsim::TSimOptions options;
    options.baud = 9600;
    startSim(options);
    profile->write(keys::ReceiverRememberSpeed, true);
    ASSERT_TRUE(session->connect()) << session->lastError();

    EXPECT_EQ(view.count("Trying "), 9); // attempts 2..10
    EXPECT_TRUE(view.saw("Trying 9600"));
    EXPECT_FALSE(view.saw("Trying 4800"));
    EXPECT_TRUE(view.saw("Found at 9600"));
    EXPECT_TRUE(view.saw("Switched to 115200"));
    EXPECT_EQ(session->initialRate(), "9600");
    EXPECT_EQ(session->speedDivisor(), 1);
    EXPECT_EQ(session->pcSpeed(), 115200u);
    EXPECT_EQ(sim->rate(), 115200u);
    EXPECT_FALSE(view.searchShown);

    // The receiver is told its old rate as the link closes.
    session->disconnect();
    EXPECT_TRUE(eventually([&] { return simGot("set,cur/term/rate,9600"); }));
    EXPECT_TRUE(eventually([&] { return sim->rate() == 9600u; }));
}

TEST_F(SessionTest, FirmwareTwoPointZeroIsRefused) {
    for (const char* fw : {"2.0", "2.1", "3.0.5"}) {
        SCOPED_TRACE(fw);
        telvorsim::TSimOptions options;
        options.firmware = fw;
        startSim(options);
        view.boxes.clear();
        bool up = session->connect();
        if (std::string(fw) == "2.0") {
            EXPECT_FALSE(up);
            EXPECT_EQ(view.statusLine, "Unsupported firmware version");
            ASSERT_EQ(view.boxes.size(), 1u);
            EXPECT_EQ(view.boxes[0].title, "ERROR");
            EXPECT_EQ(view.boxes[0].text.rfind("Telvor require firmware version 2.1 or later.\n"
                                               "Please update your receiver firmware from\n",
                                               0),
                      0u);
            EXPECT_EQ(CurrentConnection, nullptr);
            EXPECT_TRUE(view.menusEnabled);
        } else {
            EXPECT_TRUE(up) << session->lastError();
            EXPECT_TRUE(view.boxes.empty());
            session->disconnect();
        }
        sim->stop();
    }
}

TEST_F(SessionTest, PassiveModeLeavesTheMaskAlone) {
    startSim();
    profile->write(keys::ReceiverElevMask, "");
    const std::string mask = param("/par/out/elm/cur/term");
    ASSERT_TRUE(session->connect());
    EXPECT_EQ(param("/par/out/elm/cur/term"), mask);
    session->pauseMonitoring();
    session->resumeMonitoring();
    session->disconnect();
    EXPECT_FALSE(simGot("elm/cur/term,"));
    EXPECT_EQ(param("/par/out/elm/cur/term"), mask);
}

TEST_F(SessionTest, MissingPortEndsWithTheLinkText) {
    profile->write(keys::CommPort, "/dev/telvor-no-such-port");
    EXPECT_FALSE(session->connect());
    EXPECT_EQ(view.status.size(), 1u);
    EXPECT_EQ(view.statusLine.rfind("Open /dev/telvor-no-such-port port failed: ", 0), 0u);
    EXPECT_EQ(CurrentConnection, nullptr);
}

// A Connect that arrives while one runs (events are pumped inside it) starts nothing.
TEST_F(SessionTest, ConnectDoesNotReenter) {
    startSim();
    int inner = -1;
    view.onDialog = [&] { inner = session->connect() ? 1 : 0; };
    ASSERT_TRUE(session->connect()) << session->lastError();
    EXPECT_EQ(inner, 0);
    EXPECT_EQ(view.dialogs, 1);
    EXPECT_FALSE(session->busy());
    session->disconnect();
}

TEST_F(SessionTest, CancelledDialogConnectsNothing) {
    view.dialogAnswer = false;
    profile->write(keys::RealTimeAutoRun, false);
    EXPECT_FALSE(session->connect());
    EXPECT_EQ(CurrentConnection, nullptr);
    EXPECT_TRUE(view.status.empty());
    EXPECT_TRUE(view.items[TMenuItem::Plots]); // off only while the connect ran
}

// ---------------------------------------------------------------------------------------------
// Ethernet

class EthernetTest : public SessionTest {
protected:
    void startEthernet(const std::string& password) {
        telvorsim::TSimOptions options;
        options.password = password;
        sim = std::make_unique<telvorsim::TSimReceiver>(options);
        tcpPort = sim->startTcp(0);
        ASSERT_GT(tcpPort, 0) << sim->lastError();
        profile->write(keys::CommPort, "ETHR");
        profile->write(keys::CommEthrDHost, "127.0.0.1");
        profile->write(keys::CommEthrDTCPPort, tcpPort);
    }
    int tcpPort = 0;
};

TEST_F(EthernetTest, LoginSucceeds) {
    startEthernet("secret");
    profile->write(keys::CommEthrDPassw, "secret");
    ASSERT_TRUE(session->connect()) << session->lastError();
    EXPECT_TRUE(sim->loggedIn());
    EXPECT_TRUE(view.saw("Looking for receiver..."));
    EXPECT_TRUE(view.saw("Waiting for receiver..."));
    EXPECT_EQ(view.panel, "Ethr, 127.0.0.1");
    EXPECT_EQ(profile->read(keys::CommTerminal), false);
}

// A sharing server for a receiver on Ethernet logs in as Direct does; without the login its
// receiver never answers.
TEST_F(EthernetTest, InternetServerLogsIn) {
    startEthernet("secret");
    profile->write(keys::CommEthrDPassw, "secret");
    profile->write(keys::CommConnectionType, int(cmInternetServer));
    ASSERT_TRUE(session->connect()) << session->lastError();
    EXPECT_TRUE(sim->loggedIn());
    EXPECT_EQ(view.posted, std::vector<TSessionCommand>{TSessionCommand::StartServer});
}

TEST_F(EthernetTest, WrongPasswordIsRejected) {
    startEthernet("secret");
    profile->write(keys::CommEthrDPassw, "guess");
    EXPECT_FALSE(session->connect());
    EXPECT_EQ(view.statusLine, "Error: Login incorrect");
    EXPECT_EQ(CurrentConnection, nullptr);
}

TEST_F(EthernetTest, BusyReceiverRefuses) {
    startEthernet("");
    // Someone else holds the receiver's only connection.
    int other = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(std::uint16_t(tcpPort));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(other, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_TRUE(eventually([&] { return sim->peerConnected(); }));
    EXPECT_FALSE(session->connect());
    EXPECT_EQ(view.statusLine, "Error: Connection refused");
    ::close(other);
}

// ---------------------------------------------------------------------------------------------
// Fake links

// Answers every command line like a receiver would (id echo + value), from a table.
class TScriptedLink : public TReceiverConnection {
public:
    TScriptedLink(std::uint8_t kind, std::vector<std::uint32_t>& speeds)
        : TReceiverConnection(kind), speeds_(speeds) {}
    std::function<std::string(const std::string& command)> answer; // "" = no reply
    int Read(std::uint8_t*, int) override { return 0; }
    void WaitEvent(std::uint32_t& word) override { word = 0; }
    bool SetSpeed(std::uint32_t bps) override {
        speeds_.push_back(bps);
        Speed = bps;
        return true;
    }
    int Write(const std::uint8_t* bytes, int count) override {
        std::string text(reinterpret_cast<const char*>(bytes), std::size_t(count));
        for (std::size_t pos = 0; pos < text.size();) {
            std::size_t end = text.find("\r\n", pos);
            if (end == std::string::npos)
                break;
            std::string line = text.substr(pos, end - pos);
            pos = end + 2;
            if (auto at = line.rfind('@'); at != std::string::npos && at + 3 == line.size())
                line.erase(at);
            std::string id;
            if (line.size() > 1 && line[0] == '%') {
                std::size_t close = line.find('%', 1);
                id = line.substr(0, close + 1);
                line.erase(0, close + 1);
            }
            if (!answer)
                continue;
            std::string value = answer(line);
            if (value == "-")
                continue;
            std::string body = id + value + "\n";
            char head[8];
            std::snprintf(head, sizeof head, "RE%03X", unsigned(body.size()));
            std::string reply = head + body;
            Input.Append(reply.data(), int(reply.size()));
        }
        return count;
    }

private:
    std::vector<std::uint32_t>& speeds_;
};

class FakeLinkTest : public SessionTest {
protected:
    void useLink(std::uint8_t kind,
                 std::function<std::string(TScriptedLink&, const std::string&)> answer) {
        session->setLinkFactory([this, kind, answer](const std::string&, const TLinkSettings&) {
            auto* link = new TScriptedLink(kind, speeds);
            if (answer)
                link->answer = [link, answer](const std::string& c) { return answer(*link, c); };
            CurrentConnection = link;
            return std::string();
        });
    }
    std::vector<std::uint32_t> speeds;
};

// A receiver behind a 4:1 rate divider: it reports 460800 while the PC talks at 115200.
TEST_F(FakeLinkTest, RateDividerIsHonoured) {
    useLink(kLinkSerial, [](TScriptedLink& link, const std::string& c) -> std::string {
        if (c == "print,cur/term/rate")
            return link.GetSpeed() == 115200 ? "460800" : "115200";
        if (c == "print,/par/rcv/ver/main")
            return "3.1";
        if (c == "dm" && link.GetSpeed() != 115200 && link.GetSpeed() != 28800)
            return "-";
        return "";
    });
    profile->write(keys::CommPort, "/dev/fake");
    ASSERT_TRUE(session->connect()) << session->lastError();
    EXPECT_EQ(session->speedDivisor(), 4);
    EXPECT_EQ(session->initialRate(), "460800");
    // Found at 115200; 28800 checked, back to 115200 for the command, then 28800 for good.
    ASSERT_GE(speeds.size(), 4u);
    EXPECT_EQ(std::vector<std::uint32_t>(speeds.begin(), speeds.begin() + 4),
              (std::vector<std::uint32_t>{115200, 28800, 115200, 28800}));
    EXPECT_TRUE(view.saw("Switched to 115200"));
    EXPECT_EQ(session->pcSpeed(), 28800u);
}

// A receiver that never answers: 65 attempts, then AutoRun starts again at attempt 1.
TEST_F(FakeLinkTest, SearchGivesUpAfter65AttemptsUnlessAutoRun) {
    useLink(kLinkUsb, nullptr);
    session->setSearchPacing(0, 0);
    profile->write(keys::CommPort, "USB");
    profile->write(keys::CommTimeout, 1);
    EXPECT_FALSE(session->connect());
    EXPECT_EQ(view.statusLine, "Can't find receiver");
    EXPECT_EQ(view.progress, 65);
    EXPECT_EQ(view.count("Looking for receiver..."), 64);
    EXPECT_EQ(CurrentConnection, nullptr);

    struct TStopper : TFakeView {
        TSession* session = nullptr;
        std::vector<int> seen;
        void setProgress(int, int position) override {
            seen.push_back(position);
            if (seen.size() > 70)
                session->requestStop();
        }
    } autoView;
    TSession autoSession(*profile, autoView);
    autoView.session = &autoSession;
    autoSession.setLinkFactory([this](const std::string&, const TLinkSettings&) {
        CurrentConnection = new TScriptedLink(kLinkUsb, speeds);
        return std::string();
    });
    autoSession.setSearchPacing(0, 0);
    profile->write(keys::RealTimeAutoRun, true);
    EXPECT_FALSE(autoSession.connect());
    EXPECT_EQ(autoView.dialogs, 0); // AutoRun connects without asking
    EXPECT_FALSE(profile->read(keys::RealTimeAutoRun));
    ASSERT_GT(autoView.seen.size(), 65u);
    EXPECT_EQ(autoView.seen[63], 64);
    EXPECT_EQ(autoView.seen[64], 65);
    EXPECT_EQ(autoView.seen[65], 2); // restarted at 1, then this attempt failed too
    EXPECT_EQ(autoView.statusLine, "Can't find receiver");
}

// ---------------------------------------------------------------------------------------------
// Maintenance

TEST_F(SessionTest, ResetReconnectsAndReports) {
    telvorsim::TSimOptions options;
    options.resetSilenceMs = 300;
    startSim(options);
    ASSERT_TRUE(session->connect());
    TMaintenance maintenance(*session, view);
    view.boxes.clear();
    EXPECT_TRUE(maintenance.resetReceiver());
    EXPECT_EQ(sim->restarts(), 1);
    EXPECT_TRUE(session->connected());
    EXPECT_EQ(view.dialogs, 2); // the reconnect asks again
    ASSERT_EQ(view.boxes.size(), 2u);
    EXPECT_EQ(view.boxes[0].title, "Reset Receiver");
    EXPECT_EQ(view.boxes[0].text,
              "The receiver will be reset.\nIt is necessary to reconnect to the receiver.");
    EXPECT_EQ(view.boxes[1].text, "The receiver has been reset.");
}

TEST_F(SessionTest, ClearNvramWithDefaultRate9600ReconnectsAt9600) {
    telvorsim::TSimOptions options;
    options.defaultBaud = 9600;
    options.resetSilenceMs = 200;
    startSim(options);
    session->setSearchPacing(150, 50);
    ASSERT_TRUE(session->connect());
    TMaintenance maintenance(*session, view);
    view.status.clear();
    maintenance.clearNvram();
    ASSERT_GE(view.boxes.size(), 2u);
    EXPECT_EQ(view.boxes[1].text,
              "The receiver NVRAM cleared!\nWould you like to configure it now?");
    // The PC port followed the receiver to 9600 before the disconnect talked to it.
    auto cmds = sim->commands();
    auto init = std::find_if(cmds.begin(), cmds.end(), [](const std::string& c) {
        return c.find("init,/dev/nvm/a") != std::string::npos;
    });
    ASSERT_NE(init, cmds.end());
    EXPECT_NE(std::find(init, cmds.end(), "dm"), cmds.end());
    EXPECT_TRUE(view.saw("Found at 9600"));
    EXPECT_TRUE(session->connected());
    EXPECT_TRUE(view.posted.empty()); // "No" to configuring now
}

TEST_F(SessionTest, MaintenanceWithoutLink) {
    TMaintenance maintenance(*session, view);
    EXPECT_FALSE(maintenance.resetReceiver());
    EXPECT_EQ(view.statusLine, "Receiver is not connected");
    EXPECT_TRUE(view.boxes.empty());
}

} // namespace
