#pragma once
// The debug window: commands sent and communication errors, live. It stays usable while the
// program shows a modal dialog; its close button hides it.
#include <QWidget>
#include <string>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace telvor {
class TProfile;
class TDebugCore;
} // namespace telvor
class TMainWindow;

class TDebugWindow : public QWidget {
    Q_OBJECT
public:
    // `mainGeometry` gives the defaults of the geometry settings (below the main window).
    TDebugWindow(telvor::TProfile& profile, telvor::TDebugCore& core, const QRect& mainGeometry,
                 QWidget* parent = nullptr);
    ~TDebugWindow() override;

    // The almanac maps the main window's monitor computes: `GALabel` (GPS), `NALabel`
    // (GLONASS), after each render of its view.
    void followMonitor(TMainWindow& main);
    void showAlmanacs(const std::string& gps, const std::string& glonass);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();
    void saveGeometry();

    telvor::TProfile& profile_;
    telvor::TDebugCore& core_;
    QCheckBox* showCommands_;
    QListWidget* list_;
    QLabel* counter_;
    QPushButton* clear_;
    QLabel* gpsAlmanac_;
    QLabel* gloAlmanac_;
};
