#include "app/Mainwindow.h"

#include "app/Appinfo.h"
#include "app/Connectform.h"
#include "app/Mainmonitor.h"
#include "app/Monitorpanelform.h"
#include "app/Qtbridge.h"
#include "app/Replaybarform.h"
#include "app/Sessionformat.h"
#include "config/Modaldialog.h"
#include "config/Recintwizarddialog.h"
#include "config/Siteconfigform.h"
#include "files/Transferform.h"
#include "info/Aboutwindow.h"
#include "info/Reportfile.h"
#include "monitor/Plotswindow.h"
#include "ntrip/Ntripwindow.h"
#include "protocol/Commtools.h"
#include "protocol/Logfile.h"
#include "qtglue/Strings.h"
#include "rtlog/Realtimeform.h"
#include "rtlog/Targetpositionform.h"
#include "rtlog/Targetsource.h"
#include "settings/Profile.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

using namespace telvor;

namespace {

QRect screenArea(const QPoint& at) {
    QScreen* screen = QGuiApplication::screenAt(at);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

// Pulls a window rectangle back inside the screen.
QPoint keptOnScreen(const QRect& r) {
    QRect area = screenArea(r.center());
    int x = std::clamp(r.left(), area.left(), std::max(area.left(), area.right() - r.width()));
    int y = std::clamp(r.top(), area.top(), std::max(area.top(), area.bottom() - r.height()));
    return {x, y};
}

} // namespace

TMainWindow::TMainWindow(TProfile& profile, TQtBridge& bridge, bool runScript, QWidget* parent)
    : QMainWindow(parent), profile_(profile), bridge_(bridge), runScript_(runScript) {
    setObjectName("MainWindow");
    setWindowIcon(QIcon::fromTheme("telvor"));
    auto* centre = new QWidget(this);
    auto* column = new QVBoxLayout(centre);
    column->setContentsMargins(0, 0, 0, 0);
    panel_ = new TMonitorPanel(centre);
    column->addWidget(panel_, 1);
    setCentralWidget(centre);
    buildStatusBar();

    session_ = std::make_unique<TSession>(profile_, *this);
    maintenance_ = std::make_unique<TMaintenance>(*session_, *this);
    buildMenus();
    placeFromSettings();
    readStartSettings();
    buildTimers();
    buildMonitor();
    buildReplayBar(column);
    hookSubWindows();
    startSession();
}

// Window position and height from the settings, centred by default, kept on screen.
void TMainWindow::placeFromSettings() {
    resize(720, profile_.read(keys::MainWindowH, 560));
    QRect area = screenArea(QPoint(0, 0));
    QRect r(profile_.read(keys::MainWindowX, area.center().x() - width() / 2),
            profile_.read(keys::MainWindowY, area.center().y() - height() / 2), width(), height());
    move(keptOnScreen(r));
}

void TMainWindow::readStartSettings() {
    if (profile_.read(keys::DebugLog)) {
        openCommLog();
        logSessionStart();
    }
    recordingInterval_ = profile_.read(keys::ReceiverRecordingIntervalFile);
    doubleCheck_ = profile_.read(keys::LoadFileDoubleCheck);
}

void TMainWindow::buildTimers() {
    monitorTimer_ = new QTimer(this);
    monitorTimer_->setObjectName("MonitorTimer");
    monitorTimer_->setInterval(1000);
    connect(monitorTimer_, &QTimer::timeout, this, [this] { onMonitorTimer(); });
    elapsedTimer_ = new QTimer(this);
    elapsedTimer_->setInterval(200);
    connect(elapsedTimer_, &QTimer::timeout, this, [this] { updateElapsed(); });
    closeRetry_ = new QTimer(this);
    closeRetry_->setInterval(100);
    connect(closeRetry_, &QTimer::timeout, this, [this] {
        if (closeMustWait())
            endModalWindows(); // also those opened after the close was asked for
        else
            close();
    });
}

// The session's monitor, rendered into the panel; the panel's clicks go back to it.
void TMainWindow::buildMonitor() {
    monitor_ = std::make_unique<TMainMonitor>(
        *session_, profile_,
        TMainMonitor::THooks{[this](bool on) { setMonitorTimer(on); },
                             [this](const TMonitorView& view) {
                                 panel_->render(view);
                                 if (renderListener_)
                                     renderListener_(view);
                             },
                             [] { QApplication::beep(); }});
    hookMonitor();
    panel_->setOnColumnClick([this](bool glonass, int column) {
        monitor_->monitor().display().columnClick(glonass, column);
        monitor_->showView();
    });
    panel_->setOnLabelDoubleClick(
        [this](const std::string& name, bool shift) { labelDoubleClick(name, shift); });
}

// The menu items that open the other windows, the main window hidden while they run.
void TMainWindow::hookSubWindows() {
    setItemHandler(TMenuItem::TargetPosition, [this] { openTargetPosition(); });
    setItemHandler(TMenuItem::About, [this] { openAbout(); });
    setItemHandler(TMenuItem::FileManager, [this] {
        TFileDownloadForm form(profile_, this);
        form.logSheet().setInterval(recordingInterval_);
        hide();
        runSubWindow(&form, true);
        show();
        recordingInterval_ = form.logSheet().interval();
        // Exclusive mode unlocked the receiver's files: a session restart sets it right.
        if (form.logic().exclusiveUsed())
            bridge_.post(TWindowId::Main, kResetCode);
        else if (!form.logic().replayPath().empty())
            openRecording(form.logic().replayPath());
    });

    setItemHandler(TMenuItem::RealTimeLogging, [this] {
        // A reconnect from inside the window posts this again: the open window goes on.
        if (realTimeOpen_)
            return;
        TRealTimeForm form(profile_, this);
        form.setMonitor(&monitor_->monitor());
        // As they are before the main window hides (and its plot windows with it).
        const TLogPlots open =
            plots_ ? TLogPlots{plots_->satellitesVisible(), plots_->positionOrScatterVisible()}
                   : TLogPlots{};
        form.setPlots([open] { return open; });
        // Short searches: the window retries on its next step and stays usable meanwhile.
        form.setLink({[this] { return session_->reconnectForLogging(3000); },
                      [this] { session_->disconnect(); }, [this] { session_->requestStop(); }});
        realTimeOpen_ = true;
        bridge_.setHandler(TWindowId::RealTime,
                           [&form](std::uint32_t code) { form.handleCode(code); });
        hide();
        runSubWindow(&form, true);
        realTimeOpen_ = false;
        bridge_.setHandler(TWindowId::RealTime, nullptr);
        show();
    });
    setItemHandler(TMenuItem::Site,
                   [this] { telvor::ShowModalChild<TSiteConfigForm>(this, profile_); });
    // Recording intervals the receiver cannot deliver open the wizard over the front window.
    InstallRecIntWizard();
}

// The session's handlers, the first title and status, then the first connect.
void TMainWindow::startSession() {
    connect(panel_->displayData(), &QCheckBox::clicked, this,
            [this](bool on) { session_->setDisplayData(on); });

    bridge_.setHandler(TWindowId::Main, [this](std::uint32_t code) { onCode(code); });
    commState().SetWaitSink(this);

    testMode_->setVisible(profile_.read(keys::DebugTestMode));
    profile_.write(keys::ReceiverSatellitesToTrack, "");
    setTitle(telvor::windowTitle(TTitleInfo{}), telvor::plotTitleSuffix(TTitleInfo{}));
    setStatusPanel("Disconnected");
    post(TSessionCommand::Connect);
}

TMainWindow::~TMainWindow() {
    commState().SetWaitSink(nullptr);
    // The plot windows hold on to the monitor: they go first.
    delete plots_;
    plots_ = nullptr;
    monitor_.reset();
    bridge_.setHandler(TWindowId::Main, nullptr);
    profile_.write(keys::MainWindowX, x());
    profile_.write(keys::MainWindowY, y());
    profile_.write(keys::MainWindowH, height());
    profile_.write(keys::CommMonitor, session_->displayData());
}

QAction* TMainWindow::addItem(QMenu* menu, TMenuItem item, const QString& caption, bool available) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(caption.simplified().remove('&').remove(' ') + "Item");
    action->setVisible(available);
    items_[item] = action;
    connect(action, &QAction::triggered, this, [this, item] {
        if (session_->refuseWhileReplaying(item))
            return;
        auto it = handlers_.find(item);
        if (it != handlers_.end() && it->second)
            it->second();
    });
    return action;
}

