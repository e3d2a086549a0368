#pragma once
// What the radio tests against telvor-sim share: waits short enough for a quick test, and the
// receiver's port settings that entering and leaving the daisy chain must leave as they were.
#include "config/Radiochain.h"
#include "sim/Receiver.h"

#include <map>
#include <string>

namespace telvor::testing {

inline TRadioTiming quickRadioTiming() {
    TRadioTiming t;
    t.settleMs = 20;
    t.rtsctsMs = 20;
    t.replyMs = 300;
    t.storeMs = 1000;
    t.powerCycleMs = 3000;
    t.guardBeforeMs = 150;
    t.guardAfterMs = 150;
    return t;
}

// Every serial port's chain settings, the messages of ports A and B, and the pty's rate.
inline std::map<std::string, std::string> receiverPorts(const telvorsim::TSimReceiver& sim) {
    std::map<std::string, std::string> s;
    for (const char* p : {"a", "b", "c", "d"})
        for (const char* k : {"rate", "rtscts", "imode", "echo", "eoff"}) {
            const std::string path = std::string("/par/dev/ser/") + p + "/" + k;
            s[path] = sim.param(path).value_or("<none>");
        }
    for (const char* p : {"/dev/ser/a", "/dev/ser/b"}) {
        std::string list;
        for (const auto& m : sim.enabledMessages(p))
            list += m + ";";
        s[std::string("messages ") + p] = list;
    }
    s["pty rate"] = std::to_string(sim.rate());
    return s;
}

} // namespace telvor::testing
