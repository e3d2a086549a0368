#include "config/Datumconfigform.h"

#include "config/Sheetform.h"
#include "config/Widgetbinderform.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace telvor {

TDatumConfig::TDatumConfig(TParamReader& in, TParamSink& out, const std::string& datum,
                           std::string& chosen, QWidget* owner)
    : QDialog(owner), in_(in), out_(out), chosen_(chosen) {
    setObjectName("TDatumConfig");
    auto* layout = new QVBoxLayout(this);
    auto* sheet = new QWidget(this);
    layout->addWidget(sheet);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("DatumConfigCancelButton");
    const TCaptions captions{{"CurDatumComboBox", "Current Datum :"},
                             {"EllipsoidEdit", "Ellipsoid ID :"},
                             {"AxisEdit", "Semi-major axis: [m]"},
                             {"InvFlatEdit", "Inverse flattening:"},
                             {"dXTransEdit", "Translation d X : [m]"},
                             {"dYTransEdit", "Translation d Y : [m]"},
                             {"dZTransEdit", "Translation d Z : [m]"},
                             {"RxRotEdit", "Rotation Rx : [sec]"},
                             {"RyRotEdit", "Rotation Ry : [sec]"},
                             {"RzRotEdit", "Rotation Rz : [sec]"},
                             {"ScaleEdit", "Scale, ppm:"},
                             {"RefDatumComboBox", "Reference Datum :"},
                             {"DatumConfigRefreshButton", "Refresh"},
                             {"DatumConfigApplyButton", "Apply"},
                             {"DatumConfigOkButton", "Ok"}};
    // Each edit gets a caption label of its own.
    buildSheet(sheet,
               {{"", {&page_.CurDatumComboBox}},
                {" Reference Ellipsoid parameters ",
                 {&page_.EllipsoidEdit, &page_.AxisEdit, &page_.InvFlatEdit}},
                {" Transformation parameters ",
                 {&page_.dXTransEdit, &page_.dYTransEdit, &page_.dZTransEdit, &page_.RxRotEdit,
                  &page_.RyRotEdit, &page_.RzRotEdit, &page_.ScaleEdit, &page_.RefDatumComboBox}},
                {"", {&page_.RefreshButton, &page_.ApplyButton, &page_.OkButton}, 3}},
               captions);
    sheet->layout()->addWidget(cancel);
    status_ = new QStatusBar(this);
    status_->setObjectName("StatusBar");
    layout->addWidget(status_);
    host_ = std::make_unique<TWidgetConfigHost>(this, status_, nullptr);
    binder_ = new TWidgetBinder(this);
    for (TControl* c : page_.controls())
        binder_->bind(*c);

    auto button = [this](const TControl& c) { return findChild<QPushButton*>(c.name().c_str()); };
    connect(button(page_.RefreshButton), &QPushButton::clicked, this,
            [this] { page_.refresh(in_, *host_, page_.datum()); });
    connect(button(page_.ApplyButton), &QPushButton::clicked, this, [this] { applyClick(); });
    connect(button(page_.OkButton), &QPushButton::clicked, this, [this] {
        if (applyClick())
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(findChild<QComboBox*>("CurDatumComboBox"), &QComboBox::activated, this, [this] {
        page_.chooseDatum(in_, *host_, page_.CurDatumComboBox.text());
        setWindowTitle(QString::fromStdString(page_.caption()));
    });
    page_.refresh(in_, *host_, datum);
    setWindowTitle(QString::fromStdString(page_.caption()));
}

TDatumConfig::~TDatumConfig() {
    delete binder_;
}

bool TDatumConfig::applyClick() {
    if (!page_.ApplyButton.enabled())
        return true;
    chosen_ = page_.datum();
    return page_.apply(out_, *host_).ok;
}

} // namespace telvor
