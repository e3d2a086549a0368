#include "app/Session.h"

#include "app/Appinfo.h"
#include "app/Ports.h"
#include "app/Sessionformat.h"
#include "links/Portio.h"
#include "links/Replayconnection.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "protocol/Debugcore.h"
#include "protocol/Event.h"
#include "protocol/Logfile.h"
#include "protocol/Numbers.h"
#include "protocol/Tick.h"
#include "settings/Profile.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace telvor {
namespace {

const char* const kCantFind = "Can't find receiver";
const char* const kMaskError = "Error write elevation mask for terminal";

bool startsWith(const std::string& s, std::string_view prefix) {
    return s.rfind(prefix, 0) == 0;
}

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

TConnectionSettings readConnectionSettings(const TProfile& p) {
    TConnectionSettings s;
    s.mode = connectionMode(p.read(keys::CommConnectionType));
    s.port = p.read(keys::CommPort);
    s.usbDevice = p.read(keys::CommUSBDev);
    s.usbVendors = p.read(keys::CommUSBVendors);
    s.baud = p.read(keys::CommBaud);
    s.timeout = p.read(keys::CommTimeout);
    s.rtscts = p.read(keys::CommRTSCTS);
    s.irda = p.read(keys::CommIrDA);
    s.echoOff = p.read(keys::CommEchoOff);
    s.host = p.read(keys::CommHost);
    s.tcpPort = p.read(keys::CommTCPPort);
    s.ethrHost = p.read(keys::CommEthrDHost);
    s.ethrPort = p.read(keys::CommEthrDTCPPort);
    s.ethrPassword = p.read(keys::CommEthrDPassw);
    s.terminal = p.read(keys::CommTerminal);
    s.rememberSpeed = p.read(keys::ReceiverRememberSpeed);
    s.elevMask = p.read(keys::ReceiverElevMask);
    s.displayData = p.read(keys::CommMonitor);
    return s;
}

TSession::TSession(TProfile& profile, TSessionView& view) : profile_(profile), view_(view) {
    settings_ = readConnectionSettings(profile_);
    elevMask_ = settings_.elevMask;
}

TSession::~TSession() = default;

void TSession::setSettingsHook(std::function<void(TConnectionSettings&)> hook) {
    hook_ = std::move(hook);
}

bool TSession::connected() const {
    return CurrentConnection != nullptr;
}

std::uint32_t TSession::pcSpeed() const {
    return CurrentConnection ? CurrentConnection->GetSpeed() : 0;
}

bool TSession::stopped() const {
    if (stop_ || shutdown_)
        return true;
    return searchLimitMs_ > 0 && busy_ && ticksSince(searchStart_) >= std::uint32_t(searchLimitMs_);
}

bool TSession::pause(int ms) {
    const std::uint32_t start = tickCount();
    for (;;) {
        uiBridge().processEvents();
        if (shutdown_)
            return false;
        std::uint32_t spent = ticksSince(start);
        if (spent >= std::uint32_t(ms))
            break;
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::min<std::uint32_t>(5, ms - spent)));
    }
    return !stopped();
}

void TSession::setStatus(const std::string& text) {
    view_.setStatusLine(text);
}

// ---------------------------------------------------------------------------------------------
// Connect

bool TSession::connect() {
    // Waits inside a connect pump events; a second Connect arriving then must not start over.
    if (busy_)
        return false;
    struct TBusy {
        TSession& s;
        explicit TBusy(TSession& session) : s(session) { s.busy_ = true; }
        ~TBusy() {
            s.busy_ = false;
            // The plot windows are out of reach while a connect runs (a new session resets
            // their histories); they are there again however it ends.
            s.view_.enableItem(TMenuItem::Plots, true);
        }
    } busy(*this);
    if (connected())
        disconnect();
    lastError_.clear();

    if (!prepareConnect())
        return false;
    std::string error = openLink();
    if (!error.empty())
        return failConnect(error, false);
    if (settings_.mode == cmDirect && settings_.terminal)
        return openManualMode();
    error = findAndSetup();
    if (!error.empty())
        return failConnect(error, true);

    if (autoRun_) {
        profile_.write(keys::RealTimeAutoRun, true);
        view_.post(TSessionCommand::RealTimeLogging);
    } else if (settings_.mode == cmInternetServer) {
        view_.post(TSessionCommand::StartServer);
    }
    return true;
}

