#include "links/Portio.h"

#include "links/Modemio.h"
#include "links/Parallelconnection.h"
#include "links/Serialconnection.h"
#include "links/Tcpasyncconn.h"
#include "links/Tcpclientconnection.h"
#include "links/Usbconnection.h"
#include "protocol/Bridge.h"
#include "protocol/Commthread.h"

namespace telvor {

int UsbResetWait = 10000;

bool IsSerialPortName(std::string_view name) {
    // Any absolute path: virtual ports (socat, a simulator's pty link) live outside /dev; the
    // serial link tells when the path is no serial port.
    return name.substr(0, 3) == "COM" || name.substr(0, 1) == "/";
}

std::string SerialDevicePath(const std::string& name) {
    if (name.size() > 3 && name.compare(0, 3, "COM") == 0) {
        int number = 0;
        for (std::size_t i = 3; i < name.size(); ++i) {
            if (name[i] < '0' || name[i] > '9' || number > 9999)
                return name;
            number = number * 10 + (name[i] - '0');
        }
        if (number >= 1)
            return "/dev/ttyS" + std::to_string(number - 1);
    }
    return name;
}

std::string CreateReceiverConnection(const std::string& portName, const TLinkSettings& settings) {
    // The thread that opens links is the UI thread of the plain bridge.
    (void)uiBridge();
    CloseReceiverConnection();
    TReceiverConnection* link = nullptr;
    switch (settings.mode) {
    case cmRadioModem:
        link = new TRadioModemConnection(portName, settings.infrared, settings.baud);
        break;
    case cmInternetClient:
        link = new TTCPClientConnection();
        break;
    default:
        if (IsSerialPortName(portName))
            link = new TSerialConnection(portName, true, settings.infrared);
        else if (portName.compare(0, 3, "LPT") == 0) {
            UseFastWriteByte = settings.useFastWriteByte;
            link = new TParallelConnection(portName);
        } else if (portName.compare(0, 4, "ETHR") == 0)
            link = new CTCPAsyncConnection("TCP " + settings.ethrHost, settings.ethrHost,
                                           settings.ethrPort);
        else if (portName.compare(0, 3, "USB") == 0)
            link = new CUSBConnection(portName, true, ParseVendorIds(settings.usbVendors));
        break;
    }
    CurrentConnection = link;
    if (!link)
        return "Error: Not enough memory to create object!";
    return link->ErrorText();
}

void CloseReceiverConnection() {
    TReceiverConnection* link = CurrentConnection;
    if (!link)
        return;
    if (TSharingSink* sharing = commState().Sharing())
        sharing->OnLinkClosing();
    if (link->ThreadStarted()) {
        link->Thread->Terminate();
        link->Wake();
        link->Cancel();
        link->Thread->WaitFor();
    }
    delete link;
    CurrentConnection = nullptr;
}

} // namespace telvor