void TMainWindow::buildMenus() {
    const bool allowConfig = profile_.read(keys::ReceiverAllowConfig);

    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("FileMenu");
    QAction* openRecording = file->addAction("&Open recording...");
    openRecording->setObjectName("OpenRecordingItem");
    connect(openRecording, &QAction::triggered, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, "Open recording", QString(),
                                                          "Raw data files (*.vxr);;All files (*)");
        if (!path.isEmpty())
            this->openRecording(path.toStdString());
    });

    QMenu* receiver = menuBar()->addMenu("&Receiver");
    receiver->setObjectName("ReceiverMenu");
    addItem(receiver, TMenuItem::Connect, "&Connect", true);
    addItem(receiver, TMenuItem::Disconnect, "&Disconnect", true)->setEnabled(false);
    receiver->addSeparator();
    addItem(receiver, TMenuItem::ManualMode, "&Manual Mode", false);
    addItem(receiver, TMenuItem::FileManager, "&File Manager", false);
    addItem(receiver, TMenuItem::RealTimeLogging, "Real-Time &Logging", false);
    receiver->addSeparator();
    addItem(receiver, TMenuItem::InitFileSystem, "Initialize file system", false);
    addItem(receiver, TMenuItem::ClearNvram, "Clear NVRAM", allowConfig);
    addItem(receiver, TMenuItem::ResetReceiver, "Reset Receiver", true);
    receiver->addSeparator();
    testMode_ = receiver->addAction("Test mode");
    testMode_->setObjectName("TestModeItem");
    testMode_->setCheckable(true);
    connect(testMode_, &QAction::toggled, this, [this](bool on) { session_->setTestMode(on); });
    receiver->addSeparator();
    QAction* exit = receiver->addAction("E&xit");
    exit->setObjectName("ExitItem");
    connect(exit, &QAction::triggered, this, &QWidget::close);

    configMenu_ = menuBar()->addMenu("&Configuration");
    configMenu_->setObjectName("ConfigurationMenu");
    addItem(configMenu_, TMenuItem::ReceiverConfig, "Recei&ver", false)
        ->setShortcut(QKeySequence("Ctrl+V"));
    addItem(configMenu_, TMenuItem::Radio, "&RFM96 Radio", false);
    addItem(configMenu_, TMenuItem::Site, "S&ite", false);
    addItem(configMenu_, TMenuItem::TargetPosition, "&Target position", false);
    configMenu_->menuAction()->setVisible(false);

    // Hidden until the plot windows exist.
    plotsMenu_ = menuBar()->addMenu("&Plots");
    plotsMenu_->setObjectName("PlotsMenu");
    plotsMenu_->menuAction()->setVisible(false);
    items_[TMenuItem::Plots] = plotsMenu_->menuAction();
    auto plotItem = [this](const char* caption, const char* name, std::function<void()> run) {
        QAction* a = plotsMenu_->addAction(caption);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, [this, run] {
            if (plots_)
                run();
        });
        return a;
    };
    plotItem("&Satellites", "SatellitesPlotItem", [this] { plots_->show(TPlotKind::Satellites); });
    plotItem("&Position", "PositionPlotItem", [this] { plots_->show(TPlotKind::Position); });
    plotItem("S&catter", "ScatterPlotItem", [this] { plots_->show(TPlotKind::Scatter); });
    plotsMenu_->addSeparator();
    // Like the satellites window's button: only while monitoring.
    maskItem_ = plotItem("&Elevation mask...", "ElevationMaskItem",
                         [this] { plots_->satellites()->elevationMaskClick(); });
    maskItem_->setEnabled(false);
    plotItem("Plots &configuration...", "PlotsConfigurationItem", [this] { plots_->showPrefs(); });

    // The NTRIP client writes to its own port, never to the receiver link: always there.
    QMenu* tools = menuBar()->addMenu("&Tools");
    tools->setObjectName("ToolsMenu");
    QAction* ntrip = tools->addAction("&NTRIP client...");
    ntrip->setObjectName("NtripClientItem");
    connect(ntrip, &QAction::triggered, this, [this] {
        auto* w = findChild<telvor::TNtripWindow*>("NtripWindow");
        if (!w) {
            w = new telvor::TNtripWindow(profile_, this);
            // GGA and distances from the newest "PG" (radians) the monitor saw.
            w->setPositionSource([this]() -> std::optional<std::pair<double, double>> {
                const auto fix = monitor_->monitor().plotData().lastFix();
                if (fix.sequence == 0)
                    return std::nullopt;
                return std::pair{fix.lat * 180 / M_PI, fix.lon * 180 / M_PI};
            });
        }
        w->show();
        w->raise();
    });

    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("HelpMenu");
    QAction* debug = help->addAction("&Debug window");
    debug->setObjectName("DebugWindowItem");
    connect(debug, &QAction::triggered, this, [this] {
        profile_.write(keys::DebugShowDebugWindow, true);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "DebugWindow") {
                w->show();
                w->raise();
            }
    });
    addItem(help, TMenuItem::About, "Abo&ut", false);
    mainMenus_ = {file, receiver, configMenu_, plotsMenu_, help};

    handlers_[TMenuItem::Connect] = [this] { doConnect(); };
    handlers_[TMenuItem::Disconnect] = [this] { session_->disconnect(); };
    handlers_[TMenuItem::ClearNvram] = [this] { maintenance_->clearNvram(); };
    handlers_[TMenuItem::ResetReceiver] = [this] { maintenance_->menuResetReceiver(); };
    for (auto item : {TMenuItem::ClearNvram, TMenuItem::ResetReceiver})
        items_[item]->setEnabled(false);
}

