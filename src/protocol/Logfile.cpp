#include "protocol/Logfile.h"

#include <ctime>

namespace telvor {
namespace {

TLogFile gCommLog;
std::atomic<bool> gCommLogOpen{false};

void logBytes(std::string_view prefix, const void* data, std::size_t count) {
    if (auto* log = commLog())
        log->writeLine(prefix, data, count);
}

void logSessionLine(std::string_view what) {
    if (auto* log = commLog()) {
        log->writeLine("");
        log->writeLine(std::string(what) + logTimestamp());
    }
}

} // namespace

void appendEscaped(std::string& out, const void* data, std::size_t count) {
    static const char hex[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < count; ++i) {
        unsigned char b = bytes[i];
        if (b >= 0x20 && b <= 0x7E) {
            out += static_cast<char>(b);
        } else if (b == '\r') {
            out += "<cr>";
        } else if (b == '\n') {
            out += "<lf>";
        } else {
            out += '<';
            out += hex[b >> 4];
            out += hex[b & 0x0F];
            out += '>';
        }
    }
}

std::string escapeForLog(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    appendEscaped(out, bytes.data(), bytes.size());
    return out;
}

TLogFile::~TLogFile() {
    close();
}

bool TLogFile::open(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (file_)
        std::fclose(file_);
    file_ = std::fopen(path.c_str(), "a");
    return file_ != nullptr;
}

void TLogFile::close() {
    std::lock_guard lock(mutex_);
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
}

bool TLogFile::isOpen() const {
    std::lock_guard lock(mutex_);
    return file_ != nullptr;
}

void TLogFile::put(const std::string& escaped) {
    std::lock_guard lock(mutex_);
    if (!file_)
        return;
    std::fwrite(escaped.data(), 1, escaped.size(), file_);
    std::fflush(file_);
}

void TLogFile::writeLine(std::string_view prefix, const void* data, std::size_t count) {
    std::string line;
    line.reserve(prefix.size() + count + 1);
    appendEscaped(line, prefix.data(), prefix.size());
    appendEscaped(line, data, count);
    line += '\n';
    put(line);
}

void TLogFile::writeText(std::string_view text) {
    put(escapeForLog(text));
}

void TLogFile::writeLine(std::string_view text) {
    put(escapeForLog(text) + '\n');
}

bool openCommLog(const std::string& path) {
    bool ok = gCommLog.open(path);
    gCommLogOpen.store(ok, std::memory_order_release);
    return ok;
}

void closeCommLog() {
    gCommLogOpen.store(false, std::memory_order_release);
    gCommLog.close();
}

TLogFile* commLog() {
    return gCommLogOpen.load(std::memory_order_acquire) ? &gCommLog : nullptr;
}

void logInput(std::uint32_t tick, const void* data, std::size_t count) {
    if (auto* log = commLog()) {
        char prefix[64];
        std::snprintf(prefix, sizeof prefix, "INP: TIME: %u, LEN: %d, DATA: ", tick,
                      static_cast<int>(count));
        log->writeLine(prefix, data, count);
    }
}

void logReceived(const void* data, std::size_t count) {
    logBytes("RCV:", data, count);
}
void logReply(const void* data, std::size_t count) {
    logBytes("RPL:", data, count);
}
void logCommand(const void* data, std::size_t count) {
    logBytes("CMD:", data, count);
}
void logRaw(const void* data, std::size_t count) {
    logBytes("RAW:", data, count);
}
void logDisplay(const void* data, std::size_t count) {
    logBytes("DSP:", data, count);
}
void logError(std::string_view errorText) {
    logBytes("ERR:", errorText.data(), errorText.size());
}

void logLine(std::string_view text) {
    if (auto* log = commLog())
        log->writeLine(text);
}

void logSessionStart() {
    logSessionLine("Start session at ");
}
void logSessionClose() {
    logSessionLine("Close session at ");
}

std::string logTimestamp() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
    return buf;
}

} // namespace telvor
