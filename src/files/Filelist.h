#pragma once
// One file of the receiver's list as the file manager shows it, and the reading of one element
// of the list the receiver prints: "{{name,size,time}," ... "{name,size,time}}", one per reply.
#include <cstdint>
#include <string>
#include <string_view>

namespace telvor {

struct TFileEntry {
    std::string caption;   // the computer file to write ("Target name")
    std::string name;      // the receiver's file name
    std::string size;      // as the receiver printed it
    std::int64_t time = 0; // seconds since 1988-01-01 00:00
    // The file manager's marks: selected in the list, and the state image (none, queued,
    // being downloaded, downloaded).
    bool selected = false;
    int state = -1;
};

// Reads one element; false when it does not hold exactly name, size and time.
bool ParseFileListElement(std::string_view text, TFileEntry& entry);

// The date and the time of day of a receiver file time, in the locale's short formats.
std::string FileDate(std::int64_t time);
std::string FileTimeOfDay(std::int64_t time);

// An edited target name: empty means the receiver name, no "." gets ".vxr".
std::string TargetName(std::string_view edited, std::string_view receiverName);

} // namespace telvor
