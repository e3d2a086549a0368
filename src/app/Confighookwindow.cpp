// The receiver configuration window in the main window.
#include "app/Confighookwindow.h"

#include "app/Appinfo.h"
#include "app/Mainwindow.h"
#include "config/Receiverconfigform.h"
#include "protocol/Bridge.h"
#include "settings/Profile.h"

#include <QGuiApplication>

namespace telvor {

void hookReceiverConfig(TMainWindow& main, TProfile& profile) {
    main.setItemHandler(TMenuItem::ReceiverConfig, [&main, &profile] {
        // Shift held while it opens keeps the main window in sight.
        const bool hideMain = !(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier);
        bool defaults = false;
        // The pages are read while monitoring is paused, so the form is built inside.
        main.session().runSubWindow(
            [&] {
                TReceiverParams rx;
                TReceiverConfigForm form(rx, rx, &main);
                form.setProgram(appVersion(), appBuildDate());
                form.setScriptFolder(
                    QString::fromStdString(dataFolder(profile, keys::ManualModeDirectory)));
                form.setGlonassByFcn(profile.read(keys::GLOEnumerationFCN));
                form.setProfile(profile);
                form.logic().Advanced.Loops.setFirmwareVersion(main.session().firmwareVersion());
                if (hideMain)
                    main.hide();
                form.exec();
                defaults = form.defaultsRequested();
                if (main.isHidden())
                    main.show();
            },
            true);
        // The initialisation reconnects; it runs after the window has gone.
        if (defaults)
            uiBridge().post(TWindowId::Main, kSetDefaultsCode);
    });
}

} // namespace telvor
