// Telvor: the program entry. The settings store comes first, then the long-lived windows.
#include "app/Appinfo.h"
#include "app/Confighookwindow.h"
#include "app/Debugwindow.h"
#include "app/Formathookwindow.h"
#include "app/Mainwindow.h"
#include "app/Manualhookwindow.h"
#include "app/Nmeahookwindow.h"
#include "app/Qtbridge.h"
#include "app/Radiohookwindow.h"
#include "app/Sharingwindow.h"
#include "app/Startoptions.h"
#include "app/Stopsignals.h"
#include "protocol/Debugcore.h"
#include "settings/Profile.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <exception>
#include <iostream>

namespace {

class TApplication : public QApplication {
public:
    using QApplication::QApplication;
    // An exception escaping an event handler is shown, and the program goes on.
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            QMessageBox::critical(nullptr, telvor::kAppTitle, e.what());
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    // --help and --version need no display: they are answered before the window system starts.
    telvor::TStartOptions start = telvor::parseStartOptions(argc, argv);
    if (start.action != telvor::TStartOptions::Run) {
        (start.action == telvor::TStartOptions::Usage ? std::cerr : std::cout) << start.text;
        return start.action == telvor::TStartOptions::Usage ? 2 : 0;
    }

    TApplication app(argc, argv);
    QApplication::setApplicationName(telvor::kAppTitle);
    QApplication::setApplicationVersion(telvor::appVersion());
    QApplication::setWindowIcon(QIcon::fromTheme("telvor"));
    QLocale::setDefault(QLocale::c()); // "." in every number
    try {
        telvor::TProfile profile(telvor::enterHomeDirectory(start.settingsDir));
        telvor::setProfile(&profile);

        telvor::TQtBridge bridge;
        bridge.setErrorHandler([](const std::string& title, const std::string& text) {
            QMessageBox::critical(nullptr, QString::fromStdString(title),
                                  QString::fromStdString(text));
        });
        bridge.setHandler(telvor::TWindowId::Debug,
                          [](std::uint32_t code) { telvor::debugCore().handleCode(code); });
        int code;
        {
            TMainWindow main(profile, bridge, !start.script.empty());
            if (!start.recording.empty())
                main.setStartRecording(start.recording);
            std::vector<std::string> runArguments;
            if (!start.script.empty()) {
                runArguments.push_back(start.script);
                runArguments.insert(runArguments.end(), start.scriptArguments.begin(),
                                    start.scriptArguments.end());
            }
            telvor::hookManualMode(main, profile, std::move(runArguments));
            telvor::hookReceiverConfig(main, profile);
            telvor::hookFileSystemInit(main);
            telvor::hookRadioConfig(main, profile);
            auto nmea = telvor::hookNmea(main, profile);
            TDebugWindow debug(profile, telvor::debugCore(), main.frameGeometry());
            debug.followMonitor(main);
            // The TCP sharing window takes its place here, before the plot windows.
            auto sharing = telvor::hookSharing(main, profile);
            main.createPlotWindows();
            main.show();
            // Logout (SIGTERM), Ctrl-C and a closed terminal end through the window's close.
            telvor::TStopSignals stopSignals([&main](int) { main.close(); });
            code = app.exec();
        }
        telvor::setProfile(nullptr);
        return code;
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, telvor::kAppTitle, e.what());
        return 1;
    }
}
