#pragma once
// "Converter to RINEX Setup": shows TSetupRINEX, which holds the rules.
#include "rtlog/Setuprinex.h"

#include <QDialog>

namespace telvor {

class TProfile;
class TWidgetBinder;

class TSetupRINEXDlg : public QDialog {
    Q_OBJECT
public:
    explicit TSetupRINEXDlg(TProfile& profile, QWidget* owner = nullptr);
    ~TSetupRINEXDlg() override;

    TSetupRINEX& logic() { return setup_; }

private:
    TSetupRINEX setup_;
    TWidgetBinder* binder_;
};

} // namespace telvor
