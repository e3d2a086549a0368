#include "monitor/Elevationmaskform.h"

#include "monitor/Maskrules.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace telvor {

TElevationMaskForm::TElevationMaskForm(int mask, QWidget* parent) : QDialog(parent), mask_(mask) {
    setObjectName("ElevationMaskForm");
    setWindowTitle("Elevation Mask");
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Elevation mask for position computation:"), 0, 0);
    edit_ = new QLineEdit(QString::fromStdString(maskEditText(mask)));
    edit_->setObjectName("ElmPosEdit");
    edit_->setMaximumWidth(60);
    grid->addWidget(edit_, 0, 1);
    grid->addWidget(new QLabel("(degrees)"), 0, 2);

    auto* ok = new QPushButton("OK");
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel");
    cancel->setObjectName("CancelButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 1, 0, 1, 3);

    connect(ok, &QPushButton::clicked, this, &TElevationMaskForm::okClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TElevationMaskForm::okClick() {
    mask_ = maskFromEdit(edit_->text().toStdString());
    accept();
}

} // namespace telvor
