// The manual-mode terminal in the main window.
#include "app/Manualhookwindow.h"

#include "app/Mainwindow.h"
#include "manual/Manualmodeform.h"
#include "manual/Scriptlines.h"

#include <memory>

namespace telvor {
namespace {

class TMainSession : public TManualSession {
public:
    explicit TMainSession(TMainWindow& main) : main_(main) {}
    bool connected() override { return main_.session().connected(); }
    // "Manual mode only" asks for no firmware: its version stays 0.
    bool firmwareRecognised() override {
        return main_.session().connected() && main_.session().firmwareVersion() != 0;
    }
    int speedDivisor() override { return main_.session().speedDivisor(); }
    void disconnect() override {
        if (main_.session().connected())
            main_.session().disconnect();
    }
    void quit() override { QMetaObject::invokeMethod(&main_, "close", Qt::QueuedConnection); }

private:
    TMainWindow& main_;
};

} // namespace

void hookManualMode(TMainWindow& main, TProfile& profile, std::vector<std::string> runArguments) {
    // The "/run" option is consumed by the first terminal that opens.
    auto prefill = std::make_shared<std::string>(runCommandLine(runArguments));
    auto open = [&main, &profile, prefill](bool pause) {
        TMainSession session(main);
        TManualModeForm form(profile, session, *prefill, &main);
        prefill->clear();
        if (pause)
            main.hide();
        main.runSubWindow(&form, pause);
    };
    main.setItemHandler(TMenuItem::ManualMode, [open] { open(true); });
    main.setTerminalOpener([open] {
        open(false);
        return true;
    });
}

} // namespace telvor
