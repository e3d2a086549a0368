#include "app/Connectform.h"

#include "qtglue/Strings.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace telvor;

namespace {

template <class W> W* named(W* w, const char* name) {
    w->setObjectName(name);
    return w;
}

} // namespace

TConnectForm::TConnectForm(TProfile& profile, bool runScript, bool displayData, QWidget* parent,
                           TPortScan scan)
    : QDialog(parent), config_(profile, runScript, std::move(scan)) {
    setObjectName("ConnectForm");
    setWindowTitle("Connection Parameters");

    typeGroup_ = named(new QGroupBox("Connection mode", this), "TypeRadioGroup");
    typeButtons_ = new QButtonGroup(this);
    auto* typeLayout = new QVBoxLayout(typeGroup_);
    int id = 0;
    for (const auto& name : TCommConfig::modeNames()) {
        auto* b = new QRadioButton(q(name), typeGroup_);
        b->setObjectName(QString("TypeRadio%1").arg(id));
        typeButtons_->addButton(b, id++);
        typeLayout->addWidget(b);
    }

    portGroup_ = named(new QGroupBox("Port settings", this), "PortGroupBox");
    portLabel_ = named(new QLabel("Port:", portGroup_), "PortLabel");
    comboCom_ = named(new QComboBox(portGroup_), "ComboCom");
    comboCom_->setEditable(true); // a device path may be typed
    comboCom_->setMinimumContentsLength(18);
    speedLabel_ = named(new QLabel("Baud rate:", portGroup_), "SpeedLabel");
    comboSpeed_ = named(new QComboBox(portGroup_), "ComboSpeed");
    irda_ = named(new QCheckBox("Infrared port", portGroup_), "IrDACheckBox");
    handshaking_ = named(new QCheckBox("RTS/CTS handshaking", portGroup_), "HandshakingCheckBox");
    ethrHost_ = named(new QLineEdit(portGroup_), "EthrDHostEdit");
    ethrPortLabel_ = named(new QLabel("TCP port:", portGroup_), "EthrDTCPPortLabel");
    ethrPort_ = named(new QLineEdit(portGroup_), "EthrDTCPPortEdit");
    ethrPasswordLabel_ = named(new QLabel("Password:", portGroup_), "EthrDPasswordLabel");
    ethrPassword_ = named(new QLineEdit(portGroup_), "EthrDPasswordEdit");
    ethrPassword_->setMaxLength(15);
    ethrPassword_->setEchoMode(QLineEdit::Password);
    auto* portLayout = new QGridLayout(portGroup_);
    portLayout->addWidget(portLabel_, 0, 0);
    portLayout->addWidget(comboCom_, 0, 1);
    portLayout->addWidget(ethrHost_, 0, 2);
    portLayout->addWidget(speedLabel_, 1, 0);
    portLayout->addWidget(comboSpeed_, 1, 1);
    portLayout->addWidget(ethrPortLabel_, 2, 0);
    portLayout->addWidget(ethrPort_, 2, 1);
    portLayout->addWidget(ethrPasswordLabel_, 3, 0);
    portLayout->addWidget(ethrPassword_, 3, 1);
    portLayout->addWidget(irda_, 4, 0, 1, 2);
    portLayout->addWidget(handshaking_, 5, 0, 1, 2);

    auto* programGroup = named(new QGroupBox("Program settings", this), "ProgramGroupBox");
    timeout_ = named(new QComboBox(programGroup), "TimeOutComboBox");
    timeout_->setEditable(true);
    for (const auto& t : TCommConfig::timeoutList())
        timeout_->addItem(q(t));
    passive_ = named(new QCheckBox("Passive mode", programGroup), "PassiveCheckBox");
    terminal_ = named(new QCheckBox("Manual mode only", programGroup), "TerminalCheckBox");
    recBaud_ = named(
        new QCheckBox("Restore the receiver's original baud rate on Disconnect", programGroup),
        "RecBaudCheckBox");
    auto* programLayout = new QGridLayout(programGroup);
    programLayout->addWidget(named(new QLabel("Timeout [ms]:", programGroup), "TimeOutLabel"), 0,
                             0);
    programLayout->addWidget(timeout_, 0, 1);
    programLayout->addWidget(passive_, 1, 0, 1, 2);
    programLayout->addWidget(terminal_, 2, 0, 1, 2);
    programLayout->addWidget(recBaud_, 3, 0, 1, 2);

    auto* inetGroup =
        named(new QGroupBox("Internet ( Client - Server ) settings", this), "InetGroupBox");
    host_ = named(new QLineEdit(inetGroup), "HostEdit");
    tcpPort_ = named(new QLineEdit(inetGroup), "TCPPortEdit");
    tcpPort_->setMaxLength(5);
    password_ = named(new QLineEdit(inetGroup), "PasswordEdit");
    password_->setMaxLength(128);
    password_->setEchoMode(QLineEdit::Password);
    monitor_ = named(new QCheckBox("Display data on server", inetGroup), "MonitorCheckBox");
    logServer_ = named(new QCheckBox("Log server events", inetGroup), "LogServerCheckBox");
    dnsLookup_ = named(new QCheckBox("DNS lookup", inetGroup), "DNSLookupCheckBox");
    auto* inetLayout = new QFormLayout(inetGroup);
    inetLayout->addRow("Host name:", host_);
    inetLayout->addRow("TCP port:", tcpPort_);
    inetLayout->addRow("Password:", password_);
    inetLayout->addRow(monitor_);
    inetLayout->addRow(logServer_);
    inetLayout->addRow(dnsLookup_);

    ok_ = named(new QPushButton("Connect", this), "ButtonOK");
    ok_->setDefault(true);
    cancel_ = named(new QPushButton("Cancel", this), "ButtonCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* left = new QVBoxLayout;
    left->addWidget(typeGroup_);
    left->addWidget(portGroup_);
    auto* right = new QVBoxLayout;
    right->addWidget(programGroup);
    right->addWidget(inetGroup);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons);

    // Filling.
    values_ = config_.load(displayData);
    updating_ = true;
    for (const auto& p : config_.ports())
        comboCom_->addItem(q(p.label), q(p.name));
    updating_ = false;
    showValues(config_.apply(values_));

    connect(typeButtons_, &QButtonGroup::idClicked, this, [this](int) { modeOrPortChanged(); });
    connect(comboCom_, &QComboBox::currentIndexChanged, this, [this](int) { modeOrPortChanged(); });
    connect(comboCom_->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { modeOrPortChanged(); });
    for (QCheckBox* box : {irda_, terminal_})
        connect(box, &QCheckBox::toggled, this, [this](bool) { checksChanged(); });
    connect(ok_, &QPushButton::clicked, this, [this] { connectClicked(); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void TConnectForm::readControls() {
    values_.mode = typeButtons_->checkedId() < 0 ? 0 : typeButtons_->checkedId();
    int index = comboCom_->currentIndex();
    QString typed = comboCom_->currentText();
    if (index >= 0 && comboCom_->itemText(index) == typed)
        values_.port = comboCom_->itemData(index).toString().toStdString();
    else
        values_.port = typed.trimmed().toStdString();
    values_.speed = comboSpeed_->currentText().toStdString();
    values_.timeout = timeout_->currentText().toStdString();
    values_.irda = irda_->isChecked();
    values_.handshaking = handshaking_->isChecked();
    values_.passive = passive_->isChecked();
    values_.terminal = terminal_->isChecked();
    values_.recBaud = recBaud_->isChecked();
    values_.host = host_->text().toStdString();
    values_.tcpPort = tcpPort_->text().toStdString();
    values_.password = password_->text().toStdString();
    values_.ethrHost = ethrHost_->text().toStdString();
    values_.ethrPort = ethrPort_->text().toStdString();
    values_.ethrPassword = ethrPassword_->text().toStdString();
    values_.monitor = monitor_->isChecked();
    values_.logServer = logServer_->isChecked();
    values_.dnsLookup = dnsLookup_->isChecked();
}

void TConnectForm::showValues(const TConnectLayout& l) {
    updating_ = true;
    const TConnectValues& v = values_;
    if (auto* b = typeButtons_->button(v.mode))
        b->setChecked(true);
    typeGroup_->setEnabled(l.modeEnabled);

    int portIndex = -1;
    for (int i = 0; i < comboCom_->count(); ++i)
        if (comboCom_->itemData(i).toString().toStdString() == v.port)
            portIndex = i;
    if (portIndex >= 0)
        comboCom_->setCurrentIndex(portIndex);
    else
        comboCom_->setEditText(q(v.port));
    comboCom_->setEnabled(l.portListEnabled);
    portLabel_->setText(q(l.portLabel));

    comboSpeed_->clear();
    for (const auto& s : l.speedItems)
        comboSpeed_->addItem(q(s));
    comboSpeed_->setCurrentIndex(l.speedIndex);
    comboSpeed_->setVisible(l.speedVisible);
    speedLabel_->setVisible(l.speedVisible);
    irda_->setVisible(l.irdaVisible);
    irda_->setChecked(v.irda);
    handshaking_->setChecked(v.handshaking);
    handshaking_->setEnabled(l.handshakingEnabled);
    for (QWidget* w : {static_cast<QWidget*>(ethrHost_), static_cast<QWidget*>(ethrPortLabel_),
                       static_cast<QWidget*>(ethrPort_), static_cast<QWidget*>(ethrPasswordLabel_),
                       static_cast<QWidget*>(ethrPassword_)})
        w->setVisible(l.ethrVisible);
    ethrHost_->setText(q(v.ethrHost));
    ethrPort_->setText(q(v.ethrPort));
    ethrPassword_->setText(q(v.ethrPassword));

    timeout_->setEditText(q(v.timeout));
    passive_->setChecked(v.passive);
    passive_->setEnabled(l.passiveEnabled);
    terminal_->setChecked(v.terminal);
    recBaud_->setChecked(v.recBaud);
    recBaud_->setEnabled(l.recBaudEnabled);

    host_->setText(q(v.host));
    host_->setEnabled(l.hostEnabled);
    tcpPort_->setText(q(v.tcpPort));
    tcpPort_->setEnabled(l.tcpPortEnabled);
    password_->setText(q(v.password));
    password_->setEnabled(l.passwordEnabled);
    monitor_->setChecked(v.monitor);
    monitor_->setEnabled(l.monitorEnabled);
    logServer_->setChecked(v.logServer);
    dnsLookup_->setChecked(v.dnsLookup);
    updating_ = false;
}

void TConnectForm::modeOrPortChanged() {
    if (updating_)
        return;
    readControls();
    showValues(config_.apply(values_));
}

void TConnectForm::checksChanged() {
    if (updating_)
        return;
    readControls();
    showValues(config_.applyChecks(values_));
}

void TConnectForm::connectClicked() {
    readControls();
    config_.applyChecks(values_);
    const bool shift = QApplication::keyboardModifiers() & Qt::ShiftModifier;
    displayData_ = config_.save(values_, shift);
    accept();
}
