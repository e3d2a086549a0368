// "NMEA Output" dialog.
#include "nmea/Nmeaoutputdialog.h"

#include "nmea/Nmeacontrol.h"
#include "qtglue/Strings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace telvor {

TNmeaOutputDialog::TNmeaOutputDialog(TNmeaControl& control, QWidget* parent)
    : QDialog(parent), control_(control) {
    setObjectName("NmeaOutputDialog");
    setWindowTitle("NMEA Output");
    const TNmeaFields f = control.fields();
    ptyOn_ = new QCheckBox("Pseudo-terminal (for gpsd)", this);
    ptyOn_->setObjectName("PtyOnCheckBox");
    ptyOn_->setChecked(f.ptyOn);
    ptyPath_ = new QLineEdit(q(f.ptyPath), this);
    ptyPath_->setObjectName("PtyPathEdit");
    tcpOn_ = new QCheckBox("TCP server", this);
    tcpOn_->setObjectName("TcpOnCheckBox");
    tcpOn_->setChecked(f.tcpOn);
    tcp_ = new QLineEdit(q(f.tcp), this);
    tcp_->setObjectName("TcpEdit");
    error_ = new QLabel(this);
    error_->setObjectName("ErrorLabel");
    error_->setStyleSheet("color: red");

    auto* form = new QFormLayout;
    form->addRow(ptyOn_, ptyPath_);
    form->addRow(tcpOn_, tcp_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TNmeaOutputDialog::okClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(error_);
    layout->addWidget(buttons);
}

void TNmeaOutputDialog::okClick() {
    const TNmeaFields f{ptyOn_->isChecked(), ptyPath_->text().toStdString(), tcpOn_->isChecked(),
                        tcp_->text().toStdString()};
    const std::string error = control_.apply(f);
    if (!error.empty()) {
        error_->setText(q(error));
        return;
    }
    accept();
}

} // namespace telvor
