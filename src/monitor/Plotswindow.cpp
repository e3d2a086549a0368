#include "monitor/Plotswindow.h"

#include "monitor/Monitor.h"
#include "monitor/Plotprefsform.h"
#include "monitor/Plotsettings.h"
#include "monitor/Positionplotform.h"
#include "monitor/Scatterplotform.h"
#include "settings/Profile.h"

namespace telvor {

TPlotWindows::TPlotWindows(TMonitor& monitor, TProfile* profile, TCommandSender sender,
                           QWidget* mainWindow)
    : QObject(mainWindow), monitor_(monitor), profile_(profile), main_(mainWindow) {
    TPlotData& data = monitor.plotData();
    if (profile)
        data.resize(loadHistoryCapacity(*profile));
    satellites_ = new TSatellitesPlotForm(data, profile, std::move(sender), mainWindow);
    position_ = new TPositionPlotForm(data, profile, mainWindow);
    scatter_ = new TScatterPlotForm(monitor, profile, mainWindow);

    TScatterSettings scatter = profile ? loadScatterSettings(*profile) : TScatterSettings{};
    TStripSettings strips = profile ? loadStripSettings(*profile) : TStripSettings{};
    scatter_->setSettings(scatter);
    position_->positionPlot()->setSettings(strips, scatter.colours);

    position_->setOnTimer([this] { refresh(); });
    position_->setOnPreferences([this] { showPrefs(); });
    scatter_->setOnPreferences([this] { showPrefs(); });
    scatter_->setOnCleared([this] { position_->positionPlot()->reload(); });

    monitor.setOnTargetChanged([this] { targetChanged(); });
    monitor.setOnInputModeChanged([this](TInputMode mode) { inputModeChanged(mode); });
}

TPlotWindows::~TPlotWindows() {
    if (satellites_ && position_ && scatter_)
        closing();
    monitor_.setOnTargetChanged({});
    monitor_.setOnInputModeChanged({});
    delete scatter_.data();
    delete position_.data();
    delete satellites_.data();
}

TBasicPlotForm* TPlotWindows::form(TPlotKind kind) const {
    switch (kind) {
    case TPlotKind::Satellites:
        return satellites_;
    case TPlotKind::Position:
        return position_;
    case TPlotKind::Scatter:
        return scatter_;
    }
    return nullptr;
}

void TPlotWindows::show(TPlotKind kind) {
    if (TBasicPlotForm* f = form(kind))
        f->showOver(main_);
}

void TPlotWindows::showSaved() {
    for (TPlotKind k : {TPlotKind::Satellites, TPlotKind::Position, TPlotKind::Scatter})
        if (TBasicPlotForm* f = form(k); f && f->wantedVisible())
            f->showOver(main_);
}

void TPlotWindows::showPrefs() {
    if (prefs_)
        return; // already open
    const TScatterSettings& s = scatter_->scatterPlot()->state().settings();
    const TStripSettings& p = position_->positionPlot()->settings();
    TPlotPrefsForm dialog(
        plotPrefsInput(s, p, monitor_.plotData().capacity()),
        [this](const TPlotPrefs& prefs) { applyPrefs(prefs); }, main_);
    prefs_ = &dialog;
    dialog.exec();
}

void TPlotWindows::applyPrefs(const TPlotPrefs& prefs) {
    if (profile_)
        savePlotPrefs(*profile_, prefs);
    TPlotData& data = monitor_.plotData();
    const int before = data.capacity();
    data.resize(prefs.historyLength);
    scatter_->setSettings(prefs.scatter);
    position_->positionPlot()->setSettings(prefs.strips, prefs.scatter.colours);
    if (data.capacity() != before) {
        redrawAll(); // the histories were rebuilt empty
        return;
    }
    scatter_->redrawPlot();
    position_->positionPlot()->reload();
}

void TPlotWindows::refresh() {
    TDrained d = monitor_.plotData().drain();
    if (!d.views.empty())
        satellites_->addViews(d.views);
    else if (satellites_->isVisible())
        satellites_->refreshBars(); // the DOPs change without new views
    if (!d.positions.empty()) {
        scatter_->addPoints(d.positions);
        position_->positionPlot()->append(d.positions);
    } else {
        // "SG" values change without new fixes.
        scatter_->refreshStatistics();
    }
    if (position_->isVisible())
        position_->positionPlot()->redraw();
}

void TPlotWindows::redrawAll() {
    satellites_->skyPlot()->redraw();
    satellites_->refreshBars();
    scatter_->redrawPlot();
    position_->positionPlot()->reload();
}

void TPlotWindows::sessionStarted() {
    monitor_.plotData().resetPositions();
    monitor_.plotData().resetSatellites();
    redrawAll();
}

void TPlotWindows::setTitleSuffix(const std::string& suffix) {
    QString s = QString::fromStdString(suffix);
    for (TPlotKind k : {TPlotKind::Satellites, TPlotKind::Position, TPlotKind::Scatter})
        form(k)->setTitleSuffix(s);
}

void TPlotWindows::setElevationMask(int degrees) {
    monitor_.plotData().setElevationMask(degrees);
    satellites_->skyPlot()->update();
}

void TPlotWindows::inputModeChanged(TInputMode mode) {
    satellites_->inputModeChanged(mode);
    scatter_->inputModeChanged(mode);
}

void TPlotWindows::targetChanged() {
    scatter_->redrawPlot();
    position_->positionPlot()->reload();
}

void TPlotWindows::closing() {
    for (TPlotKind k : {TPlotKind::Satellites, TPlotKind::Position, TPlotKind::Scatter}) {
        TBasicPlotForm* f = form(k);
        f->setClosing(true);
        if (f->isVisible())
            f->saveGeometrySettings();
    }
}

bool TPlotWindows::satellitesVisible() const {
    return satellites_->isVisible();
}

bool TPlotWindows::positionOrScatterVisible() const {
    return position_->isVisible() || scatter_->isVisible();
}

} // namespace telvor
