#pragma once
// A simulated receiver behind one transport, run by its own thread: the API that tests and
// telvor-sim use.
#include "sim/Simoptions.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace telvorsim {

class TSimReceiver {
public:
    explicit TSimReceiver(TSimOptions options = {});
    ~TSimReceiver(); // stops
    TSimReceiver(const TSimReceiver&) = delete;
    TSimReceiver& operator=(const TSimReceiver&) = delete;

    // Each starts the receiver on one transport; one start per object.
    // A pty whose slave is linked to `linkPath` (none when empty); returns the slave's path, or
    // an empty text (see lastError()).
    std::string startPty(const std::string& linkPath = "");
    // The Ethernet port on 127.0.0.1 (or `address`); port 0 picks a free one. Returns the port
    // listened on, or -1.
    int startTcp(int port = 0, const std::string& address = "127.0.0.1");
    // A socket pair; returns the client's end (the caller closes it), or -1.
    int startSocketpair();
    // Stops the thread and closes the transport (and removes the pty link). Idempotent.
    void stop();

    bool running() const;
    std::string lastError() const;

    // State, safe from any thread.
    unsigned rate() const;   // the rate the simulated port runs at now
    bool restarting() const; // silent after a reset
    int restarts() const;
    std::uint64_t epochs() const;
    std::int64_t receiverTimeMs() const;
    std::string portName() const; // the receiver's name of this port ("/dev/ser/a" ...)
    std::vector<std::string> enabledMessages(const std::string& port = "") const;
    std::vector<std::string> commands() const; // received, with their "%id%" prefixes
    std::optional<std::string> param(const std::string& path) const;
    // The whole answer to "print,<path>" before it is cut into replies; none for "ER".
    std::optional<std::string> printed(const std::string& path);
    // A file of the receiver's memory (name without "/log/"), as it stands now.
    std::optional<TSimFile> file(const std::string& name) const;
    std::vector<std::string> fileNames() const;
    int blocksSent() const; // by the current or last transfer, resends included
    bool peerConnected() const;
    bool loggedIn() const; // Ethernet only

    // Changes at run time.
    void setFaults(const TFaults& faults);
    void triggerEvent(char which); // 'A' or 'B': the next epoch carries "XA" / "XB"
    // The radio modem on options.modemPort: switched off and on (false without a modem); a
    // setting by its query command (-1 without a modem); whether it is in command mode; one of
    // its registers.
    bool powerCycleModem();
    int modemValue(int query) const;
    void setModemValue(int query, int value);
    bool modemCommandMode() const;
    int modemRegister(unsigned address) const;

private:
    class TImpl;
    std::unique_ptr<TImpl> impl_;
};

} // namespace telvorsim
