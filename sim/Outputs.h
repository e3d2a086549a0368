#pragma once
// Which messages each port sends and how often: the state behind "em", "dm", "out" and
// "/par/out/<port>".
#include "sim/Encoders.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace telvorsim {

struct TMsgItem {
    std::string name;   // "PG", "RT", "EE" ...; "rtcm/18", "rtcm3/1004", "cmr/0" for corrections
    double period = -1; // seconds; < 0 when the list gave none; 0 = on change
    double phase = 0;   // seconds
};

// Parses a message list as "em", "dm" and "out" take it: "vxr{/PG,/SI:2}", "vxr/EE:{1}",
// "def:{1}", "/msg/vxr/PG", "{vxr/PG,vxr/SI}". `error` names what was wrong.
bool parseMessageList(std::string_view list, std::vector<TMsgItem>& items, std::string& error);

// The receiver's own message sets ("rtk/vxr/min", "rtk/vxr/max"): their messages with their
// settings; false for an unknown set.
bool messageSet(std::string_view name, std::vector<TMsgItem>& items);

class TOutputs {
public:
    struct TDue {
        const TMessageDef* def;
        bool onChange;      // period 0: send only when different from the last one sent
        bool first = false; // the first time since it was enabled
    };

    void enable(const std::string& port, const std::vector<TMsgItem>& items);
    void disable(const std::string& port);
    void disable(const std::string& port, const std::vector<TMsgItem>& items);
    void clear() {
        ports_.clear();
        corrections_.clear();
    }

    std::vector<std::string> enabled(const std::string& port) const; // names, epoch order
    // {vxr/RT={1.00,0.00},...}: what "/par/out/<port>" prints.
    std::string print(const std::string& port) const;
    // One message's setting, "{1.00,0.00}", or "{off}".
    std::string printOne(const std::string& port, const std::string& name) const;

    // Messages of `port` due at `timeMs`, in epoch order; marks them sent.
    std::vector<TDue> due(const std::string& port, std::int64_t timeMs);
    // Remembers the bytes last sent for an on-change message; true when they differ.
    bool changed(const std::string& port, const std::string& name, const std::string& bytes);

private:
    struct TSetting {
        double period = 1, phase = 0;
        bool sent = false;
        std::int64_t lastSlot = 0;
        std::string lastBytes;
    };
    std::map<std::string, std::map<std::string, TSetting>> ports_;
    // Correction messages (RTCM, CMR) in the order they were enabled; the simulator keeps
    // them as settings and sends no bytes for them.
    std::map<std::string, std::vector<std::pair<std::string, TSetting>>> corrections_;
};

} // namespace telvorsim
