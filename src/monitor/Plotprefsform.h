#pragma once
// `TPlotPrefsForm` ("Plots Configuration"): the settings of the scatter and position plots
// and the history length. "Apply" validates through the plot settings rules and hands the
// values to its owner, which saves them, resizes the history and redraws.
#include "monitor/Plotsettings.h"

#include <QDialog>
#include <array>
#include <functional>
#include <string>

class QCheckBox;
class QGridLayout;
class QLineEdit;
class QPushButton;

namespace telvor {

class TPlotPrefsForm : public QDialog {
    Q_OBJECT
public:
    using Applier = std::function<void(const TPlotPrefs& prefs)>;
    using Notifier = std::function<void(const std::string& message)>;

    TPlotPrefsForm(const TPlotPrefsInput& current, Applier apply, QWidget* parent = nullptr);

    // Message of a refused "Apply" (a message box unless replaced).
    void setNotifier(Notifier notify) { notify_ = std::move(notify); }
    // The fields as typed.
    TPlotPrefsInput input() const;
    // "Apply": false (with the message shown) when a value is refused.
    bool applyClick();

private:
    QLineEdit* addEdit(QGridLayout* grid, int row, const char* caption, const char* name,
                       const std::string& text, const char* unit);
    void pickColour(int fixClass);
    void showColour(int fixClass);
    void changed();

    Applier apply_;
    Notifier notify_;
    std::array<std::uint32_t, 4> colours_;
    QLineEdit *width_, *step_, *span_, *maxDev_, *timeStep_, *devStep_, *history_;
    QCheckBox *scatterGrid_, *connect_, *positionGrid_;
    std::array<QCheckBox*, 4> show_{};
    std::array<QPushButton*, 4> swatches_{};
    QPushButton* applyButton_;
};

} // namespace telvor
