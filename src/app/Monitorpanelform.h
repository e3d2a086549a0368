#pragma once
// The monitor area of the main window: the satellite tables and the value labels under the
// names the monitor display writes (GPSList, PosLatLabel, ...), each with its caption.
// render() copies a TMonitorView into them; labels without a value stay hidden. Clicks that
// change the monitor (column headers, double clicks on labels) are handed to the owner.
#include <QWidget>
#include <functional>
#include <map>
#include <string>

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
    void hideDateAndEvents();

    // `OnGPSColumnClick` / `OnGLOColumnClick`.
    void setOnColumnClick(std::function<void(bool glonass, int column)> handler) {
        onColumn_ = std::move(handler);
    }
    // A double click on a value label, by control name; `shift` when Shift was held.
    void setOnLabelDoubleClick(std::function<void(const std::string& name, bool shift)> handler) {
        onDoubleClick_ = std::move(handler);
    }

    QCheckBox* displayData() const { return displayData_; }
    QLabel* label(const char* name) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* group(const char* name);
    // A value label and its caption appear and disappear together.
    void showValue(QLabel* value, bool visible);

    QTreeWidget* gps_;
    QTreeWidget* glo_;
    QCheckBox* displayData_;
    std::map<const QLabel*, QLabel*> captions_;
    std::function<void(bool, int)> onColumn_;
    std::function<void(const std::string&, bool)> onDoubleClick_;
};
