#pragma once
// "<datum> Datum Parameters": the datum window over the positioning page.
#include "config/Datumconfig.h"
#include "config/Waitwindow.h"

#include <QDialog>

#include <memory>
#include <string>

class QStatusBar;

namespace telvor {

class TWidgetBinder;

class TDatumConfig : public QDialog {
    Q_OBJECT
public:
    // `chosen` receives the datum of every Apply (the positioning page takes it afterwards).
    TDatumConfig(TParamReader& in, TParamSink& out, const std::string& datum, std::string& chosen,
                 QWidget* owner = nullptr);
    ~TDatumConfig() override;

    TDatumPage& logic() { return page_; }

private:
    bool applyClick();

    TParamReader& in_;
    TParamSink& out_;
    std::string& chosen_;
    TDatumPage page_;
    QStatusBar* status_ = nullptr;
    std::unique_ptr<TWidgetConfigHost> host_;
    TWidgetBinder* binder_ = nullptr;
};

} // namespace telvor
