// The RFM96 radio modem window in the main window.
#include "app/Radiohookwindow.h"

#include "app/Mainwindow.h"
#include "config/Rfm96configform.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"

namespace telvor {

void hookRadioConfig(TMainWindow& main, TProfile& profile) {
    main.setItemHandler(TMenuItem::Radio, [&main, &profile] {
        // The window talks to the receiver itself: monitoring is paused meanwhile.
        main.session().runSubWindow(
            [&] {
                TRFM96RadioConfigForm form(profile.read(keys::DebugShowModemDebug), &main);
                form.exec();
            },
            true);
    });
}

} // namespace telvor