void TMainWindow::setItemHandler(TMenuItem item, std::function<void()> handler) {
    handlers_[item] = std::move(handler);
    const bool allowConfig = profile_.read(keys::ReceiverAllowConfig);
    const bool configItem = item == TMenuItem::ReceiverConfig ||
                            item == TMenuItem::InitFileSystem || item == TMenuItem::ClearNvram;
    if (QAction* a = items_[item])
        a->setVisible(!configItem || allowConfig);
    if (item == TMenuItem::ReceiverConfig || item == TMenuItem::Radio || item == TMenuItem::Site ||
        item == TMenuItem::TargetPosition)
        configMenu_->menuAction()->setVisible(allowConfig || item != TMenuItem::ReceiverConfig);
}

void TMainWindow::buildStatusBar() {
    statusPanel_ = new QLabel(this);
    statusPanel_->setObjectName("StatusPanel");
    statusPanel_->setMinimumWidth(160);
    statusLine_ = new QLabel(this);
    statusLine_->setObjectName("StatusLine");
    stop_ = new QPushButton("Stop", this);
    stop_->setObjectName("StopButton");
    stop_->hide();
    connect(stop_, &QPushButton::clicked, this, [this] { session_->requestStop(); });
    progress_ = new QProgressBar(this);
    progress_->setObjectName("ProgressBar");
    progress_->setMaximumWidth(160);
    progress_->setTextVisible(false);
    progress_->hide();
    elapsed_ = new QLabel(this);
    elapsed_->setObjectName("ElapsedLabel");
    elapsed_->installEventFilter(this);
    statusBar()->addWidget(statusPanel_);
    statusBar()->addWidget(statusLine_, 1);
    statusBar()->addPermanentWidget(progress_);
    statusBar()->addPermanentWidget(stop_);
    statusBar()->addPermanentWidget(elapsed_);
}

