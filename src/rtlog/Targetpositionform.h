#pragma once
// `TTargetPositionForm`: types in the target point of the monitor as degrees, minutes and
// seconds, or takes it from the receiver's current position.
#include "monitor/Target.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QStatusBar;

namespace telvor {

class TMonitor;

class TTargetPositionForm : public QDialog {
    Q_OBJECT
public:
    // `source` may be null (no receiver: "Get from receiver" stays off).
    TTargetPositionForm(TMonitor& monitor, TPositionSource* source, QWidget* parent = nullptr);

    TTargetFields fields() const;
    void showFields(const TTargetFields& fields);

    // `QueryButton` and "OK".
    void queryClick();
    void okClick();

private:
    TMonitor& monitor_;
    TPositionSource* source_;
    QLineEdit *latD_, *latM_, *latS_, *lonD_, *lonM_, *lonS_;
    QComboBox *latHemisphere_, *lonHemisphere_;
    QPushButton* query_;
    QStatusBar* status_;
};

} // namespace telvor
