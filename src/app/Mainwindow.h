#pragma once
// The main window: menus, status bar, the monitor area, and the session's view. The session
// rules are TSession's and TMaintenance's; this window shows what they report. It also owns
// the plot windows (created after the debug and sharing windows) and the Plots menu.
#include "app/Maintenance.h"
#include "app/Session.h"
#include "protocol/Commstate.h"

#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QDialog;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTimer;
class QVBoxLayout;
class TMonitorPanel;
class TReplayBarForm;

namespace telvor {
class TMainMonitor;
class TPlotWindows;
class TMonitorView;
class TProfile;
class TQtBridge;
class TReplayControl;
} // namespace telvor

class TMainWindow : public QMainWindow, public telvor::TSessionView, public telvor::TWaitSink {
    Q_OBJECT
public:
    // `runScript`: started with "/run" and a script.
    TMainWindow(telvor::TProfile& profile, telvor::TQtBridge& bridge, bool runScript = false,
                QWidget* parent = nullptr);
    ~TMainWindow() override;

    telvor::TSession& session() { return *session_; }
    telvor::TMaintenance& maintenance() { return *maintenance_; }

    // The satellites, position and scatter windows, shown again if they were open when the
    // program last ran; the Plots menu appears with them.
    void createPlotWindows();
    // Called after each render of the monitor view (the debug window's almanac maps).
    void setRenderListener(std::function<void(const telvor::TMonitorView&)> listener) {
        renderListener_ = std::move(listener);
    }
    telvor::TPlotWindows* plots() const { return plots_; }

    // Windows that arrive later hook their menu items here; an item stays hidden until then.
    void setItemHandler(telvor::TMenuItem item, std::function<void()> handler);
    telvor::TMainMonitor& monitor() { return *monitor_; }
    // Runs a modal window over this one with monitoring paused (if asked).
    void runSubWindow(QDialog* dialog, bool pause);
    // "Manual mode only": what opens the terminal instead of a session.
    void setTerminalOpener(std::function<bool()> opener) { terminalOpener_ = std::move(opener); }
    // The "StartServer" command: the TCP sharing window starts its server.
    void setServerStarter(std::function<void()> starter) { serverStarter_ = std::move(starter); }
    bool openTerminal() override { return terminalOpener_ && terminalOpener_(); }
    // Replays a recording in place of the receiver; an error in a message box.
    void openRecording(const std::string& path);
    // Started with a recording (`telvor FILE.vxr`): it plays instead of the first connect.
    void setStartRecording(const std::string& path) { startRecording_ = path; }

    // TSessionView
    void setStatusLine(const std::string& text) override;
    void setStatusPanel(const std::string& text) override;
    void setTitle(const std::string& title, const std::string& plotSuffix) override;
    void showSearch(bool visible) override;
    void setProgress(int maximum, int position) override;
    void enableMainMenus(bool on) override;
    void enableItem(telvor::TMenuItem item, bool on) override;
    void showDisplayData(bool visible) override;
    bool runConnectDialog() override;
    telvor::TBoxResult messageBox(const std::string& title, const std::string& text,
                                  telvor::TBoxButtons buttons, telvor::TBoxIcon icon) override;
    void showNotice(const std::string& text) override;
    void closeNotice() override;
    void setMonitorTimer(bool on) override;
    void setElapsedTimer(bool on) override;
    void post(telvor::TSessionCommand command) override;
    void sessionStarted() override;
    void setElevationMask(int degrees) override;
    void hideDateAndEvents() override;
    void endSubWindow() override;
    void hideMainWindow() override;

    // TWaitSink: the front window is disabled while a command waits with event pumping.
    void BeginWait() override;
    void EndWait() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Steps of the constructor, in order.
    void buildMenus();
    void buildStatusBar();
    void placeFromSettings();
    void readStartSettings();
    void buildTimers();
    void buildMonitor();
    void buildReplayBar(QVBoxLayout* column);
    void hookSubWindows();
    void startSession();
    QAction* addItem(QMenu* menu, telvor::TMenuItem item, const QString& caption, bool available);
    void runCommand(telvor::TSessionCommand command);
    void doConnect();
    void onCode(std::uint32_t code);
    void onMonitorTimer();
    void updateElapsed();
    void centreOver(QWidget* window, const QRect& over);
    // Something runs inside an event of ours (a connect, a modal window, a wait with events):
    // closing now would pull the link from under it.
    bool closeMustWait() const;
    void endModalWindows();
    void hookMonitor();
    void inputModeChanged(telvor::TInputMode mode);
    void labelDoubleClick(const std::string& name, bool shift);
    void openTargetPosition();
    void openAbout();

    telvor::TProfile& profile_;
    telvor::TQtBridge& bridge_;
    bool runScript_;
    std::unique_ptr<telvor::TSession> session_;
    std::unique_ptr<telvor::TMaintenance> maintenance_;
    TMonitorPanel* panel_;
    std::unique_ptr<telvor::TMainMonitor> monitor_;
    telvor::TPlotWindows* plots_ = nullptr;
    std::unique_ptr<telvor::TReplayControl> replayControl_;
    TReplayBarForm* replayBar_ = nullptr;
    std::string startRecording_;

    std::map<telvor::TMenuItem, QAction*> items_;
    std::map<telvor::TMenuItem, std::function<void()>> handlers_;
    std::vector<QMenu*> mainMenus_;
    std::function<bool()> terminalOpener_;
    std::function<void()> serverStarter_;
    QMenu* configMenu_ = nullptr;
    QMenu* plotsMenu_ = nullptr;
    QAction* maskItem_ = nullptr;
    QAction* testMode_ = nullptr;

    QLabel* statusPanel_;
    QLabel* statusLine_;
    QLabel* elapsed_;
    QPushButton* stop_;
    QProgressBar* progress_;
    QTimer* monitorTimer_;
    QTimer* elapsedTimer_;
    QDialog* notice_ = nullptr;
    std::string plotSuffix_;
    std::int64_t shownSeconds_ = -1;
    std::vector<QWidget*> waitDisabled_;
    int waitDepth_ = 0;
    int modalDepth_ = 0; // modal windows this window runs
    bool closePending_ = false;
    bool realTimeOpen_ = false;
    QTimer* closeRetry_; // while a close waits for what runs to unwind

    // Written back at close; other windows change them while the program runs. (The target
    // is the monitor's, saved at every change.)
    std::string recordingInterval_;
    bool doubleCheck_ = false;
    std::function<void(const telvor::TMonitorView&)> renderListener_;
};
