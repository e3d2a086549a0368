#pragma once
// "Output Period Setup Wizard": the pages of TRecIntWizardLogic with their texts, a list for
// the period and interval pages, Back, Next, Apply, Finish and Cancel.
#include "config/Recinterval.h"
#include "config/Waitwindow.h"

#include <QDialog>

#include <memory>

class QLabel;
class QListWidget;
class QPushButton;
class QStatusBar;

namespace telvor {

class TRecIntWizard : public QDialog {
    Q_OBJECT
public:
    TRecIntWizard(double seconds, const TRecIntRates& rates, TParamReader& in, TParamSink& out,
                  QWidget* owner = nullptr);
    ~TRecIntWizard() override;

    TRecIntWizardLogic& logic() { return *logic_; }
    // The interval after the wizard: the request until "&Finish".
    double result() const { return result_; }

private:
    void render();

    std::unique_ptr<TWidgetConfigHost> host_;
    std::unique_ptr<TRecIntWizardLogic> logic_;
    QLabel *title_, *text_, *current_;
    QListWidget* list_;
    QPushButton *back_, *next_, *apply_, *cancel_;
    QStatusBar* status_;
    double result_;
    bool rendering_ = false;
};

// Lets CheckRecordingInterval open the wizard over the active window (the window program).
void InstallRecIntWizard();

} // namespace telvor
