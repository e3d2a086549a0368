// Script host operations on the current link and the UI bridge.
#include "manual/Linkhost.h"

#include "protocol/Bridge.h"
#include "protocol/Commtools.h"
#include "protocol/Link.h"
#include "protocol/Tick.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace telvor {

bool TLinkScriptHost::sendLine(std::string_view line) {
    return SendLine(line);
}

bool TLinkScriptHost::writeRaw(std::string_view bytes) {
    return CurrentConnection && CurrentConnection->WriteRaw(bytes);
}

void TLinkScriptHost::setLinkSpeed(std::uint32_t bitsPerSecond) {
    if (CurrentConnection)
        CurrentConnection->SetSpeed(bitsPerSecond);
}

void TLinkScriptHost::setLinkHandshake(bool on) {
    if (CurrentConnection)
        CurrentConnection->SetHandshake(on);
}

void TLinkScriptHost::processEvents() {
    uiBridge().processEvents();
}

void TLinkScriptHost::sleep(int ms) {
    const std::uint32_t start = tickCount();
    do {
        uiBridge().processEvents();
        const std::uint32_t left =
            static_cast<std::uint32_t>(ms) - std::min<std::uint32_t>(ticksSince(start), ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<std::uint32_t>(left, 10)));
    } while (ticksSince(start) < static_cast<std::uint32_t>(ms));
    uiBridge().processEvents();
}

std::uint32_t TLinkScriptHost::nowMs() {
    return tickCount();
}

} // namespace telvor
