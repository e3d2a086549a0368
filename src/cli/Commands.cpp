#include "cli/Commands.h"

#include "app/Ports.h"
#include "cli/Clisession.h"
#include "protocol/Commtools.h"
#include "settings/Profile.h"

#include <ostream>

namespace telvor {

int usageError(std::ostream& err, const std::string& text) {
    err << "telvor-cli: " << text << "\nSee telvor-cli --help." << std::endl;
    return 2;
}

void printPorts(std::ostream& out) {
    for (const auto& port : dialogPorts()) {
        out << port.name;
        if (port.label != port.name)
            out << "\t" << port.label;
        out << "\n";
        // Each USB receiver by the name --port takes.
        if (port.name == "USB")
            for (const auto& receiver : usbReceivers())
                out << "USB " << receiver << "\n";
    }
    out.flush();
}

int runPorts(TCliContext& ctx) {
    printPorts(ctx.out);
    return 0;
}

int runConnect(TCliContext& ctx) {
    // The receiver's messages are paused while we read its identity.
    return withReceiver(ctx, [&](TSession& session) {
        std::string serial = PrintParameter("/par/rcv/sn", "", 2000);
        const auto& id = session.identity();
        ctx.out << "Model:    " << id.model << "\n"
                << "Serial:   " << serial << "\n"
                << "ID:       " << id.id << "\n"
                << "Firmware: " << id.firmware << "\n"
                << "Port:     " << session.settings().port;
        if (!id.port.empty())
            ctx.out << " (receiver port " << id.port << ")";
        ctx.out << "\n";
        if (std::uint32_t speed = session.pcSpeed())
            ctx.out << "Speed:    " << speed << "\n";
        ctx.out.flush();
        return 0;
    });
}

} // namespace telvor
