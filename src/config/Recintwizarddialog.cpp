#include "config/Recintwizarddialog.h"

#include "config/Modaldialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace telvor {
namespace {

struct TPageText {
    const char* sheet;
    const char* title;
    const char* text;
};

// In the order of TRecIntPage.
const TPageText kPages[] = {
    {"T1", "Output period",
     "Warning ! The requested value of Output Period (Recording Interval) is not supported by "
     "your receiver due to the limitations imposed by the receiver's current settings.\n\nThis "
     "wizard helps you to choose a period the receiver can deliver."},
    {"T2", "No raw data",
     "Warning ! Output of any messages that contain Raw Data measurements is forbidden by the "
     "receiver options."},
    {"T3", "No positions",
     "Warning ! Output of messages with Positioning Data is forbidden by the receiver options."},
    {"T4", "Output period", "Choose an output period from the list and press Apply, then Next."},
    {"T5", "Raw data update interval",
     "The output period must be a multiple of the Raw Data Update Interval. Choose one from "
     "the list and press Apply, then Next."},
    {"T6", "Positioning data update interval",
     "The output period must be a multiple of the Positioning Data Update Interval. Choose one "
     "from the list and press Apply, then Next."},
    {"T7", "Finish", "Press Finish to use the output period shown below."},
};

QString seconds(int ms) {
    return QString::fromStdString(FormatInterval(ms / 1000.0));
}

} // namespace

TRecIntWizard::TRecIntWizard(double secondsRequested, const TRecIntRates& rates, TParamReader& in,
                             TParamSink& out, QWidget* owner)
    : QDialog(owner), result_(secondsRequested) {
    setObjectName("RecIntWizard");
    setWindowTitle("Output Period Setup Wizard");
    auto* layout = new QVBoxLayout(this);
    title_ = new QLabel;
    title_->setObjectName("PageTitle");
    text_ = new QLabel;
    text_->setObjectName("PageText");
    text_->setWordWrap(true);
    current_ = new QLabel;
    current_->setObjectName("CurrentLabel");
    list_ = new QListWidget;
    list_->setObjectName("ValueList");
    for (QWidget* w : std::initializer_list<QWidget*>{title_, text_, current_, list_})
        layout->addWidget(w);

    auto* buttons = new QHBoxLayout;
    back_ = new QPushButton("<< &Back");
    back_->setObjectName("BackButton");
    next_ = new QPushButton("&Next >>");
    next_->setObjectName("NextButton");
    apply_ = new QPushButton("&Apply");
    apply_->setObjectName("ApplyButton");
    cancel_ = new QPushButton("&Cancel");
    cancel_->setObjectName("CancelButton");
    for (QPushButton* b : {apply_, back_, next_, cancel_})
        buttons->addWidget(b);
    layout->addLayout(buttons);
    status_ = new QStatusBar;
    status_->setObjectName("StatusBar");
    status_->setSizeGripEnabled(false);
    layout->addWidget(status_);

    host_ = std::make_unique<TWidgetConfigHost>(this, status_, nullptr);
    logic_ = std::make_unique<TRecIntWizardLogic>(secondsRequested, rates, in, out, *host_);
    logic_->onChanged = [this] { render(); };

    connect(back_, &QPushButton::clicked, this, [this] { logic_->back(); });
    connect(next_, &QPushButton::clicked, this, [this] {
        if (logic_->onFinishPage()) {
            result_ = logic_->finish();
            accept();
        } else {
            logic_->next();
        }
    });
    connect(apply_, &QPushButton::clicked, this, [this] { logic_->apply(); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!rendering_)
            logic_->select(row);
    });
    render();
}

TRecIntWizard::~TRecIntWizard() = default;

void TRecIntWizard::render() {
    rendering_ = true;
    const TRecIntPage page = logic_->page();
    const TPageText& t = kPages[static_cast<int>(page)];
    title_->setText(t.title);
    text_->setText(t.text);
    const bool listPage = page == TRecIntPage::Period || page == TRecIntPage::RawInterval ||
                          page == TRecIntPage::PosInterval;
    list_->setVisible(listPage);
    apply_->setVisible(listPage);
    list_->clear();
    for (int ms : logic_->items())
        list_->addItem(seconds(ms));
    list_->setCurrentRow(logic_->selected());
    if (page == TRecIntPage::Period || page == TRecIntPage::Finish)
        current_->setText("Output period: " + seconds(logic_->requestedMs()) + " s");
    else if (listPage)
        current_->setText("Current interval: " + seconds(logic_->currentMs()) + " s");
    else
        current_->clear();
    back_->setEnabled(logic_->canBack());
    next_->setText(logic_->onFinishPage() ? "&Finish" : "&Next >>");
    next_->setEnabled(logic_->onFinishPage() || logic_->canNext());
    apply_->setEnabled(logic_->canApply());
    rendering_ = false;
}

void InstallRecIntWizard() {
    SetRecIntWizardHook([](double seconds, const TRecIntRates& rates) {
        TReceiverParams receiver;
        QWidget* owner = QApplication::activeModalWidget();
        if (!owner)
            owner = QApplication::activeWindow();
        auto wizard = std::make_unique<TRecIntWizard>(seconds, rates, receiver, receiver, owner);
        TRecIntWizard* form = wizard.get();
        double result = seconds;
        QObject::connect(form, &QDialog::accepted, form,
                         [&result, form] { result = form->result(); });
        ShowModalChild(std::move(wizard), owner);
        return result;
    });
}

} // namespace telvor