// Steps 1-6: the dialog (or AutoRun's settings) and the settings of this connect. False when
// the dialog was cancelled.
bool TSession::prepareConnect() {
    view_.enableItem(TMenuItem::Plots, false);
    view_.enableItem(TMenuItem::RealTimeLogging, false);
    view_.setMonitorTimer(false);
    commState().monitorTimerOn = false;
    divisor_ = 1;

    autoRun_ = profile_.read(keys::RealTimeAutoRun);
    const bool autoServer = profile_.read(keys::CommAutoServer);
    profile_.write(keys::RealTimeAutoRun, false);
    profile_.write(keys::CommAutoServer, false);
    if (!autoRun_ && !autoServer && !view_.runConnectDialog())
        return false;

    settings_ = readConnectionSettings(profile_);
    if (hook_)
        hook_(settings_);
    elevMask_ = settings_.elevMask;
    if (startsWith(settings_.port, "USB") || startsWith(settings_.port, "ETHR")) {
        profile_.write(keys::CommTerminal, false);
        settings_.terminal = false;
    }
    SetInputMode(TInputMode::Idle);
    if ((settings_.mode == cmInternetClient || settings_.mode == cmInternetServer) && sharing_)
        sharing_->show();
    SetLatencyAllowance(0);
    return true;
}

// Step 7: the link; its error text, empty when it is open.
std::string TSession::openLink() {
    std::string portName = settings_.port;
    // A port that names its device already ("USB 0421873", from telvor-cli) keeps it.
    if (portName == "USB" && !settings_.usbDevice.empty())
        portName = "USB " + settings_.usbDevice;
    TLinkSettings link;
    link.mode = TConnectionMode(settings_.mode);
    link.ethrHost = settings_.ethrHost;
    link.ethrPort = std::to_string(settings_.ethrPort);
    link.infrared = settings_.irda;
    link.baud = settings_.baud;
    link.usbVendors = settings_.usbVendors;
    link.useFastWriteByte = profile_.read(keys::DownloadUseFastWriteByte);
    std::string error =
        factory_ ? factory_(portName, link) : CreateReceiverConnection(portName, link);
    if (error.empty() && CurrentConnection)
        return {};
    if (error.empty())
        error = "Error: can't open port " + settings_.port;
    // The system's words alone ("Permission denied") do not tell how to get access; the hint
    // goes on a line of its own so that the first line stays the link's text.
    std::string hint = accessHint(portName);
    if (!hint.empty()) {
        debugCore().showLine(hint);
        error += "\n" + hint;
    }
    return error;
}

// Manual mode only: the terminal takes the link, no session.
bool TSession::openManualMode() {
    TReceiverConnection* c = CurrentConnection;
    version_ = 0;
    c->SetEventMask(kEventData | kEventError);
    c->SetSpeed(configuredSpeed(settings_.baud));
    pause(100);
    if (settings_.rtscts) {
        c->SetHandshake(true);
        pause(100);
    }
    if (view_.openTerminal())
        return true;
    return failConnect("Manual mode is not available", false);
}

// Steps 10-14: the search and the session setup, with the menus off meanwhile.
std::string TSession::findAndSetup() {
    // Internet Server mode searches and sets up like Direct.
    commState().connectionMode =
        TConnectionMode(settings_.mode == cmInternetServer ? int(cmDirect) : settings_.mode);
    if (autoRun_)
        view_.showNotice(std::string(kAppTitle) + " is entering Real-Time Logging mode");
    view_.enableMainMenus(false);
    stop_ = false;
    searchStart_ = tickCount();
    std::string error = openAndSetup();
    commState().connectionMode = TConnectionMode(settings_.mode);
    view_.closeNotice();
    return error;
}

