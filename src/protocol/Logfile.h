#pragma once
// The communication log "telvor.log": every chunk read, message split, command written and
// reply found, one line each, with unprintable bytes made visible. Absent unless the user
// enabled it; then any thread may write, and each call writes whole lines under one lock.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace telvor {

inline constexpr const char* kCommLogName = "telvor.log";

// Blank..'~' as themselves, CR "<cr>", LF "<lf>", any other byte "<%02X>".
void appendEscaped(std::string& out, const void* data, std::size_t count);
std::string escapeForLog(std::string_view bytes);

class TLogFile {
public:
    TLogFile() = default;
    ~TLogFile();
    TLogFile(const TLogFile&) = delete;
    TLogFile& operator=(const TLogFile&) = delete;

    // Opens `path` for appending; false (and closed) when it cannot be opened.
    bool open(const std::string& path);
    void close();
    bool isOpen() const;

    // Prefix and data escaped, then a line end.
    void writeLine(std::string_view prefix, const void* data, std::size_t count);
    // The text escaped, no line end.
    void writeText(std::string_view text);
    // The text escaped and a line end.
    void writeLine(std::string_view text);

private:
    void put(const std::string& escaped);

    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;
};

// The program's log. commLog() is nullptr while it is closed, so callers skip all work:
//   if (auto* log = commLog()) log->writeLine(...);
bool openCommLog(const std::string& path = kCommLogName);
void closeCommLog();
TLogFile* commLog();

// The line kinds; each does nothing while the log is closed.
void logInput(std::uint32_t tick, const void* data, std::size_t count); // "INP: TIME: ..."
void logReceived(const void* data, std::size_t count);                  // "RCV:"
void logReply(const void* data, std::size_t count);                     // "RPL:"
void logCommand(const void* data, std::size_t count);                   // "CMD:"
void logRaw(const void* data, std::size_t count);                       // "RAW:"
void logDisplay(const void* data, std::size_t count);                   // "DSP:"
void logError(std::string_view errorText);                              // "ERR:"
// Plain lines: "Comm thread started", "Connected", "Speed 115200", "OK", ...
void logLine(std::string_view text);
// An empty line, then "Start session at " / "Close session at " and the local date and time.
void logSessionStart();
void logSessionClose();

// Local date and time as the session lines show it: "2024-05-17 14:03:59".
std::string logTimestamp();

} // namespace telvor
