#include "app/Maintenance.h"

#include "links/Portio.h"
#include "protocol/Bridge.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "protocol/Numbers.h"
#include "settings/Settingskeys.h"

#include <climits>
#include <cstdlib>

namespace telvor {

struct TMaintenance::TOperation {
    const char* command;
    const char* title;
    const char* notice;
    const char* success;
};

namespace {

const char* const kNoReply = "The receiver didn't reply!";
const char* const kReconnecting = "Please wait while receiver is reconnecting";

bool usbLink() {
    return CurrentConnection && CurrentConnection->Kind == kLinkUsb;
}

// The USB link is told that its device is about to go away.
void announceUsbReset(TSession& session) {
    CurrentConnection->SetEventMask(kEventError);
    session.pause(100);
    session.pause(500);
}

} // namespace

int TMaintenance::reconnectWait() const {
    if (!CurrentConnection || session_.settings().mode != cmDirect)
        return 0;
    if (CurrentConnection->Kind == kLinkEthernet)
        return 10000;
    if (CurrentConnection->Kind == kLinkUsb)
        return UsbResetWait;
    return 0;
}

void TMaintenance::reconnect(int waitMs) {
    session_.disconnect();
    if (waitMs > 0) {
        view_.showNotice(kReconnecting);
        session_.pause(waitMs);
        view_.closeNotice();
    }
    session_.connect();
}

bool TMaintenance::run(const TOperation& op, int waitMs, std::optional<TSessionCommand> followUp) {
    if (!CurrentConnection) {
        view_.setStatusLine("Receiver is not connected");
        return false;
    }
    view_.messageBox(op.title, op.notice, TBoxButtons::Ok, TBoxIcon::Information);
    if (!CurrentConnection)
        return false;
    const bool usb = usbLink();
    if (usb)
        announceUsbReset(session_);
    // No checksum and no reply: the receiver restarts.
    CurrentConnection->WriteRaw(std::string(op.command) + "\r\n");
    CurrentConnection->Reconnect(10);
    if (usb) {
        CurrentConnection->SetEventMask(kEventData | kEventError);
        session_.pause(100);
    }
    reconnect(waitMs);
    if (!session_.connected())
        return false;
    const bool ok = Synchronise(25);
    view_.messageBox(op.title, ok ? op.success : kNoReply, TBoxButtons::Ok, TBoxIcon::Information);
    if (ok && followUp)
        view_.post(*followUp);
    return ok;
}

bool TMaintenance::resetReceiver(std::optional<TSessionCommand> followUp) {
    static const TOperation op{"%%set,reset,yes", "Reset Receiver",
                               "The receiver will be reset.\nIt is necessary to reconnect to the "
                               "receiver.",
                               "The receiver has been reset."};
    return run(op, reconnectWait(), followUp);
}

bool TMaintenance::initParameters(std::optional<TSessionCommand> followUp) {
    static const TOperation op{"%%init,/par/", "Initialize Receiver",
                               "The receiver parameters will be initialized.\nIt is necessary to "
                               "reconnect to the receiver.",
                               "The receiver parameters have been initialized."};
    return run(op, 0, followUp);
}

void TMaintenance::clearNvram() {
    if (!CurrentConnection)
        return;
    if (view_.messageBox("Clear NVRAM",
                         "After clearing NVRAM the receiver will require\nsome time to re-collect "
                         "data needed to track satellites.\nPush OK to proceed, Cancel to abort.",
                         TBoxButtons::OkCancel, TBoxIcon::Warning) != TBoxResult::Ok ||
        !CurrentConnection)
        return;

    const bool serial = CurrentConnection->Kind == kLinkSerial;
    long speedAfter = 115200;
    if (serial) {
        // The port's rate once its defaults are back.
        std::string text = PrintParameter("/par/cur/term/rate&def", "<unknown>", 2000);
        speedAfter = parseInteger(text, 1, LONG_MAX).value_or(speedAfter);
    }
    commState().monitorTimerOn = false;
    view_.setMonitorTimer(false);
    const int waitMs = reconnectWait();

    const std::string command = "%%init,/dev/nvm/a";
    bool ok;
    if (usbLink()) {
        announceUsbReset(session_);
        CurrentConnection->WriteRaw(command + "\r\n");
        CurrentConnection->Reconnect(1);
        CurrentConnection->SetEventMask(kEventData | kEventError);
        ok = true;
    } else {
        ok = SendAndWait(command, 2000) == TReply::RE;
    }
    TBoxResult answer =
        view_.messageBox("Clear NVRAM",
                         std::string(ok ? "The receiver NVRAM cleared!" : kNoReply) +
                             "\nWould you like to configure it now?",
                         TBoxButtons::YesNo, TBoxIcon::Question);
    if (serial && CurrentConnection)
        CurrentConnection->SetSpeed(std::uint32_t(speedAfter));
    reconnect(waitMs);
    if (session_.connected() && Synchronise(25) && answer == TBoxResult::Yes)
        view_.post(TSessionCommand::ReceiverConfig);
}

void TMaintenance::menuResetReceiver() {
    if (view_.messageBox("Reset Receiver",
                         "After resetting the receiver will require\nsome time to re-collect data "
                         "needed to track satellites.\nPush OK to proceed, Cancel to abort.",
                         TBoxButtons::OkCancel, TBoxIcon::Warning) == TBoxResult::Ok)
        uiBridge().post(TWindowId::Main, kResetCode);
}

void TMaintenance::handleCode(std::uint32_t code) {
    if (code == kResetCode) {
        view_.setStatusLine("Resetting receiver parameters...");
        view_.hideMainWindow();
        resetReceiver();
    } else if (code == kSetDefaultsCode) {
        commState().monitorTimerOn = false;
        view_.setMonitorTimer(false);
        SetInputMode(TInputMode::Idle);
        SendAndWait("%%dm", 2000);
        view_.setStatusLine("Resetting receiver parameters...");
        view_.hideMainWindow();
        initParameters(TSessionCommand::ReceiverConfig);
    }
}

} // namespace telvor
