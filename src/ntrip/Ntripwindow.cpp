#include "ntrip/Ntripwindow.h"

#include "qtglue/Strings.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace telvor {

TNtripWindow::TNtripWindow(TProfile& profile, QWidget* parent)
    : QDialog(parent), profile_(profile) {
    setObjectName("NtripWindow");
    setWindowTitle("NTRIP client");
    status_ = new QLabel(this);
    status_->setObjectName("StatusLabel");
    table_ = new QTableWidget(0, 4, this);
    table_->setHorizontalHeaderLabels({"Mountpoint", "Format", "Systems", "Distance"});
    table_->horizontalHeader()->setStretchLastSection(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(makeFields(TNtripControl::load(profile)));
    layout->addLayout(makeButtons());
    layout->addWidget(status_);
    layout->addWidget(table_);

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &TNtripWindow::OnTimer);
    timer_->start(500);
}

QFormLayout* TNtripWindow::makeFields(const TNtripFields& f) {
    auto edit = [this](const std::string& text, const char* name) {
        auto* e = new QLineEdit(q(text), this);
        e->setObjectName(name);
        return e;
    };
    caster_ = edit(f.caster, "CasterEdit");
    caster_->setPlaceholderText("host:2101");
    mount_ = edit(f.mount, "MountEdit");
    user_ = edit(f.user, "UserEdit");
    password_ = edit(f.password, "PasswordEdit");
    password_->setEchoMode(QLineEdit::Password);
    destination_ = edit(f.destination, "DestinationEdit");
    destination_->setPlaceholderText("/dev/ttyUSB1 or host:port");
    version_ = new QComboBox(this);
    version_->addItems({"NTRIP 1.0", "NTRIP 2.0"});
    version_->setCurrentIndex(f.version == 1 ? 0 : 1);
    gga_ = new QSpinBox(this);
    gga_->setRange(0, 3600);
    gga_->setSuffix(" s");
    gga_->setSpecialValueText("off");
    gga_->setValue(f.ggaSeconds);

    auto* form = new QFormLayout;
    form->addRow("Caster", caster_);
    form->addRow("Mountpoint", mount_);
    form->addRow("User", user_);
    form->addRow("Password", password_);
    form->addRow("Destination", destination_);
    form->addRow("Version", version_);
    form->addRow("GGA every", gga_);
    return form;
}

QHBoxLayout* TNtripWindow::makeButtons() {
    auto* buttons = new QHBoxLayout;
    for (auto [caption, name, slot] :
         {std::tuple{"Start", "StartButton", &TNtripWindow::StartClick},
          std::tuple{"Stop", "StopButton", &TNtripWindow::StopClick},
          std::tuple{"List", "ListButton", &TNtripWindow::ListClick}}) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
    }
    return buttons;
}

TNtripWindow::~TNtripWindow() {
    TNtripControl::save(profile_, fields());
}

TNtripFields TNtripWindow::fields() const {
    TNtripFields f;
    f.caster = caster_->text().trimmed().toStdString();
    f.mount = mount_->text().trimmed().toStdString();
    f.user = user_->text().toStdString();
    f.password = password_->text().toStdString();
    f.destination = destination_->text().trimmed().toStdString();
    f.version = version_->currentIndex() == 0 ? 1 : 2;
    f.ggaSeconds = gga_->value();
    return f;
}

void TNtripWindow::StartClick() {
    TNtripControl::save(profile_, fields());
    const std::string error = control_.start(fields());
    status_->setText(q(error));
    if (error.empty())
        OnTimer();
}

void TNtripWindow::StopClick() {
    control_.stop();
    OnTimer();
}

void TNtripWindow::ListClick() {
    std::string error;
    const TSourcetable table = TNtripControl::list(fields(), error);
    if (!error.empty())
        status_->setText(q(error));
    showRows(control_.sourcetableRows(&table));
}

void TNtripWindow::showRows(const std::vector<std::vector<std::string>>& rows) {
    table_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r)
        for (int c = 0; c < 4; ++c)
            table_->setItem(r, c, new QTableWidgetItem(q(rows[r][c])));
}

void TNtripWindow::OnTimer() {
    if (position_)
        if (const auto p = position_())
            control_.setPosition(p->first, p->second, 0);
    if (!control_.running())
        return;
    std::string text;
    for (const std::string& line : control_.statusLines())
        text += (text.empty() ? "" : "\n") + line;
    status_->setText(q(text));
    const auto rows = control_.sourcetableRows();
    if (!rows.empty())
        showRows(rows);
}

} // namespace telvor
