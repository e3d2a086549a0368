#pragma once
// The monitor area of the main window: the satellite tables and the value labels under the
// names the monitor display writes (GPSList, PosLatLabel, ...). render() copies a
// TMonitorView into them; labels without a value stay hidden.
#include <QWidget>

class QCheckBox;
class QTreeWidget;
class QLabel;

namespace telvor {
class TMonitorView;
}

class TMonitorPanel : public QWidget {
    Q_OBJECT
public:
    explicit TMonitorPanel(QWidget* parent = nullptr);

    void render(const telvor::TMonitorView& view);
    // Hides every value label (leaving monitor mode).
    void hideValues();
    void hideDateAndEvents();

    QTreeWidget* gpsList() const { return gps_; }
    QTreeWidget* gloList() const { return glo_; }
    QCheckBox* displayData() const { return displayData_; }
    QLabel* label(const char* name) const;

private:
    QTreeWidget* gps_;
    QTreeWidget* glo_;
    QCheckBox* displayData_;
};
