#include "rtlog/Realtimeform.h"

#include "config/Modaldialog.h"
#include "monitor/Monitor.h"
#include "monitor/Satlistform.h"
#include "protocol/Bridge.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "qtglue/Strings.h"
#include "rtlog/Setuprinexdialog.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <filesystem>

namespace telvor {
namespace {

constexpr const char* kCaption = "Real-Time Logging";

template <class T> T* named(T* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

} // namespace

TRealTimeForm::TRealTimeForm(TProfile& profile, QWidget* owner)
    : QDialog(owner), profile_(profile),
      driver_(std::make_unique<TLogDriver>(static_cast<TLogDriverHost&>(*this), profile)) {
    setObjectName("TRealTimeForm");
    setWindowTitle(kCaption);
    buildControls();
    readSettings();
    // Once shown: monitoring of the main window is paused by then.
    QTimer::singleShot(0, this, [this] { open(); });
}

void TRealTimeForm::open() {
    ELMEdit->setText(q(driver_->open()));
    if (driver_->timerOn() && !Timer->isActive())
        Timer->start(1000);
}

void TRealTimeForm::setMonitor(TMonitor* monitor) {
    if (monitor_)
        monitor_->decoder().setLoggingView(nullptr);
    monitor_ = monitor;
    if (monitor_)
        monitor_->decoder().setLoggingView(&view_);
}

TRealTimeForm::~TRealTimeForm() {
    Timer->stop();
    driver_.reset();
    setMonitor(nullptr);
    profile_.write(keys::RealTimeH, height());
}

void TRealTimeForm::buildControls() {
    auto* layout = new QVBoxLayout(this);
    pages_ = named(new QTabWidget(this), "PageControl");

    auto* single = new QWidget;
    auto* singleForm = new QFormLayout(single);
    EditFile = named(new QLineEdit("Output.vxr"), "EditFile");
    singleForm->addRow("File name:", EditFile);
    pages_->addTab(single, "Single file");

    auto* multi = new QWidget;
    auto* multiForm = new QFormLayout(multi);
    NamePrefixEdit = named(new QLineEdit, "NamePrefixEdit");
    HoursEdit = named(new QLineEdit("1"), "HoursEdit");
    GranularityComboBox = named(new QComboBox, "GranularityComboBox");
    GranularityComboBox->addItems({"minutes", "hours", "days"});
    NumberingComboBox = named(new QComboBox, "NumberingComboBox");
    NumberingComboBox->addItems({"Ascending Count", "Date & Time"});
    CountEdit = named(new QLineEdit("0"), "CountEdit");
    OverwriteCheckBox = named(new QCheckBox("Overwrite existing files"), "OverwriteCheckBox");
    RinexCheckBox = named(new QCheckBox("Autoconvert to RINEX"), "RinexCheckBox");
    CurrentFileLabel = named(new QLabel, "CurrentFileLabel");
    CurrentFileLabel->hide();
    auto* every = new QHBoxLayout;
    every->addWidget(HoursEdit);
    every->addWidget(GranularityComboBox);
    multiForm->addRow("Name prefix:", NamePrefixEdit);
    multiForm->addRow("New file every:", every);
    multiForm->addRow("Numbering:", NumberingComboBox);
    multiForm->addRow("Start Count:", CountEdit);
    multiForm->addRow(OverwriteCheckBox);
    RinexSetupButton = named(new QPushButton("Setup conve&rter"), "RinexSetupButton");
    auto* rinex = new QHBoxLayout;
    rinex->addWidget(RinexCheckBox);
    rinex->addWidget(RinexSetupButton);
    multiForm->addRow(rinex);
    multiForm->addRow(CurrentFileLabel);
    pages_->addTab(multi, "Multiple files");
    connect(NumberingComboBox, &QComboBox::currentIndexChanged, this,
            [this](int index) { CountEdit->setEnabled(index == 0); });

    auto* path = new QWidget;
    auto* pathForm = new QFormLayout(path);
    BrowseButton = named(new QPushButton("Browse..."), "DirectoryListBox");
    NewFolderEdit = named(new QLineEdit, "NewFolderEdit");
    CreateDirButton = named(new QPushButton("Create"), "CreateDirButton");
    CreateDirButton->setEnabled(false);
    pathForm->addRow("Folder:", BrowseButton);
    auto* create = new QHBoxLayout;
    create->addWidget(NewFolderEdit);
    create->addWidget(CreateDirButton);
    pathForm->addRow("New folder:", create);
    pages_->addTab(path, "Select output path");
    connect(NewFolderEdit, &QLineEdit::textChanged, this,
            [this](const QString& t) { CreateDirButton->setEnabled(!t.isEmpty()); });
    connect(CreateDirButton, &QPushButton::clicked, this, [this] {
        std::error_code ec;
        std::filesystem::path dir = NewFolderEdit->text().toStdString();
        if (dir.is_relative())
            dir = std::filesystem::path(OutputPathLabel->text().toStdString()) / dir;
        std::filesystem::create_directories(dir, ec);
        if (ec)
            setStatus(ec.message());
        else
            OutputPathLabel->setText(q(dir.string()));
    });
    connect(BrowseButton, &QPushButton::clicked, this, [this] {
        QString dir = QFileDialog::getExistingDirectory(this, kCaption, OutputPathLabel->text());
        if (!dir.isEmpty())
            OutputPathLabel->setText(dir);
    });
    layout->addWidget(pages_);
    // "DeleteVXR" is read from the settings when a conversion ends, so it needs no reload here.
    connect(RinexSetupButton, &QPushButton::clicked, this,
            [this] { ShowModalChild<TSetupRINEXDlg>(this, profile_); });
    MonitorPanel = buildMonitor();
    layout->addWidget(MonitorPanel);
    connect(pages_, &QTabWidget::currentChanged, this,
            [this](int index) { MonitorPanel->setVisible(index != 2); });

    OutputPathLabel = named(new QLabel, "OutputPathLabel");
    layout->addWidget(OutputPathLabel);
    auto* edits = new QFormLayout;
    RecordingIntervalEdit = named(new QLineEdit("1"), "RecordingIntervalEdit");
    ELMEdit = named(new QLineEdit, "ELMEdit");
    edits->addRow("Recording interval (seconds):", RecordingIntervalEdit);
    edits->addRow("Elevation mask: (degrees)", ELMEdit);
    layout->addLayout(edits);

    auto* counters = new QHBoxLayout;
    BytesLabel = named(new QLabel, "BytesLabel");
    ElapsedLabel = named(new QLabel("00:00:00"), "ElapsedLabel");
    counters->addWidget(BytesLabel);
    counters->addWidget(ElapsedLabel);
    layout->addLayout(counters);

    auto* buttons = new QHBoxLayout;
    ButtonStart = named(new QPushButton("&Start"), "ButtonStart");
    ButtonCancel = named(new QPushButton("&Exit"), "ButtonCancel");
    buttons->addWidget(ButtonStart);
    buttons->addWidget(ButtonCancel);
    layout->addLayout(buttons);
    StatusBar = named(new QLabel, "StatusBar");
    layout->addWidget(StatusBar);
    connect(ButtonStart, &QPushButton::clicked, this, [this] { ButtonStartClick(); });
    connect(ButtonCancel, &QPushButton::clicked, this, [this] { close(); });

    Timer = named(new QTimer(this), "Timer");
    connect(Timer, &QTimer::timeout, this, [this] { OnTimer(); });
}

QWidget* TRealTimeForm::buildMonitor() {
    auto* panel = new QWidget;
    panel->setObjectName("MonitorPanel");
    auto* grid = new QGridLayout(panel);
    auto label = [&](const char* name) {
        auto* l = named(new QLabel(q(view_.text(name))), name);
        l->setVisible(view_.visible(name));
        return l;
    };
    GPSList = makeSatList("GPSList", view_.gps().columns, panel);
    GLOList = makeSatList("GLOList", view_.glonass().columns, panel);
    grid->addWidget(label("GPSCountLabel"), 0, 0);
    grid->addWidget(GPSList, 1, 0);
    grid->addWidget(label("GLOCountLabel"), 0, 1);
    grid->addWidget(GLOList, 1, 1);
    auto* values = new QFormLayout;
    values->addRow("Time:", label("TimeLabel"));
    values->addRow("Date:", label("ReceiverDateText"));
    values->addRow("X:", label("PositionX"));
    values->addRow("Y:", label("PositionY"));
    values->addRow("Z:", label("PositionZ"));
    values->addRow("Speed:", label("SpeedLabel"));
    values->addRow("PDOP:", label("PDOPLabel"));
    grid->addLayout(values, 2, 0, 1, 2);
    return panel;
}

void TRealTimeForm::monitorTick() {
    if (monitor_)
        monitor_->display().tick(false);
    renderMonitor();
}

void TRealTimeForm::renderMonitor() {
    if (view_.revision() == shown_)
        return;
    shown_ = view_.revision();
    for (const auto& [name, value] : view_.labels()) {
        if (QLabel* l = MonitorPanel->findChild<QLabel*>(q(name))) {
            l->setText(q(value.text));
            l->setVisible(value.visible);
        }
    }
    fillSatList(GPSList, view_.gps());
    fillSatList(GLOList, view_.glonass());
}

void TRealTimeForm::readSettings() {
    const TStartRequest r = readLogSettings(profile_);
    OutputPathLabel->setText(q(r.options.folder));
    pages_->setCurrentIndex(r.options.multiple ? 1 : 0);
    EditFile->setText(q(r.options.singleName));
    NamePrefixEdit->setText(q(r.options.prefix));
    HoursEdit->setText(q(r.period));
    GranularityComboBox->setCurrentIndex(r.options.granularity);
    NumberingComboBox->setCurrentIndex(r.options.numbering);
    CountEdit->setEnabled(r.options.numbering == 0);
    OverwriteCheckBox->setChecked(r.options.overwrite);
    RinexCheckBox->setChecked(r.options.convert);
    RecordingIntervalEdit->setText(q(r.interval));
    if (int h = profile_.read(keys::RealTimeH); h > 0)
        resize(width(), h);
}

TStartRequest TRealTimeForm::requestFromControls() const {
    TStartRequest r;
    r.elevationMask = ELMEdit->text().toStdString();
    r.interval = RecordingIntervalEdit->text().toStdString();
    r.startCount = CountEdit->text().toStdString();
    r.period = HoursEdit->text().toStdString();
    r.options.multiple = pages_->currentIndex() == 1;
    r.options.folder = OutputPathLabel->text().toStdString();
    r.options.singleName = EditFile->text().toStdString();
    r.options.prefix = NamePrefixEdit->text().trimmed().toStdString();
    r.options.granularity = GranularityComboBox->currentIndex();
    r.options.numbering = NumberingComboBox->currentIndex();
    r.options.overwrite = OverwriteCheckBox->isChecked();
    r.options.convert = RinexCheckBox->isChecked();
    return r;
}

void TRealTimeForm::setOptionsEnabled(bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             EditFile, NamePrefixEdit, HoursEdit, GranularityComboBox, NumberingComboBox,
             OverwriteCheckBox, RinexCheckBox, RinexSetupButton, RecordingIntervalEdit, ELMEdit,
             ButtonCancel})
        w->setEnabled(on);
    CountEdit->setEnabled(on && NumberingComboBox->currentIndex() == 0);
    pages_->tabBar()->setEnabled(on);
}