// ---------------------------------------------------------------------------------------------
// The session's view

void TMainWindow::setStatusLine(const std::string& text) {
    statusLine_->setText(q(text));
}

void TMainWindow::setStatusPanel(const std::string& text) {
    statusPanel_->setText(q(text));
}

void TMainWindow::setTitle(const std::string& title, const std::string& plotSuffix) {
    setWindowTitle(q(title));
    plotSuffix_ = plotSuffix;
    if (plots_)
        plots_->setTitleSuffix(plotSuffix);
}

void TMainWindow::showSearch(bool visible) {
    stop_->setVisible(visible);
    progress_->setVisible(visible);
}

void TMainWindow::setProgress(int maximum, int position) {
    progress_->setMaximum(maximum);
    progress_->setValue(std::min(position, maximum));
}

void TMainWindow::enableMainMenus(bool on) {
    for (QMenu* m : mainMenus_)
        m->menuAction()->setEnabled(on);
}

void TMainWindow::enableItem(TMenuItem item, bool on) {
    if (QAction* a = items_[item])
        a->setEnabled(on);
}

void TMainWindow::showDisplayData(bool visible) {
    panel_->displayData()->setChecked(session_->displayData());
    panel_->displayData()->setVisible(visible);
}

namespace {

// Counts the modal windows that run inside an event of the main window.
struct TModalScope {
    int& depth;
    explicit TModalScope(int& d) : depth(d) { ++depth; }
    ~TModalScope() { --depth; }
    TModalScope(const TModalScope&) = delete;
    TModalScope& operator=(const TModalScope&) = delete;
};

} // namespace

