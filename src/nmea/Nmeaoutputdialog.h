#pragma once
// "NMEA Output": the settings of the NMEA output (pseudo-terminal path, TCP server); OK hands
// the fields to TNmeaControl, which checks, saves and applies them.
#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace telvor {

class TNmeaControl;

class TNmeaOutputDialog : public QDialog {
    Q_OBJECT
public:
    TNmeaOutputDialog(TNmeaControl& control, QWidget* parent = nullptr);

private:
    void okClick();

    TNmeaControl& control_;
    QCheckBox* ptyOn_;
    QLineEdit* ptyPath_;
    QCheckBox* tcpOn_;
    QLineEdit* tcp_;
    QLabel* error_;
};

} // namespace telvor