// The one way a connect fails once it has begun: the link closed, one status text.
bool TSession::failConnect(const std::string& error, bool searched) {
    if (searched)
        view_.showSearch(false);
    CloseReceiverConnection();
    lastError_ = error;
    // The status line has one line: the search's reasons stand above "Can't find receiver",
    // an access hint below the link's text; the whole stays in lastError().
    const bool reasonsFirst =
        error.size() > std::strlen(kCantFind) &&
        error.compare(error.size() - std::strlen(kCantFind), std::string::npos, kCantFind) == 0;
    setStatus(reasonsFirst ? std::string(kCantFind) : error.substr(0, error.find('\n')));
    if (searched) {
        view_.enableMainMenus(true);
        disconnectedMenus();
    }
    return false;
}

std::string TSession::openAndSetup() {
    const std::uint8_t kind = CurrentConnection->Kind;
    std::string error;
    if (kind == kLinkInternetClient || kind == kLinkEthernet) {
        error = networkSearch();
        if (error.empty() && stop_)
            error = "Can't connect to the server";
    } else {
        error = localSearch();
    }
    if (!error.empty())
        return error;
    return setupSession();
}

// Tries the configured speed, then every speed of the table, until the receiver answers "RE".
std::string TSession::localSearch() {
    TReceiverConnection* link = CurrentConnection;
    const int configured = configuredSpeed(settings_.baud);
    const bool automatic = link->Kind == kLinkSerial && !settings_.irda;
    link->SetEventMask(kEventData);
    int index = 0;
    for (int h = 0;;) {
        const int entry = baudTableEntry(index, configured);
        if (h > 0)
            setStatus(automatic ? "Trying " + std::to_string(entry) : "Looking for receiver...");
        if (link->SetSpeed(std::uint32_t(entry))) {
            link->WriteRaw("##\n" + settings_.echoOff + "\r\ndm\r\n");
            if (link->Kind == kLinkSerial)
                SendLine("set,/par/cur/term/rtscts,off");
            pause(settleMs_);
            if (shutdown_)
                return kCantFind;
            SendLine("%%dm");
            if (AwaitReply("RE", settings_.timeout)) {
                view_.showSearch(false);
                if (h > 0)
                    setStatus(automatic ? "Found at " + std::to_string(entry) : "Found");
                link->ClearErrorText();
                if (link->Kind == kLinkSerial) {
                    std::string error = acceptSerialRate(entry);
                    if (!error.empty())
                        return error;
                }
                link->SetEventMask(kEventData | kEventError);
                return {};
            }
        }
        if (automatic)
            index = index >= kBaudTableSize - 1 ? 1 : index + 1;
        if (h == 0)
            view_.showSearch(true);
        ++h;
        view_.setProgress(65, h);
        if (h >= 65) {
            if (!autoRun_ || stopped())
                return kCantFind;
            h = 1;
        }
        if (!pause(betweenMs_))
            return kCantFind;
    }
}

// The receiver answered at PC speed `entry`: learn its own rate, then move both ends to the
// configured speed.
std::string TSession::acceptSerialRate(int entry) {
    TReceiverConnection* link = CurrentConnection;
    std::string text = PrintParameter("cur/term/rate", "<unknown>", 2000);
    long rate = parseInteger(text, 1, LONG_MAX).value_or(0);
    if (rate == 0 || !link->ErrorText().empty())
        rate = entry;
    initialRate_ = std::to_string(rate);
    const int desired = configuredSpeed(settings_.baud);
    divisor_ = std::max<int>(int(rate / entry), 1);
    if (desired != rate) {
        if (!link->SetSpeed(std::uint32_t(desired / divisor_)))
            return "Your COM port does not support " + std::to_string(desired);
        link->SetSpeed(std::uint32_t(entry));
        if (SendAndWait("%%set,cur/term/rate," + std::to_string(desired), 500) != TReply::RE)
            return "Can't change speed";
        link->SetSpeed(std::uint32_t(desired / divisor_));
        setStatus("Switched to " + std::to_string(desired));
    }
    return {};
}

