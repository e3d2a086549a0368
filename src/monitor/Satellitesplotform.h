#pragma once
// The satellites window: the sky plot with tracks, markers and the elevation-mask circle, the
// satellite hint, and the signal bars whose check boxes take satellites in and out of the
// position computation.
#include "monitor/Basicplotform.h"
#include "monitor/Skymap.h"
#include "protocol/Commtools.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;

namespace telvor {

class TPlotData;
class TRaster;

// Sends a command line and waits up to `timeoutMs` for its reply (the command engine's
// SendAndWait in the program).
using TCommandSender = std::function<TReply(const std::string& line, int timeoutMs)>;

// The stay-on-top hint of one satellite, shown while a mouse button is held on its marker.
class TSatelliteHintForm : public QWidget {
    Q_OBJECT
public:
    explicit TSatelliteHintForm(QWidget* parent = nullptr);
    void showFor(const TSkyTracks& tracks, int index, const QPoint& globalPos);

private:
    QLabel* fnCaption_;
};

class TSatellitesPlot : public TBasicPlot {
    Q_OBJECT
public:
    explicit TSatellitesPlot(const TPlotData& data, QWidget* parent = nullptr);

    const TSkyTracks& tracks() const { return tracks_; }
    // Views that arrived since the last drain: their track pieces go into the image, and the
    // overlay is repainted when a satellite moved.
    void addViews(const std::vector<TSatData>& views);
    TSatelliteHintForm* hint() const { return hint_; }

protected:
    void drawBackground() override;
    void paintOverlay(QPainter& painter) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void drawStrokes(const std::vector<TSkyTracks::TStroke>& strokes);
    static void drawStroke(TRaster& raster, const TSkyTracks::TStroke& stroke);

    const TPlotData& data_;
    TSkyTracks tracks_;
    TSatelliteHintForm* hint_;
};

class TSatellitesPlotForm : public TBasicPlotForm {
    Q_OBJECT
public:
    TSatellitesPlotForm(TPlotData& data, TProfile* profile, TCommandSender sender,
                        QWidget* parent = nullptr);

    TSatellitesPlot* skyPlot() const { return sky_; }
    // After a drain: the new views into the plot, then the bars.
    void addViews(const std::vector<TSatData>& views);
    void refreshBars();
    void inputModeChanged(TInputMode mode) override;
    // `ElevationMaskButton`: the dialog, and the command when the mask changed.
    void elevationMaskClick();
    // "Clear data".
    void clearData();

protected:
    TBasicPlot* createPlot() override;

private:
    struct TSlot {
        QWidget* box;
        QLabel* name;
        QWidget* bar;
        QLabel* ca;
        QLabel* swatch;
        QCheckBox* check;
        std::string satellite;
    };
    QWidget* buildBars();
    void checkClick(int slot, bool checked);
    void enableControls();

    TPlotData& data_;
    TCommandSender sender_;
    TSatellitesPlot* sky_ = nullptr;
    std::array<TSlot, TSignalPanel::kSlots> slots_{};
    QLabel *count_, *gdop_, *pdop_, *vdop_, *hdop_;
    QPushButton *maskButton_, *clearButton_;
    bool refreshing_ = false;
    bool busy_ = false;
};

} // namespace telvor
