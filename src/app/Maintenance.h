#pragma once
// Reset, initialise parameters and clear NVRAM: each changes the receiver so deeply that the
// link is rebuilt afterwards through the session's normal connect.
#include "app/Session.h"

#include <cstdint>
#include <optional>

namespace telvor {

class TMaintenance {
public:
    TMaintenance(TSession& session, TSessionView& view) : session_(session), view_(view) {}

    // True when the receiver answered after the reconnect ("RE"); a follow-up command is
    // posted then (the window that asked opens again).
    bool resetReceiver(std::optional<TSessionCommand> followUp = {});
    bool initParameters(std::optional<TSessionCommand> followUp = {});
    // Menu "Clear NVRAM"; with Yes at the end the receiver configuration opens.
    void clearNvram();
    // Menu "Reset Receiver": asks, then requests "REST".
    void menuResetReceiver();
    // "REST" (file manager) and "SDEF" (receiver configuration) posted to the main window.
    void handleCode(std::uint32_t code);

    // Milliseconds to wait before reconnecting after a reset, decided by the link.
    int reconnectWait() const;

private:
    struct TOperation;
    bool run(const TOperation& op, int waitMs, std::optional<TSessionCommand> followUp);
    void reconnect(int waitMs);

    TSession& session_;
    TSessionView& view_;
};

} // namespace telvor
