#include "config/Rfm96configform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace telvor {

TRFM96RadioConfigForm::TRFM96RadioConfigForm(bool showDebug, QWidget* owner, TRadioTiming timing)
    : TRadioConfigForm("RFM96 Configuration", owner), logic_(*this, timing) {
    setObjectName("TRFM96RadioConfigForm");
    buildParameters();
    buildDebug(showDebug);
    setConnectAllowed(logic_.prepare());
    setPortLetter(logic_.port());
    setConnected(false);
}

void TRFM96RadioConfigForm::buildParameters() {
    auto* sheet = new QWidget(Pages);
    sheet->setObjectName("ParametersSheet");
    auto* layout = new QHBoxLayout(sheet);
    auto* form = new QFormLayout;
    const auto& rows = modemRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto* combo = new QComboBox(sheet);
        combo->setObjectName(rows[i].control);
        for (const std::string& item : modemRowItems(rows[i]))
            combo->addItem(QString::fromStdString(item));
        combos_[i] = combo;
        form->addRow(rows[i].name, combo);
        connect(combo, &QComboBox::currentIndexChanged, this, [this] { OnChanges(); });
        if (isProtocolRow(rows[i])) {
            BreakCheckBox = new QCheckBox("BREAK to Command", sheet);
            BreakCheckBox->setObjectName("BreakCheckBox");
            form->addRow("", BreakCheckBox);
            connect(BreakCheckBox, &QCheckBox::toggled, this, [this] { OnChanges(); });
        }
    }
    layout->addLayout(form);

    auto* side = new QVBoxLayout;
    SerialLabel = new QLabel(sheet);
    SerialLabel->setObjectName("SerialLabel");
    TemperatureLabel = new QLabel(sheet);
    TemperatureLabel->setObjectName("TemperatureLabel");
    VoltageLabel = new QLabel(sheet);
    VoltageLabel->setObjectName("VoltageLabel");
    ChannelList = new QListWidget(sheet);
    ChannelList->setObjectName("ChannelList");
    side->addWidget(SerialLabel);
    side->addWidget(TemperatureLabel);
    side->addWidget(VoltageLabel);
    side->addWidget(ChannelList);
    auto* refresh = new QPushButton("Refresh", sheet);
    refresh->setObjectName("RefreshButton");
    ApplyButton = new QPushButton("Apply", sheet);
    ApplyButton->setObjectName("ApplyButton");
    auto* defaults = new QPushButton("Set defaults", sheet);
    defaults->setObjectName("SetDefaultsButton");
    side->addWidget(refresh);
    side->addWidget(ApplyButton);
    side->addWidget(defaults);
    layout->addLayout(side);
    Pages->addTab(sheet, "Parameters");

    connect(refresh, &QPushButton::clicked, this, [this] { OnRefreshClick(); });
    connect(ApplyButton, &QPushButton::clicked, this, [this] { OnApplyClick(); });
    connect(defaults, &QPushButton::clicked, this, [this] { OnSetDefaultsClick(); });
}

void TRFM96RadioConfigForm::buildDebug(bool enabled) {
    auto* sheet = new QWidget(Pages);
    sheet->setObjectName("DebugSheet");
    auto* layout = new QVBoxLayout(sheet);
    DebugMemo = new QPlainTextEdit(sheet);
    DebugMemo->setObjectName("DebugMemo");
    DebugMemo->setReadOnly(true);
    DebugMemo->setFont(QFont("monospace"));
    auto* refresh = new QPushButton("Refresh", sheet);
    refresh->setObjectName("DebugRefreshButton");
    layout->addWidget(DebugMemo);
    layout->addWidget(refresh);
    const int tab = Pages->addTab(sheet, "Debug");
    Pages->setTabVisible(tab, enabled);
    connect(refresh, &QPushButton::clicked, this, [this] { OnDebugRefreshClick(); });
}

void TRFM96RadioConfigForm::showValues() {
    showing_ = true;
    for (std::size_t i = 0; i < kModemRows; ++i) {
        combos_[i]->setCurrentIndex(logic_.index[i]);
        combos_[i]->setEnabled(logic_.enabled[i]);
    }
    BreakCheckBox->setChecked(logic_.breakToCommand);
    SerialLabel->setText("S/N: " + QString::fromStdString(logic_.serialText));
    TemperatureLabel->setText(QString::fromStdString(logic_.temperatureText));
    VoltageLabel->setText(QString::fromStdString(logic_.voltageText));
    ChannelList->clear();
    for (const std::string& ch : logic_.channels)
        ChannelList->addItem(QString::fromStdString(ch));
    ApplyButton->setEnabled(logic_.applyEnabled);
    showing_ = false;
}

void TRFM96RadioConfigForm::takeValues() {
    for (std::size_t i = 0; i < kModemRows; ++i)
        logic_.index[i] = combos_[i]->currentIndex();
    logic_.breakToCommand = BreakCheckBox->isChecked();
}

bool TRFM96RadioConfigForm::connectModem(char port, std::uint32_t speed, bool powerCycle) {
    logic_.setPort(port);
    logic_.searchSpeed = speed;
    logic_.powerCycle = powerCycle;
    const bool ok = logic_.OnConnectClick();
    showValues();
    return ok;
}

void TRFM96RadioConfigForm::OnRefreshClick() {
    logic_.OnRefreshClick();
    showValues();
}

void TRFM96RadioConfigForm::OnApplyClick() {
    takeValues();
    logic_.OnApplyClick();
    showValues();
    setConnected(logic_.connected());
}

void TRFM96RadioConfigForm::OnSetDefaultsClick() {
    logic_.OnSetDefaultsClick();
    showValues();
}

void TRFM96RadioConfigForm::OnChanges() {
    if (showing_)
        return;
    logic_.applyEnabled = true;
    ApplyButton->setEnabled(true);
}

void TRFM96RadioConfigForm::OnDebugRefreshClick() {
    DebugMemo->clear();
    for (const std::string& line : logic_.OnDebugRefreshClick())
        DebugMemo->appendPlainText(QString::fromStdString(line));
}

} // namespace telvor
