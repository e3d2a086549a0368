#pragma once
// Hooks the TCP/IP status window into the main window: the session finds the sharing client
// through it, the "StartServer" command starts its server, a served client's arrival or
// departure re-applies "Display data", and the connection dialog stores the sharing password
// through it.
#include <memory>

class TMainWindow;

namespace telvor {

class TProfile;
class TTCPWindow;

class TSharingHook {
public:
    virtual ~TSharingHook() = default;
};

// The window lives as long as the returned hook; destroy it before the main window.
std::unique_ptr<TSharingHook> hookSharing(TMainWindow& main, TProfile& profile);

} // namespace telvor
