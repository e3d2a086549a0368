#pragma once
// telvor-cli's end of the sharing protocol: the client behind "--mode client" (every command
// reaches the receiver through a remote Telvor) and the server of `telvor-cli serve`.
#include "app/Session.h"
#include "cli/Commands.h"
#include "server/Tcpsharing.h"

#include <iosfwd>
#include <string>

namespace telvor {

class TProfile;

// The session's view of the client end. A server whose packets never decode (a wrong
// password) and a server that goes away both end the session's waits.
class TCliSharing : public TSharingControl {
public:
    TCliSharing(TProfile& profile, std::ostream& err);

    // Command-line values over telvor.ini; empty/0 keeps the file's.
    void override(const std::string& host, int port, const std::string* password);
    void attach(TSession* session) { session_ = session; }
    // The server was lost or refused us: the command's exit code becomes 1.
    bool failed() const { return failed_; }
    TTCPSharing& sharing() { return sharing_; }

    void show() override {}
    void startClient() override;
    bool linkUp() const override { return sharing_.linkUp(); }
    bool latencyKnown() const override;
    bool clientConnected() const override { return sharing_.ClientConnected(); }
    std::string statusText() const override { return sharing_.atText(); }
    std::string searchFailure() const override { return sharing_.clientFailure(); }

private:
    void fail(const std::string& text) const;

    TTCPSharing sharing_;
    std::ostream& err_;
    TSession* session_ = nullptr;
    mutable bool failed_ = false;
};

int runServe(TCliContext& ctx);

} // namespace telvor
