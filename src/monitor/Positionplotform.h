#pragma once
// The position window: north and east offsets against time in two strips, repainted by the
// window's 1000 ms `RepaintTimer`, which also drains the plot store.
#include "monitor/Basicplotform.h"
#include "monitor/Stripmath.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class QFontMetrics;
class QTimer;

namespace telvor {

class TPlotData;

class TPositionPlot : public TBasicPlot {
    Q_OBJECT
public:
    explicit TPositionPlot(const TPlotData& data, QWidget* parent = nullptr);

    void setSettings(const TStripSettings& settings, const std::array<std::uint32_t, 4>& colours);
    const TStripSettings& settings() const { return settings_; }
    // The whole history again (reset, target moved, new settings), then a redraw.
    void reload();
    // Entries a drain brought.
    void append(const std::vector<TPositionEntry>& entries);
    // Entries kept for the time span (older ones may linger until the next compaction).
    std::size_t keptEntries() const { return recent_.size() - first_; }

protected:
    void drawBackground() override;

private:
    void forgetOld(std::uint32_t now);
    int labelColumn(const QFontMetrics& fm, std::uint32_t now) const;

    const TPlotData& data_;
    TStripSettings settings_;
    std::array<std::uint32_t, 4> colours_;
    // The tail of the history inside the time span, oldest first, from index `first_` on.
    std::vector<TPositionEntry> recent_;
    std::size_t first_ = 0;
};

class TPositionPlotForm : public TBasicPlotForm {
    Q_OBJECT
public:
    TPositionPlotForm(TPlotData& data, TProfile* profile, QWidget* parent = nullptr);

    TPositionPlot* positionPlot() const { return plot_; }
    QTimer* repaintTimer() const { return timer_; }
    // What `RepaintTimer` runs (the owner drains the store and feeds every plot).
    void setOnTimer(std::function<void()> tick) { onTimer_ = std::move(tick); }
    // "Preferences".
    void setOnPreferences(std::function<void()> open) { onPrefs_ = std::move(open); }

protected:
    TBasicPlot* createPlot() override;
    // Hidden, the strips are not repainted every second.
    void showEvent(QShowEvent* event) override;

private:
    TPlotData& data_;
    TPositionPlot* plot_ = nullptr;
    QTimer* timer_;
    std::function<void()> onTimer_, onPrefs_;
};

} // namespace telvor
