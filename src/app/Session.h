#pragma once
// The session with the receiver: connect (find the receiver and its speed, check the firmware,
// bring its command port into a known state, start monitoring), disconnect, pause and resume
// monitoring around other windows. Headless: it talks to the user through TSessionView, which
// the main window and telvor-cli implement.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace telvor {

class TProfile;
struct TLinkSettings;

enum class TMenuItem {
    Connect,
    Disconnect,
    ManualMode,
    RealTimeLogging,
    FileManager,
    InitFileSystem,
    ClearNvram,
    ResetReceiver,
    ReceiverConfig,
    Radio,
    Site,
    TargetPosition,
    About,
    Plots,
};

// Commands the session posts to its window (they run once the window is idle).
enum class TSessionCommand { Connect, Disconnect, RealTimeLogging, StartServer, ReceiverConfig };

enum class TBoxButtons { Ok, OkCancel, YesNo };
enum class TBoxIcon { Information, Warning, Error, Question };
enum class TBoxResult { Ok, Cancel, Yes, No };

class TSessionView {
public:
    virtual ~TSessionView() = default;

    virtual void setStatusLine(const std::string& text) = 0;
    virtual void setStatusPanel(const std::string& text) = 0;
    // The main window's title and what follows "Satellites", "Position", "Scatter".
    virtual void setTitle(const std::string& title, const std::string& plotSuffix) = 0;

    // The Stop button and the progress bar of the searches.
    virtual void showSearch(bool visible) = 0;
    virtual void setProgress(int maximum, int position) = 0;

    // All main menus at once, and single items.
    virtual void enableMainMenus(bool on) = 0;
    virtual void enableItem(TMenuItem item, bool on) = 0;
    // "Display data" (Internet Server mode only).
    virtual void showDisplayData(bool visible) = 0;

    // The connection dialog; true for its "Connect" button.
    virtual bool runConnectDialog() = 0;
    virtual TBoxResult messageBox(const std::string& title, const std::string& text,
                                  TBoxButtons buttons, TBoxIcon icon) = 0;
    // One non-modal notice at a time.
    virtual void showNotice(const std::string& text) = 0;
    virtual void closeNotice() = 0;

    virtual void setMonitorTimer(bool on) = 0;
    virtual void setElapsedTimer(bool on) = 0;
    virtual void post(TSessionCommand command) = 0;

    // Hooks of the monitor display and the plots; no-ops until they exist.
    virtual void sessionStarted() {}    // message counters, plot store reset
    virtual void hideDateAndEvents() {} // the date and event labels at disconnect
    virtual void setElevationMask(int /*degrees*/) {}
    // Manual mode only: opens the terminal instead of a session; false when there is none.
    virtual bool openTerminal() { return false; }
    // Around a modal sub-window: the main window is disabled, and shown again afterwards.
    virtual void beginSubWindow() {}
    virtual void endSubWindow() {}
    // Before a reset: hidden until the connection dialog of the reconnect has closed.
    virtual void hideMainWindow() {}
};

// The TCP sharing window, as far as the session needs it.
class TSharingControl {
public:
    virtual ~TSharingControl() = default;
    virtual void show() = 0;
    // Starts the client (Internet Client) and activates it; failures show in that window.
    virtual void startClient() = 0;
    virtual bool linkUp() const = 0;
    // The client has measured the network delay and set the latency allowance.
    virtual bool latencyKnown() const = 0;
    virtual bool clientConnected() const = 0;
    virtual std::string statusText() const = 0;
    // Why the search has not reached the server yet (refused, not found...); empty: no reason.
    virtual std::string searchFailure() const { return {}; }
};

// The connection settings in force for one connect (section "Comm" and friends).
struct TConnectionSettings {
    int mode = 0;
    std::string port = "COM1";
    std::string usbDevice;
    std::string usbVendors; // Comm/USBVendors
    std::string baud = "115200";
    int timeout = 500;
    bool rtscts = false;
    bool irda = false;
    std::string echoOff = "#OFF#";
    std::string host = "localhost";
    int tcpPort = 8000;
    std::string ethrHost;
    int ethrPort = 8002;
    std::string ethrPassword;
    bool terminal = false;
    bool rememberSpeed = false;
    std::string elevMask = "7";
    bool displayData = false; // Comm/Monitor
};
TConnectionSettings readConnectionSettings(const TProfile& profile);

struct TReceiverIdentity {
    std::string model, id, firmware; // "/par/rcv/model", "/par/rcvid", "/par/rcv/ver/main"
    std::string port;                // the receiver's name of this port ("/cur/term")
};

class TSession {
public:
    TSession(TProfile& profile, TSessionView& view);
    ~TSession();
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

