#include "config/Radioconfigform.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace telvor {

TRadioConfigForm::TRadioConfigForm(const QString& caption, QWidget* owner) : QDialog(owner) {
    setObjectName("RadioConfigForm");
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    Pages = new QTabWidget(this);
    Pages->setObjectName("PageControl");
    layout->addWidget(Pages);

    ConnectSheet = new QWidget(Pages);
    ConnectSheet->setObjectName("ConnectSheet");
    auto* form = new QVBoxLayout(ConnectSheet);
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(new QLabel("Modem port", ConnectSheet));
    ModemPortComboBox = new QComboBox(ConnectSheet);
    ModemPortComboBox->setObjectName("ModemPortComboBox");
    ModemPortComboBox->addItems({"A", "B", "C", "D"});
    portRow->addWidget(ModemPortComboBox);
    portRow->addWidget(new QLabel("Speed", ConnectSheet));
    ModemSpeedComboBox = new QComboBox(ConnectSheet);
    ModemSpeedComboBox->setObjectName("ModemSpeedComboBox");
    ModemSpeedComboBox->addItems({"Auto", "38400", "19200", "9600", "4800", "2400"});
    portRow->addWidget(ModemSpeedComboBox);
    form->addLayout(portRow);

    auto* type = new QGroupBox("Connection type", ConnectSheet);
    type->setObjectName("ConnectionTypeRadioGroup");
    auto* typeLayout = new QVBoxLayout(type);
    SearchRadioButton = new QRadioButton("Search for modem", type);
    SearchRadioButton->setObjectName("SearchRadioButton");
    PowerCycleRadioButton = new QRadioButton("Power cycle", type);
    PowerCycleRadioButton->setObjectName("PowerCycleRadioButton");
    SearchRadioButton->setChecked(true);
    typeLayout->addWidget(SearchRadioButton);
    typeLayout->addWidget(PowerCycleRadioButton);
    form->addWidget(type);

    auto* buttons = new QHBoxLayout;
    ConnectButton = new QPushButton("Connect", ConnectSheet);
    ConnectButton->setObjectName("ConnectButton");
    StopButton = new QPushButton("Stop", ConnectSheet);
    StopButton->setObjectName("StopButton");
    StopButton->setEnabled(false);
    ConfigExitButton = new QPushButton("Disconnect", this);
    ConfigExitButton->setObjectName("ConfigExitButton");
    ConfigExitButton->setEnabled(false);
    buttons->addWidget(ConnectButton);
    buttons->addWidget(StopButton);
    form->addLayout(buttons);
    form->addStretch();
    Pages->addTab(ConnectSheet, "Connect");

    layout->addWidget(ConfigExitButton, 0, Qt::AlignRight);
    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName("StatusBar");
    StatusBar->setSizeGripEnabled(false);
    StatusLabel = new QLabel(StatusBar);
    StatusLabel->setObjectName("StatusLabel");
    ProgressBar = new QProgressBar(StatusBar);
    ProgressBar->setObjectName("ProgressBar");
    ProgressBar->setMaximumWidth(120);
    ProgressBar->setVisible(false);
    StatusBar->addWidget(StatusLabel, 1);
    StatusBar->addPermanentWidget(ProgressBar);
    layout->addWidget(StatusBar);

    connect(ConnectButton, &QPushButton::clicked, this, [this] { OnConnectClick(); });
    connect(StopButton, &QPushButton::clicked, this, [this] { OnStopClick(); });
    connect(ConfigExitButton, &QPushButton::clicked, this, [this] { OnConfigExitClick(); });
    connect(SearchRadioButton, &QRadioButton::toggled, this, [this] { OnConnectionTypeClick(); });
}

void TRadioConfigForm::setStatus(const std::string& text) {
    StatusLabel->setText(QString::fromStdString(text));
}

void TRadioConfigForm::setProgress(int percent) {
    ProgressBar->setValue(percent);
}

bool TRadioConfigForm::ask(const std::string& caption, const std::string& text) {
    return QMessageBox::question(this, QString::fromStdString(caption),
                                 QString::fromStdString(text)) == QMessageBox::Yes;
}

void TRadioConfigForm::setConnectAllowed(bool allowed) {
    connectAllowed_ = allowed;
    ConnectButton->setEnabled(allowed && !busy_);
}

void TRadioConfigForm::setPortLetter(char letter) {
    ModemPortComboBox->setCurrentIndex(letter - 'a');
}

void TRadioConfigForm::setBusy(bool busy) {
    // The waits keep events running: nothing may start a second operation meanwhile.
    busy_ = busy;
    ConnectButton->setEnabled(!busy && connectAllowed_);
    ModemPortComboBox->setEnabled(!busy);
    ModemSpeedComboBox->setEnabled(!busy && SearchRadioButton->isChecked());
    SearchRadioButton->setEnabled(!busy);
    PowerCycleRadioButton->setEnabled(!busy);
    StopButton->setEnabled(busy);
    ProgressBar->setVisible(busy);
}

void TRadioConfigForm::setConnected(bool connected) {
    ConfigExitButton->setEnabled(connected);
    for (int i = 0; i < Pages->count(); ++i)
        Pages->setTabEnabled(i, Pages->widget(i) == ConnectSheet ? !connected : connected);
    Pages->setCurrentIndex(connected ? std::min(1, Pages->count() - 1) : 0);
}

void TRadioConfigForm::OnConnectClick() {
    if (busy_)
        return;
    setBusy(true);
    const char port = static_cast<char>('a' + ModemPortComboBox->currentIndex());
    const std::uint32_t speed =
        ModemSpeedComboBox->currentIndex() == 0 ? 0 : ModemSpeedComboBox->currentText().toUInt();
    const bool found = connectModem(port, speed, PowerCycleRadioButton->isChecked());
    setBusy(false);
    setConnected(chainUp());
    (void)found;
}

void TRadioConfigForm::OnStopClick() {
    stopModem();
}

void TRadioConfigForm::OnConfigExitClick() {
    if (busy_)
        return;
    setBusy(true);
    disconnectModem();
    setBusy(false);
    setConnected(chainUp());
}

void TRadioConfigForm::OnConnectionTypeClick() {
    ModemSpeedComboBox->setEnabled(!busy_ && SearchRadioButton->isChecked());
}

bool TRadioConfigForm::OnCloseQuery() {
    return !busy_ && closeAllowed();
}

void TRadioConfigForm::closeEvent(QCloseEvent* event) {
    if (OnCloseQuery())
        event->accept();
    else
        event->ignore();
}

void TRadioConfigForm::reject() {
    if (OnCloseQuery())
        QDialog::reject();
}

} // namespace telvor
