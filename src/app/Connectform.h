#pragma once
// "Connection Parameters": shows the connection settings, lets the user change them and
// writes them on "Connect". The rules are TCommConfig's.
#include "app/Commconfig.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TConnectForm : public QDialog {
    Q_OBJECT
public:
    TConnectForm(telvor::TProfile& profile, bool runScript, bool displayData,
                 QWidget* parent = nullptr, telvor::TPortScan scan = {});

    // After "Connect": the new state of "Display data".
    bool displayData() const { return displayData_; }

private:
    void readControls();
    void showValues(const telvor::TConnectLayout& layout);
    void modeOrPortChanged();
    void checksChanged();
    void connectClicked();

    telvor::TCommConfig config_;
    telvor::TConnectValues values_;
    bool displayData_ = false;
    bool updating_ = false;

    QGroupBox* typeGroup_;
    QButtonGroup* typeButtons_;
    QGroupBox* portGroup_;
    QLabel* portLabel_;
    QComboBox* comboCom_;
    QLabel* speedLabel_;
    QComboBox* comboSpeed_;
    QCheckBox* irda_;
    QCheckBox* handshaking_;
    QLineEdit* ethrHost_;
    QLabel* ethrPortLabel_;
    QLineEdit* ethrPort_;
    QLabel* ethrPasswordLabel_;
    QLineEdit* ethrPassword_;
    QComboBox* timeout_;
    QCheckBox* passive_;
    QCheckBox* terminal_;
    QCheckBox* recBaud_;
    QLineEdit* host_;
    QLineEdit* tcpPort_;
    QLineEdit* password_;
    QCheckBox* monitor_;
    QCheckBox* logServer_;
    QCheckBox* dnsLookup_;
    QPushButton* ok_;
    QPushButton* cancel_;
};
