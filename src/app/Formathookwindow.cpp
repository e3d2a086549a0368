// The file-system initialisation window in the main window.
#include "app/Formathookwindow.h"

#include "app/Appinfo.h"
#include "app/Mainwindow.h"
#include "files/Formatform.h"
#include "info/Reportfile.h"

namespace telvor {

void hookFileSystemInit(TMainWindow& main) {
    main.setItemHandler(TMenuItem::InitFileSystem, [&main] {
        if (main.messageBox(kFsInitTitle, kFsInitQuestion, TBoxButtons::YesNo, TBoxIcon::Warning) !=
            TBoxResult::Yes)
            return;
        main.session().runSubWindow(
            [&] {
                TFormatForm form(
                    kAppTitle, versionAndBuild(appVersion(), buildDateText(appBuildDate())), &main);
                form.exec();
            },
            true);
    });
}

} // namespace telvor
