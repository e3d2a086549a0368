#pragma once
// "Site Configuration": site name, antenna height and kind, antenna status and type, and
// whether they go with every recording. The rules are TSiteConfig's.
#include "config/Siteparams.h"

#include <QDialog>

class QStatusBar;

namespace telvor {

class TWidgetBinder;

class TSiteConfigForm : public QDialog {
    Q_OBJECT
public:
    explicit TSiteConfigForm(TProfile& profile, QWidget* owner = nullptr);
    ~TSiteConfigForm() override;

    TSiteConfig& logic() { return site_; }

private:
    TSiteConfig site_;
    TWidgetBinder* binder_;
    QStatusBar* status_;
};

} // namespace telvor
