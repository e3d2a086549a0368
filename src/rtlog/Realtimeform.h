#pragma once
// "Real-Time Logging": the pages and controls of the logging window over TLogDriver, which
// holds every rule; the window shows what the driver reports and forwards the buttons.
#include "monitor/Monitorstate.h"
#include "rtlog/Logdriver.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QTabWidget;
class QTimer;
class QTreeWidget;

namespace telvor {

class TMonitor;
class TProfile;

class TRealTimeForm : public QDialog, private TLogDriverHost {
    Q_OBJECT
public:
    explicit TRealTimeForm(TProfile& profile, QWidget* owner = nullptr);
    ~TRealTimeForm() override;

    TLogDriver& driver() { return *driver_; }
    TRealTimeLog& logic() { return driver_->log(); }
    // How the session finds a lost receiver again, and which plot windows are open; before
    // the window shows.
    void setLink(TLogLink link) { driver_->setLink(std::move(link)); }
    void setPlots(std::function<TLogPlots()> plots) { driver_->setPlots(std::move(plots)); }
    // The bridge's codes for this window: "SYNC", "AUTO"/"STRT" and "DETH".
    void handleCode(std::uint32_t code);
    void ButtonStartClick();
    // The opening steps that talk to the receiver; run once the window shows.
    void open();
    // The session's monitor: its decoders write this window's reduced monitor while it exists,
    // and its display tick runs on this window's timer. Before the window shows.
    void setMonitor(TMonitor* monitor);
    const TMonitorView& monitorView() const { return view_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void buildControls();
    void readSettings();
    TStartRequest requestFromControls() const;
    void setOptionsEnabled(bool on);
    void writeBack();
    void OnTimer();
    QWidget* buildMonitor();
    void renderMonitor();

    // TLogDriverHost
    void setStatus(const std::string& text) override;
    bool confirm(const std::string& text) override;
    void labelsChanged() override;
    void showConvertWait(bool visible) override;
    void waitSlice() override;
    void monitorTick() override;
    void pressStart() override { ButtonStartClick(); }
    void stateChanged() override;

    TProfile& profile_;
    TMonitor* monitor_ = nullptr;
    TMonitorView view_{TViewKind::Logging};
    std::uint64_t shown_ = ~0ull;
    std::unique_ptr<TLogDriver> driver_;
    QMessageBox* convertWait_ = nullptr;
    QTabWidget* pages_;
    QLineEdit *EditFile, *NamePrefixEdit, *HoursEdit, *CountEdit, *RecordingIntervalEdit, *ELMEdit,
        *NewFolderEdit;
    QComboBox *GranularityComboBox, *NumberingComboBox;
    QCheckBox *OverwriteCheckBox, *RinexCheckBox;
    QLabel *CurrentFileLabel, *OutputPathLabel, *BytesLabel, *ElapsedLabel, *StatusBar;
    QPushButton *ButtonStart, *ButtonCancel, *CreateDirButton, *BrowseButton, *RinexSetupButton;
    QWidget* MonitorPanel;
    QTreeWidget *GPSList, *GLOList;
    QTimer* Timer;
};

} // namespace telvor