    // Adjusts the settings of each connect after they were read (telvor-cli's options).
    void setSettingsHook(std::function<void(TConnectionSettings&)> hook);
    void setSharing(TSharingControl* sharing) { sharing_ = sharing; }
    // A search that is still running after this many milliseconds behaves as if Stop was
    // pressed (telvor-cli has no Stop button); 0 = no limit.
    void setSearchLimit(int ms) { searchLimitMs_ = ms; }
    // The pauses of the local search: after the probe lines, and between attempts.
    void setSearchPacing(int settleMs, int betweenMs) {
        settleMs_ = settleMs;
        betweenMs_ = betweenMs;
    }
    // Builds the link (CreateReceiverConnection unless replaced, e.g. by a test's fake link).
    using TLinkFactory =
        std::function<std::string(const std::string& portName, const TLinkSettings& settings)>;
    void setLinkFactory(TLinkFactory factory) { factory_ = std::move(factory); }

    // Connect; true when the session is up. A failure leaves the link closed and exactly one
    // status text (also in lastError()).
    bool connect();
    void disconnect();
    // Real-time logging lost its receiver: one connect without the dialog, as AutoRun makes
    // it, searching for at most `searchLimitMs` (0: until found or stopped), then monitoring
    // paused for the logging window's own list. True when the receiver answers.
    bool reconnectForLogging(int searchLimitMs);
    // Before and after another window takes the command dialogue. They return an error text.
    std::string pauseMonitoring();
    std::string resumeMonitoring();
    // Runs `showModal` with monitoring paused (if asked, and not while a sharing client is
    // served), then resumes; in Internet Client mode a lost sharing link posts Disconnect.
    void runSubWindow(const std::function<void()>& showModal, bool pause);

    // The Stop button; program end (every wait ends, every search fails).
    void requestStop() { stop_ = true; }
    void shutdown() { shutdown_ = true; }

    // "Display data" toggled by the user (Internet Server mode).
    void setDisplayData(bool on);
    bool displayData() const { return settings_.displayData; }
    // "Test mode": play back "site.vxr" instead of the link while monitoring.
    void setTestMode(bool on);

    // Elapsed time since the connection start; a double click on the label restarts it.
    std::int64_t elapsedSeconds() const;
    void restartElapsed();

    // One text in the status line (the monitor reports a lost link there).
    void showStatus(const std::string& text) { setStatus(text); }

    // Re-reads the identity and sets the window title (also the idle title).
    void updateTitle();

    // Waits `ms` while handling user-interface events; false when stopped or shutting down.
    bool pause(int ms);

    // Replays a recording (.vxr) instead of a receiver: the monitor and plots as live, no
    // command goes anywhere. False with the text in lastError() and the status line.
    bool openRecording(const std::string& path);
    // A recording is playing (connected() holds as well).
    bool replaying() const;
    // A menu item whose window needs the receiver, chosen while a recording plays: says so
    // and gives true (the item does nothing more).
    bool refuseWhileReplaying(TMenuItem item);

    bool connected() const;
    bool busy() const { return busy_; }
    const TConnectionSettings& settings() const { return settings_; }
    const TReceiverIdentity& identity() const { return identity_; }
    const std::string& lastError() const { return lastError_; }
    int firmwareVersion() const { return version_; }
    int speedDivisor() const { return divisor_; }
    const std::string& initialRate() const { return initialRate_; }
    const std::string& elevationMask() const { return elevMask_; }
    // The PC port speed the receiver answered at after the switch (serial links).
    std::uint32_t pcSpeed() const;

private:
    bool prepareConnect();
    std::string openLink();
    bool openManualMode();
    std::string findAndSetup();
    bool failConnect(const std::string& error, bool searched);
    std::string openAndSetup();
    std::string localSearch();
    std::string acceptSerialRate(int entry);
    std::string networkSearch();
    std::string ethernetLogin();
    std::string waitForReceiver();
    std::string setupSession();
    std::string startMaskStep();
    void readPositionMask();
    std::string restoreMask();
    void connectedMenus();
    void disconnectedMenus();
    void replayMenus();
    void setStatus(const std::string& text);
    bool stopped() const;

    TProfile& profile_;
    TSessionView& view_;
    TSharingControl* sharing_ = nullptr;
    std::function<void(TConnectionSettings&)> hook_;
    TConnectionSettings settings_;
    TReceiverIdentity identity_;
    std::string lastError_;
    std::string initialRate_;
    std::string elevMask_;
    std::string monitorList_;
    int divisor_ = 1;
    int version_ = 1008;
    bool autoRun_ = false;
    // Set from the Stop button, a window close or a signal handler.
    std::atomic<bool> stop_{false};
    std::atomic<bool> shutdown_{false};
    bool busy_ = false;
    int searchLimitMs_ = 0;
    int settleMs_ = 300;
    int betweenMs_ = 200;
    TLinkFactory factory_;
    std::uint32_t searchStart_ = 0;
    std::int64_t connectStartMs_ = 0;
};

} // namespace telvor
