#pragma once
// The debug window: commands sent and communication errors, live. It cannot be closed and
// stays usable while the program shows a modal dialog.
#include <QWidget>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace telvor {
class TProfile;
class TDebugCore;
} // namespace telvor

class TDebugWindow : public QWidget {
    Q_OBJECT
public:
    // `mainGeometry` gives the defaults of the geometry settings (below the main window).
    TDebugWindow(telvor::TProfile& profile, telvor::TDebugCore& core, const QRect& mainGeometry,
                 QWidget* parent = nullptr);
    ~TDebugWindow() override;


protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();

    telvor::TProfile& profile_;
    telvor::TDebugCore& core_;
    QCheckBox* showCommands_;
    QListWidget* list_;
    QLabel* counter_;
    QPushButton* clear_;
};