void TRealTimeForm::ButtonStartClick() {
    if (driver_->state() != TLogState::Idle) {
        ButtonStart->setEnabled(false);
        driver_->stop();
        ButtonStart->setEnabled(true);
        return;
    }
    setStatus("");
    const bool started = driver_->start(requestFromControls());
    writeBack();
    if (!started && driver_->fault() == TStartFault::ElevationMask)
        ELMEdit->setFocus();
}

// The edits as Start left them (interval fixed, period 0 as 1, ".vxr" added).
void TRealTimeForm::writeBack() {
    const TStartRequest& r = driver_->request();
    RecordingIntervalEdit->setText(q(r.interval));
    HoursEdit->setText(q(r.period));
    EditFile->setText(q(r.options.singleName));
}

void TRealTimeForm::stateChanged() {
    if (!driver_) // the driver stops a run as it goes
        return;
    const TLogState state = driver_->state();
    const bool busy = state != TLogState::Idle;
    setOptionsEnabled(!busy);
    CurrentFileLabel->setVisible(busy && driver_->request().options.multiple);
    BytesLabel->setVisible(state == TLogState::Running);
    ButtonStart->setText(busy ? "&Stop" : "&Start");
    labelsChanged();
}

void TRealTimeForm::OnTimer() {
    Timer->stop();
    driver_->step();
    if (driver_->timerOn())
        Timer->start(1000);
}

