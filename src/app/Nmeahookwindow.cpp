// The NMEA output's menu items and status label in the main window.
#include "app/Nmeahookwindow.h"

#include "nmea/Nmeacontrol.h"
#include "nmea/Nmeaoutputdialog.h"
#include "qtglue/Strings.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>

namespace telvor {
namespace {

class TNmeaHookImpl : public TNmeaHook {
public:
    TNmeaHookImpl(QMainWindow& main, TProfile& profile)
        : main_(main), control_(profile, commState()) {
        // Other tools may have made the menu already.
        QMenu* tools = main.menuBar()->findChild<QMenu*>("ToolsMenu");
        if (!tools) {
            tools = main.menuBar()->addMenu("&Tools");
            tools->setObjectName("ToolsMenu");
        }
        toggle_ = tools->addAction("&NMEA output");
        toggle_->setObjectName("NmeaOutputItem");
        toggle_->setCheckable(true);
        QObject::connect(toggle_, &QAction::triggered, &main, [this](bool on) { toggled(on); });
        QAction* settings = tools->addAction("NMEA output &settings...");
        settings->setObjectName("NmeaSettingsItem");
        QObject::connect(settings, &QAction::triggered, &main, [this] {
            TNmeaOutputDialog dialog(control_, &main_);
            dialog.exec();
            refresh();
        });
        label_ = new QLabel(&main);
        label_->setObjectName("NmeaStatusLabel");
        main.statusBar()->addPermanentWidget(label_);
        // Clients come and go on their own.
        timer_ = new QTimer(&main);
        QObject::connect(timer_, &QTimer::timeout, &main, [this] { refresh(); });
        timer_->start(1000);
        report(control_.restore());
        refresh();
    }
    ~TNmeaHookImpl() override {
        timer_->stop();
        delete label_;
        delete timer_;
    }

    TNmeaControl& control() override { return control_; }

private:
    void toggled(bool on) {
        report(control_.setEnabled(on));
        refresh();
    }
    void report(const std::string& error) {
        if (!error.empty())
            QMessageBox::warning(&main_, "NMEA Output", q(error));
    }
    void refresh() {
        toggle_->setChecked(control_.enabled());
        label_->setText(q(control_.statusText()));
        label_->setVisible(control_.enabled());
    }

    QMainWindow& main_;
    TNmeaControl control_;
    QAction* toggle_;
    QLabel* label_;
    QTimer* timer_;
};

} // namespace

std::unique_ptr<TNmeaHook> hookNmea(QMainWindow& main, TProfile& profile) {
    return std::make_unique<TNmeaHookImpl>(main, profile);
}

} // namespace telvor