bool TMainWindow::runConnectDialog() {
    if (closePending_)
        return false;
    TModalScope modal(modalDepth_);
    TConnectForm form(profile_, runScript_, session_->displayData(), this);
    form.setWindowModality(Qt::WindowModal);
    bool accepted = form.exec() == QDialog::Accepted && !closePending_;
    if (accepted)
        panel_->displayData()->setChecked(form.displayData());
    if (isHidden()) {
        centreOver(this, form.frameGeometry());
        show();
    }
    return accepted;
}

TBoxResult TMainWindow::messageBox(const std::string& title, const std::string& text,
                                   TBoxButtons buttons, TBoxIcon icon) {
    TModalScope modal(modalDepth_);
    QMessageBox box(this);
    box.setWindowModality(Qt::WindowModal);
    box.setWindowTitle(q(title));
    box.setText(q(text));
    switch (icon) {
    case TBoxIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case TBoxIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case TBoxIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case TBoxIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    switch (buttons) {
    case TBoxButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case TBoxButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case TBoxButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return TBoxResult::Ok;
    case QMessageBox::Yes:
        return TBoxResult::Yes;
    case QMessageBox::No:
        return TBoxResult::No;
    default:
        return TBoxResult::Cancel;
    }
}

void TMainWindow::showNotice(const std::string& text) {
    closeNotice();
    notice_ = new QDialog(this, Qt::Dialog | Qt::WindowTitleHint);
    notice_->setObjectName("NoticeWindow");
    notice_->setWindowTitle(kAppTitle);
    auto* layout = new QVBoxLayout(notice_);
    layout->addWidget(new QLabel(q(text), notice_));
    notice_->show();
}

void TMainWindow::closeNotice() {
    if (notice_) {
        notice_->close();
        notice_->deleteLater();
        notice_ = nullptr;
    }
}

void TMainWindow::setMonitorTimer(bool on) {
    if (on)
        monitorTimer_->start();
    else
        monitorTimer_->stop();
}

void TMainWindow::setElapsedTimer(bool on) {
    shownSeconds_ = -1;
    if (on) {
        elapsedTimer_->start();
        updateElapsed();
    } else {
        elapsedTimer_->stop();
    }
}

void TMainWindow::post(TSessionCommand command) {
    QMetaObject::invokeMethod(
        this, [this, command] { runCommand(command); }, Qt::QueuedConnection);
}

void TMainWindow::sessionStarted() {
    if (plots_)
        plots_->sessionStarted(); // the histories emptied, every plot redrawn
    else
        monitor_->sessionStarted();
}

void TMainWindow::setElevationMask(int degrees) {
    if (plots_)
        plots_->setElevationMask(degrees);
    else
        monitor_->monitor().plotData().setElevationMask(degrees);
}

void TMainWindow::hideDateAndEvents() {
    panel_->hideDateAndEvents();
}

void TMainWindow::endSubWindow() {
    if (isHidden())
        show();
}

void TMainWindow::hideMainWindow() {
    hide();
}

void TMainWindow::BeginWait() {
    if (waitDepth_++ > 0 || stop_->isVisible())
        return;
    if (QWidget* front = QApplication::activeWindow()) {
        front->setEnabled(false);
        waitDisabled_.push_back(front);
    }
}

void TMainWindow::EndWait() {
    if (waitDepth_ == 0 || --waitDepth_ > 0)
        return;
    for (QWidget* w : waitDisabled_)
        w->setEnabled(true);
    waitDisabled_.clear();
}

// ---------------------------------------------------------------------------------------------

void TMainWindow::runCommand(TSessionCommand command) {
    switch (command) {
    case TSessionCommand::Connect:
        // Started with a recording: it takes the place of the first connect.
        if (!startRecording_.empty()) {
            const std::string path = std::move(startRecording_);
            startRecording_.clear();
            openRecording(path);
            break;
        }
        doConnect();
        break;
    case TSessionCommand::Disconnect:
        if (!session_->busy())
            session_->disconnect();
        break;
    case TSessionCommand::RealTimeLogging:
        if (handlers_[TMenuItem::RealTimeLogging])
            handlers_[TMenuItem::RealTimeLogging]();
        break;
    case TSessionCommand::ReceiverConfig:
        if (handlers_[TMenuItem::ReceiverConfig])
            handlers_[TMenuItem::ReceiverConfig]();
        break;
    case TSessionCommand::StartServer:
        if (serverStarter_)
            serverStarter_();
        break;
    }
}

void TMainWindow::buildReplayBar(QVBoxLayout* column) {
    replayControl_ = std::make_unique<TReplayControl>(
        TReplayControl::THooks{[this] { sessionStarted(); },
                               [this](const std::string& summary) { setStatusLine(summary); }});
    replayBar_ = new TReplayBarForm(*replayControl_, centralWidget());
    column->addWidget(replayBar_);
}

void TMainWindow::openRecording(const std::string& path) {
    if (session_->busy())
        return;
    if (!session_->openRecording(path))
        messageBox(kAppTitle, session_->lastError(), TBoxButtons::Ok, TBoxIcon::Error);
    replayBar_->refresh();
}

void TMainWindow::doConnect() {
    if (session_->busy())
        return;
    session_->connect();
    if (closePending_)
        close();
}

void TMainWindow::onCode(std::uint32_t code) {
    if (code == kSyncCode) {
        if (monitorTimer_->isActive())
            onMonitorTimer();
    } else if (code == kResetCode || code == kSetDefaultsCode) {
        if (!session_->busy())
            maintenance_->handleCode(code);
    }
}

void TMainWindow::onMonitorTimer() {
    // The tick switches the timer off while it works and on again when it is done; a silent
    // receiver has been disconnected by it.
    monitor_->tick();
}

void TMainWindow::createPlotWindows() {
    if (plots_)
        return;
    plots_ = new TPlotWindows(
        monitor_->monitor(), &profile_,
        [](const std::string& line, int timeoutMs) { return SendAndWait(line, timeoutMs); }, this);
    hookMonitor();
    plots_->setTitleSuffix(plotSuffix_);
    inputModeChanged(commState().inputMode.load());
    plotsMenu_->menuAction()->setVisible(true);
    plots_->showSaved();
}

// The monitor's hooks (the plot windows install their own; these call theirs).
void TMainWindow::hookMonitor() {
    TMonitor& m = monitor_->monitor();
    m.setOnInputModeChanged([this](TInputMode mode) { inputModeChanged(mode); });
    m.setOnTargetChanged([this] {
        monitor_->showView();
        if (plots_)
            plots_->targetChanged();
    });
}

void TMainWindow::inputModeChanged(TInputMode mode) {
    monitor_->showView(); // leaving monitoring has hidden the read-outs
    maskItem_->setEnabled(mode == TInputMode::Monitoring);
    if (plots_)
        plots_->inputModeChanged(mode);
}

void TMainWindow::labelDoubleClick(const std::string& name, bool shift) {
    TMonitorDecoder& decoder = monitor_->monitor().decoder();
    if (name == "EventALabel")
        decoder.resetEvent(0);
    else if (name == "EventBLabel")
        decoder.resetEvent(1);
    else if (name == "TgtLatLabel" || name == "TgtLonLabel")
        decoder.armTargetCapture();
    else if (name == "TimeDriftLabel")
        decoder.deltaDoubleClick(shift);
    monitor_->showView();
}

void TMainWindow::openTargetPosition() {
    TLinkPositionSource source(monitor_->monitor().plotData());
    TTargetPositionForm form(monitor_->monitor(), &source, this);
    runSubWindow(&form, false);
}

namespace {

class TSessionAboutContext : public TAboutContext {
public:
    explicit TSessionAboutContext(const TSession& session) : session_(session) {}
    bool connected() const override { return session_.connected(); }
    int firmwareVersion() const override { return session_.firmwareVersion(); }
    bool servingSharingClient() const override {
        TSharingSink* sharing = commState().Sharing();
        return sharing && sharing->ClientConnected();
    }

private:
    const TSession& session_;
};

} // namespace

void TMainWindow::openAbout() {
    TSessionAboutContext context(*session_);
    TAboutForm form(context, profile_, {kAppTitle, appVersion(), buildDateText(appBuildDate())},
                    this);
    // A sharing server's receiver keeps its messages for the client.
    const bool server = session_->settings().mode == cmInternetServer;
    runSubWindow(&form, session_->connected() && !server);
}

void TMainWindow::updateElapsed() {
    std::int64_t seconds = session_->elapsedSeconds();
    if (seconds == shownSeconds_)
        return;
    shownSeconds_ = seconds;
    elapsed_->setText(q(elapsedText(seconds)));
}

bool TMainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == elapsed_ && event->type() == QEvent::MouseButtonDblClick) {
        session_->restartElapsed();
        updateElapsed();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainWindow::centreOver(QWidget* window, const QRect& over) {
    QRect r(QPoint(0, 0), window->frameGeometry().size());
    r.moveCenter(over.center());
    window->move(keptOnScreen(r));
}

void TMainWindow::runSubWindow(QDialog* dialog, bool pause) {
    if (closePending_)
        return;
    TModalScope modal(modalDepth_);
    session_->runSubWindow(
        [&] {
            dialog->setWindowModality(Qt::WindowModal);
            centreOver(dialog, frameGeometry());
            dialog->exec();
            if (isHidden())
                centreOver(this, dialog->frameGeometry());
        },
        pause);
}

bool TMainWindow::closeMustWait() const {
    return session_->busy() || modalDepth_ > 0 || waitDepth_ > 0 ||
           QApplication::activeModalWidget() != nullptr;
}

// Each modal window closes as its own close button would close it, so that its rules run
// (a terminal stops its script and the receiver's output first).
void TMainWindow::endModalWindows() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible() && w->isModal())
            w->close();
}

void TMainWindow::closeEvent(QCloseEvent* event) {
    if (closeMustWait()) {
        // End what runs; the close comes back once it has unwound.
        session_->shutdown();
        closePending_ = true;
        event->ignore();
        endModalWindows();
        closeRetry_->start();
        return;
    }
    closeRetry_->stop();
    // Before any plot window is hidden, so that they open again at the next start.
    if (plots_)
        plots_->closing();
    monitorTimer_->stop();
    if (session_->connected())
        session_->disconnect();
    profile_.write(keys::ReceiverRecordingIntervalFile, recordingInterval_);
    profile_.write(keys::LoadFileDoubleCheck, doubleCheck_);
    monitor_->monitor().saveTarget();
    logSessionClose();
    closeCommLog();
    event->accept();
    // Not quit(): it asks every window to close first, and one that refuses (or is busy)
    // would keep the program running with its main window gone. Only a running loop is
    // ended: outside one, exit() would make the next modal loop return at once.
    if (thread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}