std::string TSession::networkSearch() {
    TReceiverConnection* link = CurrentConnection;
    const bool client = settings_.mode == cmInternetClient;
    setStatus(client ? "Looking for server..." : "Looking for receiver...");
    view_.showSearch(true);
    if (link->Kind == kLinkEthernet) {
        TEvent done(true, false);
        if (!link->StartConnect(&done))
            return kCantFind;
        for (int cycle = 0; !done.IsSet(); ++cycle) {
            view_.setProgress(10, cycle % 11);
            if (!pause(300) || stopped())
                return kCantFind;
        }
        // A receiver that refuses says so and hangs up at once: its words count even when the
        // socket is already gone.
        if (!link->IsConnected() && link->Input.Fill() == 0) {
            // Which it was (refused, unknown host, bad port) above the Part's text.
            const std::string why = link->ErrorText();
            return why.empty() ? kCantFind : why + "\n" + kCantFind;
        }
        setStatus("Waiting for receiver...");
        view_.setProgress(10, 0);
        // An Internet Server searches as Direct does: its receiver on Ethernet wants the login
        // all the same.
        if (commState().connectionMode == cmDirect) {
            std::string error = ethernetLogin();
            if (!error.empty())
                return error;
        }
        return waitForReceiver();
    }

    // Through a sharing server: the sharing window runs the client end.
    if (!sharing_)
        return kCantFind;
    while (!sharing_->linkUp()) {
        sharing_->startClient();
        for (int i = 0; i < 50 && !sharing_->linkUp(); ++i) {
            view_.setProgress(50, i);
            if (!pause(300) || stopped()) {
                const std::string why = sharing_->searchFailure();
                return why.empty() ? kCantFind : why + "\n" + kCantFind;
            }
        }
    }
    setStatus("Waiting for server...");
    while (!sharing_->latencyKnown())
        if (!pause(100) || stopped())
            return kCantFind;
    setStatus("Waiting for receiver...");
    return waitForReceiver();
}

// Logs in with an empty user name and the Ethernet password, reading the raw reply buffer.
std::string TSession::ethernetLogin() {
    TReceiverConnection* link = CurrentConnection;
    enum { Ready, Login, Password, Done } state = Ready;
    for (;;) {
        const TSharedBuffer& in = link->Input;
        std::string text(reinterpret_cast<const char*>(in.Data()), std::size_t(in.Fill()));
        if (state == Ready && text.find("receiver ready") != std::string::npos) {
            if (text.find("connection refused") != std::string::npos)
                return "Error: Connection refused";
            state = Login;
        }
        if (state == Login && text.find("login:") != std::string::npos) {
            link->WriteRaw("\r\n");
            state = Password;
        }
        if (state == Password && text.find("Password:") != std::string::npos) {
            link->WriteRaw(settings_.ethrPassword + "\r\n");
            state = Done;
        }
        if (state == Done) {
            // The refusal wins over an "RE" that may stand in the same text.
            if (text.find("Login incorrect") != std::string::npos)
                return "Error: Login incorrect";
            if (text.find("RE") != std::string::npos)
                return {};
        }
        if (!pause(100) || stopped() || !link->IsConnected())
            return kCantFind;
    }
}

std::string TSession::waitForReceiver() {
    for (int i = 0; i < 10; ++i) {
        view_.setProgress(10, i);
        if (!SendLine("##\ndm\n%%"))
            break;
        if (AwaitReply("RE", 200)) {
            view_.showSearch(false);
            setStatus("");
            return {};
        }
        if (stopped())
            break;
    }
    return kCantFind;
}

