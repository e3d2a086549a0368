#include "config/Siteconfigform.h"

#include "config/Widgetbinderform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace telvor {

TSiteConfigForm::TSiteConfigForm(TProfile& profile, QWidget* owner)
    : QDialog(owner), site_(profile) {
    setObjectName("SiteConfigForm");
    setWindowTitle("Site Configuration");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto* name = new QLineEdit;
    name->setObjectName("EditSiteName");
    name->setMaxLength(20);
    auto* height = new QLineEdit;
    height->setObjectName("EditAntenna");
    height->setMaxLength(10);
    auto* slant = new QCheckBox("Slant");
    slant->setObjectName("CheckBoxTypeHeight");
    auto* heightRow = new QHBoxLayout;
    heightRow->addWidget(height);
    heightRow->addWidget(slant);
    auto* status = new QComboBox;
    status->setObjectName("AntennaStatusComboBox");
    auto* type = new QComboBox;
    type->setObjectName("AntTypeComboBox");
    form->addRow("Site Name:", name);
    form->addRow("Antenna Height (m):", heightRow);
    form->addRow("Antenna Status:", status);
    form->addRow("Antenna Type :", type);
    layout->addLayout(form);
    auto* autoSend = new QCheckBox("Send parameters automatically");
    autoSend->setObjectName("AutoSendCheckBox");
    layout->addWidget(autoSend);

    auto* buttons = new QHBoxLayout;
    auto* send = new QPushButton("Send to receiver");
    send->setObjectName("SendButton");
    auto* ok = new QPushButton("OK");
    ok->setObjectName("ButtonOK");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel");
    cancel->setObjectName("ButtonCancel");
    for (QPushButton* b : {send, ok, cancel})
        buttons->addWidget(b);
    layout->addLayout(buttons);
    status_ = new QStatusBar;
    status_->setObjectName("StatusBar");
    status_->setSizeGripEnabled(false);
    layout->addWidget(status_);

    binder_ = new TWidgetBinder(this);
    for (TControl* c : site_.controls())
        binder_->bind(*c);
    site_.onStatus = [this](const std::string& text) {
        status_->showMessage(QString::fromStdString(text));
    };
    connect(ok, &QPushButton::clicked, this, [this] {
        if (site_.ButtonOKClick())
            accept();
    });
    connect(send, &QPushButton::clicked, this, [this] { site_.SendButtonClick(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

TSiteConfigForm::~TSiteConfigForm() {
    // The widgets let go of the controls before the controls go.
    delete binder_;
}

} // namespace telvor
