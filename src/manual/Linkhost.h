#pragma once
// The part of a script host that is the same in the window and in telvor-cli: the current
// link, the tick counter, and waits that keep the UI thread's events (and with them the
// received data) flowing.
#include "manual/Scriptrunner.h"

namespace telvor {

class TLinkScriptHost : public TScriptHost {
public:
    bool sendLine(std::string_view line) override;
    bool writeRaw(std::string_view bytes) override;
    void setLinkSpeed(std::uint32_t bitsPerSecond) override;
    void setLinkHandshake(bool on) override;
    void processEvents() override;
    void sleep(int ms) override;
    std::uint32_t nowMs() override;
};

} // namespace telvor