// ---------------------------------------------------------------------------------------------
// Session setup

std::string TSession::setupSession() {
    TReceiverConnection* link = CurrentConnection;
    view_.enableMainMenus(true);
    SendLine("set,/par/cur/term/imode,cmd");
    // Replies still on their way (of the search's probes, of this line) would pass for the
    // version's reply; the echo of our own id marks the point after them.
    Synchronise(1);

    version_ = 1008;
    setStatus("Querying receiver version...");
    const std::uint32_t start = tickCount();
    identity_.firmware = PrintParameter("/par/rcv/ver/main", "", 2000);
    SetLatencyAllowance(LatencyAllowance() + ticksSince(start));
    identity_.port = PrintParameter("/cur/term", "", 2000);

    int version = telvor::firmwareVersion(identity_.firmware);
    if (version < 0)
        return "Can't retrieve firmware version";
    version_ = version;
    logLine("Recognized version:" + std::to_string(version_));
    if (version_ < kMinFirmwareVersion) {
        view_.messageBox("ERROR",
                         std::string(kAppTitle) +
                             " require firmware version 2.1 or later.\nPlease update your "
                             "receiver firmware from\nthe receiver maker's web site.",
                         TBoxButtons::Ok, TBoxIcon::Error);
        return "Unsupported firmware version";
    }
    monitorList_ = monitoringMessageList(settings_.mode);

    if (IsSerialPortName(settings_.port) && settings_.rtscts &&
        settings_.mode != cmInternetClient) {
        setStatus("Trying hardware handshaking...");
        SendAndWait("%%set,/par/cur/term/rtscts,on", 2000);
        pause(100);
        link->SetHandshake(true);
        pause(300);
        if (!Synchronise(1)) {
            settings_.rtscts = false;
            link->SetHandshake(false);
            return "Can't turn on hardware handshaking";
        }
    }

    std::string error = startMaskStep();
    if (!error.empty())
        return error;

    connectedMenus();
    TPanelInfo panel;
    panel.mode = settings_.mode;
    panel.port = settings_.port;
    panel.serial = link->Kind == kLinkSerial;
    panel.speed = settings_.baud;
    panel.rtscts = settings_.rtscts;
    panel.irda = settings_.irda;
    panel.host = settings_.host;
    panel.tcpPort = settings_.tcpPort;
    panel.ethrHost = settings_.ethrHost;
    view_.setStatusPanel(statusPanelText(panel));

    setStatus("");
    updateTitle();
    view_.sessionStarted();
    connectStartMs_ = nowMs();

    const bool monitor = !(settings_.mode == cmInternetServer && !settings_.displayData);
    view_.showDisplayData(settings_.mode == cmInternetServer);
    if (monitor) {
        SetInputMode(TInputMode::Monitoring);
        if (!autoRun_)
            EnableMessages(monitorList_);
    }
    view_.setElapsedTimer(true);
    commState().monitorTimerOn = monitor;
    view_.setMonitorTimer(monitor);
    logLine("Connected");
    return {};
}

// The receiver's terminal elevation mask goes to -90 while monitoring so that every satellite
// shows; the old value is kept for the restore. An empty mask (passive mode) leaves it alone.
std::string TSession::startMaskStep() {
    readPositionMask();
    if (elevMask_.empty())
        return {};
    if (SendAndWait("%%print,/par/out/elm/cur/term", 2000) != TReply::RE)
        return kMaskError;
    elevMask_ = ReplyText(7);
    if (SendAndWait("%%set,/par/out/elm/cur/term,-90", 2000) != TReply::RE)
        return kMaskError;
    return {};
}

