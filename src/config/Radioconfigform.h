#pragma once
// TRadioConfigForm: the frame of a radio modem window, the Connect tab (modem port, search
// speed, connection type, Connect / Stop / Disconnect), the status bar and the close question.
// A modem's window derives from it and fills in the finding, the pages and the disconnect.
#include "config/Radiochain.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabWidget;

namespace telvor {

class TRadioConfigForm : public QDialog, public TRadioView {
    Q_OBJECT
public:
    explicit TRadioConfigForm(const QString& caption, QWidget* owner = nullptr);

    void setStatus(const std::string& text) override;
    void setProgress(int percent) override;
    bool ask(const std::string& caption, const std::string& text) override;

    // Published handlers.
    void OnConnectClick();
    void OnStopClick();
    void OnConfigExitClick();
    void OnConnectionTypeClick();
    bool OnCloseQuery();

protected:
    // What the modem's window does for them; true when it worked.
    virtual bool connectModem(char port, std::uint32_t speed, bool powerCycle) = 0;
    virtual void stopModem() = 0;
    virtual bool disconnectModem() = 0;
    virtual bool chainUp() const = 0;
    // Whether the window may close (asking while the chain is up).
    virtual bool closeAllowed() = 0;
    // Preparation done before the window shows; false keeps Connect disabled.
    void setConnectAllowed(bool allowed);
    void setPortLetter(char letter);
    // Shows the modem's pages after Connect, the Connect tab after Disconnect.
    void setConnected(bool connected);

    void closeEvent(QCloseEvent* event) override;
    void reject() override;

    QTabWidget* Pages;
    QWidget* ConnectSheet;

private:
    void setBusy(bool busy);

    QComboBox* ModemPortComboBox;
    QComboBox* ModemSpeedComboBox;
    QRadioButton* SearchRadioButton;
    QRadioButton* PowerCycleRadioButton;
    QPushButton* ConnectButton;
    QPushButton* StopButton;
    QPushButton* ConfigExitButton;
    QStatusBar* StatusBar;
    QLabel* StatusLabel;
    QProgressBar* ProgressBar;
    bool connectAllowed_ = true;
    bool busy_ = false;
};

} // namespace telvor
