// The file memory's commands: the list and sizes through "print", "create", "remove", and "get",
// which starts a block transfer.
#include "sim/Engine.h"

#include "sim/Encoders.h"

#include <algorithm>

namespace telvorsim {
namespace {

std::string unquote(const std::string& text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

bool unsignedNumber(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.size() > 12)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return true;
}

// `"/log/<name>":{300[,<length>]}` -> name and length.
bool parseSource(const std::string& arg, std::string& name, std::size_t& length) {
    std::size_t colon = arg.rfind(":{");
    if (colon == std::string::npos || arg.back() != '}')
        return false;
    auto file = logFileName(arg.substr(0, colon));
    if (!file)
        return false;
    name = *file;
    std::string inner = arg.substr(colon + 2, arg.size() - colon - 3);
    std::size_t comma = inner.find(',');
    std::uint64_t v = 0;
    if (!unsignedNumber(inner.substr(0, comma), v))
        return false;
    length = 512;
    if (comma != std::string::npos) {
        if (!unsignedNumber(inner.substr(comma + 1), v))
            return false;
        length = static_cast<std::size_t>(v);
    }
    return true;
}

} // namespace

std::uint32_t TEngine::fileTime() const {
    return static_cast<std::uint32_t>(
        std::max<std::int64_t>(0, timeMs_ / 1000 - kFileEpochOffsetS));
}

// `"/log/<name>":{<period>}[,<offset>]`: the file's bytes as they are, from the offset on.
std::optional<TEngine::TResult> TEngine::printFileBytes(const std::string& argument) {
    const std::size_t colon = argument.rfind(":{");
    const std::size_t close = argument.rfind('}');
    if (colon == std::string::npos || close == std::string::npos || close < colon)
        return std::nullopt;
    auto name = logFileName(argument.substr(0, colon));
    if (!name)
        return std::nullopt;
    std::uint64_t offset = 0;
    const std::string rest = argument.substr(close + 1);
    if (!rest.empty() && (rest[0] != ',' || !unsignedNumber(rest.substr(1), offset)))
        return TResult{false, "Invalid offset", nullptr};
    const TSimFile* f = files_.find(*name);
    if (!f)
        return TResult{false, "File not found", nullptr};
    if (offset > f->data.size())
        return TResult{false, "Invalid offset", nullptr};
    TResult r{true, f->data.substr(static_cast<std::size_t>(offset)), nullptr};
    r.raw = true;
    return r;
}

std::optional<TEngine::TResult> TEngine::printFiles(const std::string& argument) {
    if (auto bytes = printFileBytes(argument))
        return bytes;
    std::string path = unquote(argument);
    if (path == "/log/&[name,size,time]") {
        TResult r;
        r.parts = files_.listReplies();
        return r;
    }
    if (path == "/cur/log")
        return TResult{true, recording_ ? "/log/" + logFile_ : "", nullptr};
    if (path == "/cur/log&size") {
        const TSimFile* f = recording_ ? files_.find(logFile_) : nullptr;
        return f ? TResult{true, std::to_string(f->data.size()), nullptr}
                 : TResult{false, "No log file", nullptr};
    }
    std::size_t amp = path.rfind('&');
    if (amp == std::string::npos || path.substr(amp + 1) != "size")
        return std::nullopt;
    auto name = logFileName(path.substr(0, amp));
    if (!name)
        return std::nullopt;
    if (const TSimFile* f = files_.find(*name))
        return TResult{true, std::to_string(f->data.size()), nullptr};
    return TResult{false, "File not found", nullptr};
}

// get,"/log/<name>":{300[,<length>]}[,<offset>]
TEngine::TResult TEngine::cmdGet(const std::vector<std::string>& args) {
    std::string name;
    std::size_t length = 512;
    if (args.size() < 2 || !parseSource(args[1], name, length))
        return {false, "Invalid file name", nullptr};
    if (length < 32 || length > 4096)
        return {false, "Invalid block size", nullptr};
    std::uint64_t offset = 0;
    if (args.size() > 2 && !unsignedNumber(args[2], offset))
        return {false, "Invalid offset", nullptr};
    const TSimFile* file = files_.find(name);
    if (!file)
        return {true, "", [this, length] { transfer_.startError("File not found", length); }};
    if (offset > file->data.size())
        return {false, "Invalid offset", nullptr};
    std::string data = file->data.substr(static_cast<std::size_t>(offset));
    files_.countRead();
    std::string end = frameReply(true, echo_ + "\n");
    return {true, "", [this, data = std::move(data), length, end = std::move(end)]() mutable {
                transfer_.start(std::move(data), length, std::move(end), options_.faults.transfer);
            }};
}

// create,"/log/<name>"
TEngine::TResult TEngine::cmdCreate(const std::vector<std::string>& args) {
    auto name = args.size() > 1 ? logFileName(args[1]) : std::nullopt;
    if (!name)
        return {false, "Invalid file name", nullptr};
    std::string error = files_.create(*name, fileTime());
    // The file being recorded stays the current one until recording stops.
    if (error.empty() && !recording_)
        logFile_ = *name;
    return {error.empty(), error, nullptr};
}

// remove,"/log/<name>"
TEngine::TResult TEngine::cmdRemove(const std::vector<std::string>& args) {
    auto name = args.size() > 1 ? logFileName(args[1]) : std::nullopt;
    if (!name)
        return {false, "Invalid file name", nullptr};
    std::string error = files_.remove(*name);
    if (error.empty() && *name == logFile_) {
        stopRecording();
        logFile_.clear();
    }
    return {error.empty(), error, nullptr};
}

} // namespace telvorsim
