#pragma once
// `TPlotWindows`: owns the three plot windows and the preferences window, drains the plot
// store into them every second (the position window's `RepaintTimer`), and takes the main
// window's hooks: title suffix, session start, elevation mask, input mode, target changes.
#include "monitor/Plotprefsform.h"
#include "monitor/Plotsettings.h"
#include "monitor/Positionplotform.h"
#include "monitor/Satellitesplotform.h"
#include "monitor/Scatterplotform.h"

#include <QObject>
#include <QPointer>
#include <string>

namespace telvor {

class TMonitor;
class TProfile;

enum class TPlotKind { Satellites, Position, Scatter };

class TPlotWindows : public QObject {
    Q_OBJECT
public:
    // Creates the satellites, position and scatter windows (hidden), reads the plot settings
    // and the history length from `profile` (may be null), and takes over the monitor's target
    // and input-mode hooks. `sender` sends the satellite switches and the elevation mask.
    // `mainWindow` parents the windows and centres them when first shown.
    TPlotWindows(TMonitor& monitor, TProfile* profile, TCommandSender sender, QWidget* mainWindow);
    ~TPlotWindows() override;

    TSatellitesPlotForm* satellites() const { return satellites_; }
    TPositionPlotForm* position() const { return position_; }
    TScatterPlotForm* scatter() const { return scatter_; }
    TBasicPlotForm* form(TPlotKind kind) const;

    // Plots menu: shows and raises one window.
    void show(TPlotKind kind);
    // Program start: the windows that were open when the program last ran.
    void showSaved();
    // The preferences window, modal.
    void showPrefs();
    // Applies validated preferences: saved, history resized, both plots redrawn.
    void applyPrefs(const TPlotPrefs& prefs);

    // Drains the store into the plots (`RepaintTimer` runs it every 1000 ms).
    void refresh();
    // Every plot drawn again from the histories.
    void redrawAll();
    // Connect: both histories emptied, then every plot redrawn.
    void sessionStarted();
    // What follows "Satellites", "Position" and "Scatter" in the titles.
    void setTitleSuffix(const std::string& suffix);
    // The mask read from the receiver: kept in the store and drawn.
    void setElevationMask(int degrees);
    // Called through the monitor's hooks.
    void inputModeChanged(TInputMode mode);
    void targetChanged();
    // Program closing (the main window's close, before any window is hidden; the destructor
    // does it too): geometry saved, the windows' stored visibility left as it is.
    void closing();

    // For the logging window's message list: "GS"/"NS" and "SG"/"PG" are needed only while a
    // window that shows them is open.
    bool satellitesVisible() const;
    bool positionOrScatterVisible() const;

private:
    TMonitor& monitor_;
    TProfile* profile_;
    QPointer<QWidget> main_;
    QPointer<TSatellitesPlotForm> satellites_;
    QPointer<TPositionPlotForm> position_;
    QPointer<TScatterPlotForm> scatter_;
    QPointer<TPlotPrefsForm> prefs_;
};

} // namespace telvor