// The plots' copy of the receiver's position mask, read whenever monitoring starts or stops.
void TSession::readPositionMask() {
    std::string elm = PrintParameter("/par/pos/elm", "<unknown>", 2000);
    view_.setElevationMask(leadingInteger(elm).value_or(0));
}

std::string TSession::restoreMask() {
    if (elevMask_.empty())
        return {};
    if (SendAndWait("%%set,/par/out/elm/cur/term," + elevMask_, 2000) != TReply::RE)
        return kMaskError;
    return {};
}

void TSession::connectedMenus() {
    view_.enableItem(TMenuItem::Connect, false);
    view_.enableItem(TMenuItem::Disconnect, true);
    const bool server = settings_.mode == cmInternetServer;
    const bool direct = settings_.mode == cmDirect;
    view_.enableItem(TMenuItem::ReceiverConfig, !server);
    view_.enableItem(TMenuItem::Site, !server);
    view_.enableItem(TMenuItem::TargetPosition, !server);
    view_.enableItem(TMenuItem::InitFileSystem, direct);
    view_.enableItem(TMenuItem::ClearNvram, direct);
    view_.enableItem(TMenuItem::ResetReceiver, direct);
    view_.enableItem(TMenuItem::Radio, direct);
    view_.enableItem(TMenuItem::ManualMode, true);
    view_.enableItem(TMenuItem::FileManager, !server);
    view_.enableItem(TMenuItem::RealTimeLogging, true);
    view_.enableItem(TMenuItem::About, true);
}

void TSession::disconnectedMenus() {
    view_.enableItem(TMenuItem::Connect, true);
    view_.enableItem(TMenuItem::Disconnect, false);
    for (auto item : {TMenuItem::ManualMode, TMenuItem::RealTimeLogging, TMenuItem::FileManager,
                      TMenuItem::InitFileSystem, TMenuItem::ClearNvram, TMenuItem::ResetReceiver,
                      TMenuItem::ReceiverConfig, TMenuItem::Radio})
        view_.enableItem(item, false);
    view_.enableItem(TMenuItem::About, true);
    view_.enableItem(TMenuItem::Site, true);
    view_.enableItem(TMenuItem::TargetPosition, true);
}

void TSession::updateTitle() {
    TTitleInfo t;
    t.connected = connected();
    if (t.connected) {
        identity_.model = PrintParameter("/par/rcv/model", "", 2000);
        identity_.id = PrintParameter("/par/rcvid", "", 2000);
        t.model = identity_.model;
        t.id = identity_.id;
        t.details = profile_.read(keys::MainWindowReceiverDetails);
        if (t.details)
            t.firmware = PrintParameter("/par/version/main", "", 2000);
        t.server = settings_.mode == cmInternetServer;
        if (!t.server) {
            t.base = SendAndWait("%%print,/par/base/mode", 2000) == TReply::RE &&
                     ReplyText(7).find("on") != std::string::npos;
            if (!t.base)
                t.rover = SendAndWait("%%print,/par/rover/mode", 2000) == TReply::RE &&
                          ReplyText(7).find("on") != std::string::npos;
        }
    }
    if (sharing_)
        t.sharingStatus = sharing_->statusText();
    view_.setTitle(windowTitle(t), plotTitleSuffix(t));
}

// ---------------------------------------------------------------------------------------------
// Disconnect, pause, resume

