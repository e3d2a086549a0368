#pragma once
// The receiver's messages: one table row per message name with its two-character id and the
// encoder that writes its body; framing with the checksum kind that `MessInfoVXR` gives the id.
#include "sim/Sky.h"

#include <string>
#include <string_view>
#include <vector>

namespace telvorsim {

struct TEpochView {
    const TEpoch& epoch;
    std::vector<const TSat*> sats; // after the port's elevation mask
    std::vector<char> events;      // 'A', 'B': event inputs seen during this epoch
    bool forced = false;           // asked for once ("out"), not by its period
};

// Appends zero or more whole messages.
using TEncoder = void (*)(const TEpochView& view, std::vector<std::string>& out);

struct TMessageDef {
    const char* name; // as in message lists: "RT", "PG", "EE" ...
    const char* id;   // on the wire: "~~", "PG", "||" ...
    TEncoder encode;
    bool onEvent; // sent when something happened (almanac, event input), whatever the period
    // Once enabled, the first epoch sends everything the receiver holds (ephemerides), so a
    // file begun then has all of it.
    bool allOnEnable = false;
};

// Rows in the order they appear inside an epoch ("RT" first, "EE" last).
const std::vector<TMessageDef>& messageTable();
const TMessageDef* findMessage(std::string_view name);

// Names in the receiver's default message set "def".
const std::vector<std::string>& defaultSet();

// id + three upper-case hexadecimal length digits + payload + the checksum its kind wants.
std::string frameMessage(std::string_view id, std::string_view payload);
// "RE"/"ER" + length + body.
std::string frameReply(bool ok, std::string_view body);

} // namespace telvorsim
