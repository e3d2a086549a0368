// The TCP/IP status window in the main window.
#include "app/Sharingwindow.h"

#include "app/Appinfo.h"
#include "app/Commconfig.h"
#include "app/Mainwindow.h"
#include "protocol/Commtools.h"
#include "server/Sharingpacket.h"
#include "server/Tcpwindow.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"

namespace telvor {
namespace {

class TWindowSharing : public TSharingHook, public TSharingControl {
public:
    TWindowSharing(TMainWindow& main, TProfile& profile)
        : main_(main), profile_(profile), window_(profile) {
        window_.sharing().setHooks(withSessionHooks(window_.sharing()));
        // The connection dialog's Password field works once it can store the password.
        setServerPasswordCodec(
            {[](const std::string& plain) { return encodeStoredPassword(plain); },
             [](const std::string& stored) { return decodeStoredPassword(stored).value_or(""); }});
        main_.session().setSharing(this);
        main_.setServerStarter([this] { startServer(); });
    }
    ~TWindowSharing() override {
        main_.setServerStarter(nullptr);
        main_.session().setSharing(nullptr);
        setServerPasswordCodec({});
    }

    void show() override { window_.show(); }
    void startClient() override {
        TTCPSharing& s = window_.sharing();
        s.configure(config());
        s.AttemptClient();
    }
    bool linkUp() const override { return window_.sharing().linkUp(); }
    bool latencyKnown() const override { return window_.sharing().latencyKnown(); }
    bool clientConnected() const override { return window_.sharing().ClientConnected(); }
    std::string statusText() const override { return window_.sharing().atText(); }
    std::string searchFailure() const override { return window_.sharing().clientFailure(); }

private:
    TSharingConfig config() const {
        TSharingConfig c = readSharingConfig(profile_);
        c.greeting = sharingGreeting();
        return c;
    }
    void startServer() {
        TTCPSharing& s = window_.sharing();
        s.configure(config());
        window_.show();
        s.StartSharing(TTCPSharing::TRole::Server);
        profile_.write(keys::CommConnectionType, int(cmInternetServer));
        profile_.write(keys::CommAutoServer, true);
    }

    TTCPSharing::THooks withSessionHooks(TTCPSharing& s) {
        TTCPSharing::THooks hooks = s.hooks();
        hooks.clientsChanged = [this] {
            TSession& session = main_.session();
            if (session.connected())
                session.setDisplayData(session.displayData());
        };
        hooks.serverLost = [this] { main_.post(TSessionCommand::Disconnect); };
        hooks.beforeRestart = [this] {
            if (main_.session().connected() && main_.session().displayData())
                SendAndWait("####\n%%dm", 2000);
        };
        return hooks;
    }

    TMainWindow& main_;
    TProfile& profile_;
    mutable TTCPWindow window_;
};

} // namespace

std::unique_ptr<TSharingHook> hookSharing(TMainWindow& main, TProfile& profile) {
    return std::make_unique<TWindowSharing>(main, profile);
}

} // namespace telvor