void TRealTimeForm::handleCode(std::uint32_t code) {
    driver_->handleCode(code);
}

void TRealTimeForm::setStatus(const std::string& text) {
    StatusBar->setText(q(text));
}

bool TRealTimeForm::confirm(const std::string& text) {
    return QMessageBox::question(this, kCaption, q(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void TRealTimeForm::labelsChanged() {
    if (!driver_)
        return;
    const TRealTimeLog& log = driver_->log();
    CurrentFileLabel->setText(q(log.currentFileName()));
    BytesLabel->setText(q(log.bytesLabel()));
    ElapsedLabel->setText(q(log.elapsedLabel()));
}

void TRealTimeForm::showConvertWait(bool visible) {
    delete convertWait_;
    convertWait_ = nullptr;
    if (!visible)
        return;
    convertWait_ = new QMessageBox(QMessageBox::Information, kCaption,
                                   "Please wait while Telvor is converting the last file to "
                                   "RINEX format",
                                   QMessageBox::NoButton, this);
    convertWait_->setObjectName("ConvertWait");
    convertWait_->setStandardButtons(QMessageBox::NoButton);
    convertWait_->show();
}

void TRealTimeForm::waitSlice() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(10);
}

void TRealTimeForm::reject() {
    close();
}

void TRealTimeForm::closeEvent(QCloseEvent* event) {
    if (!driver_->mayClose(pages_->currentIndex() == 2)) {
        event->ignore();
        return;
    }
    Timer->stop();
    driver_->close(requestFromControls());
    QDialog::done(QDialog::Rejected);
    event->accept();
}

} // namespace telvor
