#pragma once
// The replay bar under the monitor: speed, pause, one epoch, the position slider, receiver time
// and file position. Its rules are TReplayControl's; it shows update() five times a second.
#include "app/Replaycontrol.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;

class TReplayBarForm : public QWidget {
    Q_OBJECT
public:
    TReplayBarForm(telvor::TReplayControl& control, QWidget* parent = nullptr);
    // Shows the state now (after a recording was opened or closed).
    void refresh();

private:
    telvor::TReplayControl& control_;
    QComboBox* speed_;
    QPushButton* pause_;
    QPushButton* step_;
    QSlider* slider_;
    QLabel* time_;
    QLabel* position_;
    QTimer* timer_;
};
