#pragma once
// The scatter window: east/north offsets to the target as dots coloured by fix class, with
// the statistics of the history, "Fit all points", "Target to average" and the class switches.
#include "monitor/Basicplotform.h"
#include "monitor/Scattermath.h"

#include <array>
#include <functional>
#include <vector>

class QCheckBox;
class QLabel;

namespace telvor {

class TMonitor;
class TPlotData;

class TScatterPlot : public TBasicPlot {
    Q_OBJECT
public:
    explicit TScatterPlot(const TPlotData& data, QWidget* parent = nullptr);

    TScatterState& state() { return state_; }
    const TScatterState& state() const { return state_; }
    // Entries a drain brought, drawn on top of what is there.
    void addPoints(const std::vector<TPositionEntry>& entries);

protected:
    void drawBackground() override;

private:
    const TPlotData& data_;
    TScatterState state_;
    // The count and means of the last full replay and what they came from: a resize or a
    // redraw of the same history in the same classes does not sum millions of points again.
    bool tallyKnown_ = false;
    std::uint64_t tallyRevision_ = 0;
    std::array<bool, 4> tallyShow_{};
};

class TScatterPlotForm : public TBasicPlotForm {
    Q_OBJECT
public:
    // `monitor` holds the target that "Target to average" moves and the plot store.
    TScatterPlotForm(TMonitor& monitor, TProfile* profile, QWidget* parent = nullptr);

    TScatterPlot* scatterPlot() const { return plot_; }
    void setSettings(const TScatterSettings& settings);
    void addPoints(const std::vector<TPositionEntry>& entries);
    void refreshStatistics();
    void redrawPlot();

    // `FitButton`, `AverageButton`, `ClearButton`, a class switch.
    void fitClick();
    void averageClick();
    void clearClick();
    void classClick(int fixClass, bool on);
    // "Preferences".
    void setOnPreferences(std::function<void()> open) { onPrefs_ = std::move(open); }
    // `ClearButton` empties the position history, which the position plot shows too.
    void setOnCleared(std::function<void()> cleared) { onCleared_ = std::move(cleared); }

protected:
    TBasicPlot* createPlot() override;

private:
    QWidget* buildPanel();

    TMonitor& monitor_;
    TPlotData& data_;
    TScatterPlot* plot_ = nullptr;
    std::array<QCheckBox*, 4> classBoxes_{};
    std::array<QLabel*, 4> swatches_{};
    std::function<void()> onPrefs_, onCleared_;
};

} // namespace telvor
