#include "rtlog/Targetpositionform.h"

#include "monitor/Monitor.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace telvor {
namespace {

QLineEdit* edit(const char* name, int width) {
    auto* e = new QLineEdit;
    e->setObjectName(name);
    e->setMaximumWidth(width);
    return e;
}

QComboBox* hemisphere(const char* name, const char* positive, const char* negative) {
    auto* c = new QComboBox;
    c->setObjectName(name);
    c->addItem(positive);
    c->addItem(negative);
    return c;
}

} // namespace

TTargetPositionForm::TTargetPositionForm(TMonitor& monitor, TPositionSource* source,
                                         QWidget* parent)
    : QDialog(parent), monitor_(monitor), source_(source) {
    setObjectName("TargetPositionForm");
    setWindowTitle("Target Position");
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    latD_ = edit("LatDEdit", 50);
    latM_ = edit("LatMEdit", 40);
    latS_ = edit("LatSEdit", 90);
    lonD_ = edit("LonDEdit", 50);
    lonM_ = edit("LonMEdit", 40);
    lonS_ = edit("LonSEdit", 90);
    latHemisphere_ = hemisphere("LatComboBox", "N", "S");
    lonHemisphere_ = hemisphere("LonComboBox", "E", "W");
    grid->addWidget(new QLabel("Degrees"), 0, 1);
    grid->addWidget(new QLabel("Minutes"), 0, 2);
    grid->addWidget(new QLabel("Seconds"), 0, 3);
    grid->addWidget(new QLabel("Latitude:"), 1, 0);
    grid->addWidget(latD_, 1, 1);
    grid->addWidget(latM_, 1, 2);
    grid->addWidget(latS_, 1, 3);
    grid->addWidget(latHemisphere_, 1, 4);
    grid->addWidget(new QLabel("Longitude:"), 2, 0);
    grid->addWidget(lonD_, 2, 1);
    grid->addWidget(lonM_, 2, 2);
    grid->addWidget(lonS_, 2, 3);
    grid->addWidget(lonHemisphere_, 2, 4);
    layout->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    query_ = new QPushButton("Get from receiver");
    query_->setObjectName("QueryButton");
    auto* ok = new QPushButton("OK");
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel");
    cancel->setObjectName("CancelButton");
    buttons->addWidget(query_);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    status_ = new QStatusBar;
    status_->setObjectName("StatusBar");
    status_->setSizeGripEnabled(false);
    layout->addWidget(status_);

    connect(query_, &QPushButton::clicked, this, &TTargetPositionForm::queryClick);
    connect(ok, &QPushButton::clicked, this, &TTargetPositionForm::okClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    const TTargetPoint& t = monitor.target();
    showFields(targetFields(t.lat, t.lon));
    query_->setEnabled(source_ && source_->linkOpen());
}

TTargetFields TTargetPositionForm::fields() const {
    TTargetFields f;
    f.latD = latD_->text().toStdString();
    f.latM = latM_->text().toStdString();
    f.latS = latS_->text().toStdString();
    f.lonD = lonD_->text().toStdString();
    f.lonM = lonM_->text().toStdString();
    f.lonS = lonS_->text().toStdString();
    f.latHemisphere = latHemisphere_->currentIndex();
    f.lonHemisphere = lonHemisphere_->currentIndex();
    return f;
}

void TTargetPositionForm::showFields(const TTargetFields& f) {
    latD_->setText(QString::fromStdString(f.latD));
    latM_->setText(QString::fromStdString(f.latM));
    latS_->setText(QString::fromStdString(f.latS));
    lonD_->setText(QString::fromStdString(f.lonD));
    lonM_->setText(QString::fromStdString(f.lonM));
    lonS_->setText(QString::fromStdString(f.lonS));
    latHemisphere_->setCurrentIndex(f.latHemisphere);
    lonHemisphere_->setCurrentIndex(f.lonHemisphere);
}

void TTargetPositionForm::queryClick() {
    if (!source_ || !source_->linkOpen())
        return;
    // The wait pumps events: nothing in this window may start meanwhile.
    setEnabled(false);
    status_->clearMessage();
    TQueryResult r = queryTargetFromReceiver(*source_);
    setEnabled(true);
    if (r.position)
        showFields(targetFields(r.position->lat, r.position->lon));
    else
        status_->showMessage(QString::fromStdString(r.status));
}

void TTargetPositionForm::okClick() {
    TLatLon t = targetFromFields(fields());
    // Capture off, labels, plot store and settings: all through the monitor.
    monitor_.setTarget(t.lat, t.lon);
    accept();
}

} // namespace telvor