void TSession::disconnect() {
    profile_.write(keys::CommAutoServer, false);
    view_.showDisplayData(false);
    view_.setElapsedTimer(false);
    commState().monitorTimerOn = false;
    view_.setMonitorTimer(false);
    view_.hideDateAndEvents();
    view_.enableItem(TMenuItem::Connect, true);
    view_.enableItem(TMenuItem::Disconnect, false);

    // A recording has no receiver to put back into its old state.
    TReceiverConnection* link = replaying() ? nullptr : CurrentConnection;
    if (link) {
        link->SetHandshake(false);
        pause(100);
        SendLine("dm");
        SendLine("dm");
    }
    SetInputMode(TInputMode::Idle);
    if (link && CurrentConnection == link) {
        if (!elevMask_.empty())
            SendLine("set,/par/out/elm/cur/term," + elevMask_);
        if (link->Kind == kLinkSerial) {
            SendLine("set,/par/cur/term/rtscts,off");
            pause(300);
            if (settings_.rememberSpeed && !initialRate_.empty())
                SendLine("set,cur/term/rate," + initialRate_);
            else if (configuredSpeed(settings_.baud) > 115200)
                SendLine("set,cur/term/rate,115200");
        }
    }
    CloseReceiverConnection();
    // The receiver has its own mask again; the next session starts from the setting.
    elevMask_ = settings_.elevMask;

    disconnectedMenus();
    view_.setStatusPanel("Disconnected");
    setStatus("");
    updateTitle();
    logLine("Disconnected");
}

bool TSession::reconnectForLogging(int searchLimitMs) {
    const int limit = searchLimitMs_;
    searchLimitMs_ = searchLimitMs;
    profile_.write(keys::RealTimeAutoRun, true);
    const bool ok = connect();
    searchLimitMs_ = limit;
    if (ok)
        pauseMonitoring();
    return ok;
}

std::string TSession::pauseMonitoring() {
    commState().monitorTimerOn = false;
    view_.setMonitorTimer(false);
    SetInputMode(TInputMode::Idle);
    if (!connected())
        return {};
    TReply reply = TReply::None;
    for (int attempt = 1; attempt <= 10; ++attempt) {
        reply = SendAndWait("%Stop!%dm", 2000);
        if (reply != TReply::ER)
            break;
        debugCore().showLine("%%dm attempt #" + std::to_string(attempt) + ": " + ReplyText(5));
    }
    if (reply == TReply::RE) {
        readPositionMask();
        return restoreMask();
    }
    return reply == TReply::ER ? ReplyText(5) : std::string("The receiver didn't reply!");
}

std::string TSession::resumeMonitoring() {
    if (!connected())
        return {};
    std::string error = startMaskStep();
    SetInputMode(TInputMode::Monitoring);
    EnableMessages(monitorList_);
    commState().monitorTimerOn = true;
    view_.setMonitorTimer(true);
    return error;
}

void TSession::runSubWindow(const std::function<void()>& showModal, bool pauseFirst) {
    if (replaying()) {
        view_.messageBox(kAppTitle, kNotWhileReplaying, TBoxButtons::Ok, TBoxIcon::Information);
        return;
    }
    bool paused = false;
    if (pauseFirst &&
        !(settings_.mode == cmInternetServer && sharing_ && sharing_->clientConnected())) {
        pauseMonitoring();
        paused = true;
    }
    view_.beginSubWindow();
    showModal();
    view_.endSubWindow();
    if (paused)
        resumeMonitoring();
    if (settings_.mode == cmInternetClient && connected() && sharing_ && !sharing_->linkUp())
        view_.post(TSessionCommand::Disconnect);
}

void TSession::setDisplayData(bool on) {
    settings_.displayData = on;
    commState().monitorTimerOn = on;
    view_.setMonitorTimer(on);
    SetInputMode(on ? TInputMode::Monitoring : TInputMode::Idle);
    if (!connected() || (sharing_ && sharing_->clientConnected()))
        return;
    if (on) {
        startMaskStep();
        EnableMessages(monitorList_);
    } else {
        SendAndWait("####\n%%dm", 2000);
        readPositionMask();
        restoreMask();
    }
}

void TSession::setTestMode(bool on) {
    commState().testMode = on;
    if (connected())
        SendLine("dm");
}

std::int64_t TSession::elapsedSeconds() const {
    return (nowMs() - connectStartMs_) / 1000;
}

void TSession::restartElapsed() {
    connectStartMs_ = nowMs();
}

} // namespace telvor
