#pragma once
// `TBasicPlot`: a plot control that draws into an off-screen image and copies it to the screen
// on paint, with an overlay painted on top. `TBasicPlotForm`: the common plot window, which
// owns one plot and keeps its position, size and visibility in the settings.
#include "protocol/Commstate.h"

#include <QImage>
#include <QString>
#include <QWidget>

class QPainter;
class QTimer;

namespace telvor {

class TProfile;

class TBasicPlot : public QWidget {
    Q_OBJECT
public:
    explicit TBasicPlot(QWidget* parent = nullptr);

    const QImage& bitmap() const { return bitmap_; }

    // Image to the control's size, filled white.
    virtual void resizeAndClear();
    // Clears, draws the background and the content again, and schedules a repaint.
    virtual void redraw();

    // A plot whose last redraw took longer than this (ms) is not redrawn at every step of a
    // window resize: the old image is shown stretched until the size has held for
    // kResizeSettleMs, then the plot is redrawn once at its new size.
    static constexpr double kSlowRedrawMs = 40;
    static constexpr int kResizeSettleMs = 150;
    void setSlowRedrawMs(double ms) { slowRedrawMs_ = ms; }
    void setResizeSettleMs(int ms);
    double lastRedrawMs() const { return lastRedrawMs_; }

protected:
    // Called by `redraw` on the freshly cleared image.
    virtual void drawBackground() {}
    // Drawn on the screen over the image (markers and the like that move every second).
    virtual void paintOverlay(QPainter& painter) { (void)painter; }

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    QImage bitmap_;

private:
    QTimer* settle_;
    double slowRedrawMs_ = kSlowRedrawMs;
    double lastRedrawMs_ = 0;
};

class TBasicPlotForm : public QWidget {
    Q_OBJECT
public:
    // `formName` names the window's settings keys ("Plots"/formName + "X", ...); `profile`
    // may be null (nothing persisted).
    TBasicPlotForm(const QString& formName, const QString& caption, TProfile* profile,
                   QWidget* parent = nullptr);

    const QString& caption() const { return caption_; }

    // What follows the caption in the title (the main window's title without " to").
    void setTitleSuffix(const QString& suffix);
    // Stored visibility ("V"): whether the window was open when the program last ran.
    bool wantedVisible() const;
    // Shows and raises the window; the first time without stored geometry it is centred on
    // `over`.
    void showOver(QWidget* over);
    // Position and size into the settings.
    void saveGeometrySettings();
    // The program is closing: hiding keeps the stored visibility.
    void setClosing(bool closing) { closing_ = closing; }

    virtual void inputModeChanged(TInputMode mode) { mode_ = mode; }

protected:
    // Builds the plot (the derived constructor calls `setUpPlot`, which calls this).
    virtual TBasicPlot* createPlot() = 0;
    void setUpPlot();

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

    TProfile* profile_;
    TInputMode mode_ = TInputMode::Idle;

private:
    void restoreGeometrySettings();
    QString key(const char* suffix) const;

    QString formName_, caption_;
    TBasicPlot* plot_ = nullptr;
    bool placed_ = false;
    bool closing_ = false;
};

} // namespace telvor
