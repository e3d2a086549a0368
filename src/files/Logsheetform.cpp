#include "files/Logsheetform.h"

#include "config/Modaldialog.h"
#include "config/Siteconfigform.h"
#include "config/Widgetbinderform.h"
#include "settings/Profile.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace telvor {

TLogSheet::TLogSheet(TProfile& profile, TFileManager& files, THost host, QWidget* parent)
    : QWidget(parent), profile_(profile), files_(files), host_(std::move(host)),
      interval_(profile.read(keys::ReceiverRecordingIntervalFile)),
      control_(*this, profile, interval_) {
    setObjectName("LogTabSheet");
    auto* layout = new QVBoxLayout(this);
    slot_ = new QGridLayout;
    layout->addLayout(slot_, 1);
    auto* grid = new QGridLayout;
    auto label = [](const char* name) {
        auto* l = new QLabel;
        l->setObjectName(name);
        return l;
    };
    auto edit = [](const char* name) {
        auto* e = new QLineEdit;
        e->setObjectName(name);
        return e;
    };
    grid->addWidget(new QLabel("Current file:"), 0, 0);
    grid->addWidget(label("CurrentFileLabel"), 0, 1);
    grid->addWidget(label("CurrentSizeLabel"), 0, 2);
    grid->addWidget(new QLabel("Recording interval:"), 1, 0);
    grid->addWidget(edit("RecordingIntervalEdit"), 1, 1);
    grid->addWidget(new QLabel("(seconds)"), 1, 2);
    grid->addWidget(new QLabel("Elevation mask:"), 2, 0);
    grid->addWidget(edit("ElevationMaskEdit"), 2, 1);
    grid->addWidget(new QLabel("(degrees)"), 2, 2);
    grid->addWidget(new QLabel("File name:"), 3, 0);
    grid->addWidget(edit("FileNameEdit"), 3, 1, 1, 2);
    layout->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    auto* stop = new QPushButton("Sto&p");
    stop->setObjectName("ButtonStop");
    auto* site = new QPushButton("&Site parameters");
    site->setObjectName("SiteButton");
    buttons->addWidget(stop);
    buttons->addWidget(site);
    buttons->addStretch();
    layout->addLayout(buttons);

    timer_ = new QTimer(this);
    timer_->setObjectName("Timer");
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, [this] { control_.refresh(true); });

    binder_ = new TWidgetBinder(this);
    for (TControl* c : control_.controls())
        if (c != &control_.StartButton) // ButtonOK is the form's
            binder_->bind(*c);
    connect(stop, &QPushButton::clicked, this, [this] { control_.stop(); });
    connect(site, &QPushButton::clicked, this,
            [this] { ShowModalChild<TSiteConfigForm>(window(), profile_); });
}

TLogSheet::~TLogSheet() {
    // The widgets let go of the controls before the controls go.
    delete binder_;
}

void TLogSheet::setInterval(const std::string& interval) {
    interval_ = interval;
    control_.RecordingIntervalEdit.setText(interval);
}

void TLogSheet::setTimer(bool on) {
    if (on)
        timer_->start();
    else
        timer_->stop();
}

void TLogSheet::stopTimer() {
    timer_->stop();
}

void TLogSheet::resumeTimer() {
    timer_->start();
}

} // namespace telvor
