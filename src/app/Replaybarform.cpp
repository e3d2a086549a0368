#include "app/Replaybarform.h"

#include "qtglue/Strings.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

using namespace telvor;

TReplayBarForm::TReplayBarForm(TReplayControl& control, QWidget* parent)
    : QWidget(parent), control_(control) {
    setObjectName("ReplayBar");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    speed_ = new QComboBox(this);
    speed_->setObjectName("ReplaySpeed");
    for (const std::string& caption : TReplayControl::speedCaptions())
        speed_->addItem(q(caption));
    pause_ = new QPushButton("Pause", this);
    pause_->setObjectName("ReplayPause");
    step_ = new QPushButton("Step", this);
    step_->setObjectName("ReplayStep");
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setObjectName("ReplayPosition");
    time_ = new QLabel(this);
    time_->setObjectName("ReplayTime");
    position_ = new QLabel(this);
    position_->setObjectName("ReplayFilePosition");
    layout->addWidget(speed_);
    layout->addWidget(pause_);
    layout->addWidget(step_);
    layout->addWidget(slider_, 1);
    layout->addWidget(time_);
    layout->addWidget(position_);

    connect(speed_, qOverload<int>(&QComboBox::activated), this,
            [this](int i) { control_.chooseSpeed(i); });
    connect(pause_, &QPushButton::clicked, this, [this] {
        control_.togglePause();
        refresh();
    });
    connect(step_, &QPushButton::clicked, this, [this] { control_.step(); });
    connect(slider_, &QSlider::sliderReleased, this, [this] { control_.seek(slider_->value()); });
    // A click beside the handle or a key jumps as well.
    connect(slider_, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            QTimer::singleShot(0, this, [this] { control_.seek(slider_->value()); });
    });
    timer_ = new QTimer(this);
    timer_->setInterval(200);
    connect(timer_, &QTimer::timeout, this, [this] { refresh(); });
    timer_->start();
    refresh();
}

void TReplayBarForm::refresh() {
    const TReplayBarState s = control_.update();
    setVisible(s.visible);
    if (!s.visible)
        return;
    QSignalBlocker block(speed_);
    speed_->setCurrentIndex(s.speedIndex);
    pause_->setText(q(s.pauseCaption));
    step_->setEnabled(s.stepEnabled);
    slider_->setMaximum(s.sliderMaximum);
    if (!slider_->isSliderDown())
        slider_->setValue(s.sliderValue);
    time_->setText(q(s.timeText));
    position_->setText(q(s.positionText));
}
