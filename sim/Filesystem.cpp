#include "sim/Filesystem.h"

#include <algorithm>

namespace telvorsim {

std::string seedContent(std::size_t size, std::uint64_t seed) {
    std::string out(size, '\0');
    std::uint64_t x = seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull;
    for (std::size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        out[i] = static_cast<char>(x >> 24);
    }
    return out;
}

std::string TFileSystem::checkName(const std::string& name) {
    if (name.empty() || name.size() > 64)
        return "Invalid file name";
    for (unsigned char c : name)
        if (c < 32 || c > 126 ||
            std::string_view("/\\!%$&`'\"*|<>{},").find(c) != std::string_view::npos)
            return "Invalid file name";
    if (name.front() == ' ' || name.back() == ' ')
        return "Invalid file name";
    return "";
}

std::string TFileSystem::create(const std::string& name, std::uint32_t time, std::string data) {
    if (std::string e = checkName(name); !e.empty())
        return e;
    if (find(name))
        return "File exists";
    std::uint64_t need = (data.size() + kBlockSize - 1) / kBlockSize * kBlockSize;
    if (need > free())
        return "Not enough memory";
    files_.push_back({name, std::move(data), time});
    return "";
}

std::string TFileSystem::remove(const std::string& name) {
    auto it = std::find_if(files_.begin(), files_.end(),
                           [&](const TSimFile& f) { return f.name == name; });
    if (it == files_.end())
        return "File not found";
    files_.erase(it);
    return "";
}

const TSimFile* TFileSystem::find(const std::string& name) const {
    for (const TSimFile& f : files_)
        if (f.name == name)
            return &f;
    return nullptr;
}

bool TFileSystem::append(const std::string& name, const std::string& bytes) {
    auto it = std::find_if(files_.begin(), files_.end(),
                           [&](const TSimFile& f) { return f.name == name; });
    if (it == files_.end())
        return false;
    const std::uint64_t had = (it->data.size() + kBlockSize - 1) / kBlockSize;
    const std::uint64_t needs = (it->data.size() + bytes.size() + kBlockSize - 1) / kBlockSize;
    if ((needs - had) * kBlockSize > free())
        return false;
    it->data += bytes;
    ++writes_;
    return true;
}

void TFileSystem::startInit() {
    files_.clear();
    initDone_ = 0;
}

std::string TFileSystem::initProgress() const {
    const std::string text =
        "{" + std::to_string(kInitSteps) + "," + std::to_string(initDone_) + "}";
    initDone_ = std::min(kInitSteps, initDone_ + kInitSteps / 10);
    return text;
}

std::string TFileSystem::readWriteStats() const {
    return "{{" + std::to_string(reads_) + ",0,0},{" + std::to_string(writes_) + ",0,0}}";
}

std::uint64_t TFileSystem::free() const {
    std::uint64_t used = 0;
    for (const TSimFile& f : files_)
        used += (f.data.size() + kBlockSize - 1) / kBlockSize * kBlockSize;
    return used >= total() ? 0 : total() - used;
}

std::vector<std::string> TFileSystem::listReplies() const {
    if (files_.empty())
        return {"{}"};
    std::vector<std::string> out;
    for (std::size_t i = 0; i < files_.size(); ++i) {
        const TSimFile& f = files_[i];
        std::string e = i == 0 ? "{" : "";
        e +=
            "{" + f.name + "," + std::to_string(f.data.size()) + "," + std::to_string(f.time) + "}";
        e += i + 1 == files_.size() ? "}" : ",";
        out.push_back(std::move(e));
    }
    return out;
}

std::optional<std::string> logFileName(const std::string& argument) {
    std::string path = argument;
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
        path = path.substr(1, path.size() - 2);
    if (path.compare(0, 5, "/log/") != 0 || path.size() == 5)
        return std::nullopt;
    return path.substr(5);
}

} // namespace telvorsim
