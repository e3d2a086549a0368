#include "rtlog/Setuprinexdialog.h"

#include "config/Widgetbinderform.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace telvor {
namespace {

QLineEdit* edit(const char* name) {
    auto* e = new QLineEdit;
    e->setObjectName(name);
    return e;
}

QCheckBox* check(const char* name, const char* caption) {
    auto* c = new QCheckBox(caption);
    c->setObjectName(name);
    return c;
}

} // namespace

TSetupRINEXDlg::TSetupRINEXDlg(TProfile& profile, QWidget* owner)
    : QDialog(owner), setup_(profile) {
    setObjectName("TSetupRINEXDlg");
    setWindowTitle("Converter to RINEX Setup");
    auto* layout = new QVBoxLayout(this);
    auto* header = new QFormLayout;
    header->addRow("Run by:", edit("RunByEdit"));
    header->addRow("Observer:", edit("ObserverEdit"));
    header->addRow("Agency:", edit("AgencyEdit"));
    header->addRow("Antenna #:", edit("AntennaNoEdit"));
    header->addRow("Antenna type:", edit("AntennaTypeEdit"));
    header->addRow("Comment:", edit("CommentEdit"));
    header->addRow("Marker name:", edit("MarkerNameEdit"));
    header->addRow("Marker number:", edit("MarkerNumberEdit"));
    layout->addLayout(header);

    auto* converter = new QFormLayout;
    QLineEdit* application = edit("ApplicationEdit");
    auto* browse = new QPushButton("Browse");
    browse->setObjectName("BrowseButton");
    auto* applicationRow = new QHBoxLayout;
    applicationRow->addWidget(application);
    applicationRow->addWidget(browse);
    converter->addRow("Application:", applicationRow);
    converter->addRow("Additional options:", edit("OptionsEdit"));
    layout->addLayout(converter);
    for (QCheckBox* c :
         {check("DeleteVXRCheckBox", "Delete source VXR files after successful conversion"),
          check("NoGPSCheckBox", "Exclude GPS"), check("NoGLOCheckBox", "Exclude GLONASS"),
          check("NoL1CheckBox", "Exclude L1"), check("NoL2CheckBox", "Exclude L2")})
        layout->addWidget(c);

    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton("OK");
    ok->setObjectName("ButtonOK");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel");
    cancel->setObjectName("ButtonCancel");
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    binder_ = new TWidgetBinder(this);
    for (TControl* c : setup_.controls())
        binder_->bind(*c);
    setup_.onError = [this](const std::string& text) {
        QMessageBox::critical(this, "RINEX Converter", QString::fromStdString(text));
    };
    connect(ok, &QPushButton::clicked, this, [this] {
        if (setup_.ButtonOKClick())
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(
            this, "Find Converter to RINEX", QString::fromStdString(setup_.ApplicationEdit.text()),
            "Application files (*);;All files (*)");
        if (!file.isEmpty())
            setup_.ApplicationEdit.setText(file.toStdString());
    });
}

TSetupRINEXDlg::~TSetupRINEXDlg() {
    // The widgets let go of the controls before the controls go.
    delete binder_;
}

} // namespace telvor
