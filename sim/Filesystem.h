#pragma once
// The receiver's file memory: the files under "/log/" with their bytes and creation times, and
// the memory figures of "/par/dev/blk/a/...", which follow the files.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace telvorsim {

// Seconds from 1970-01-01 to 1988-01-01, where the receiver's file times count from.
constexpr std::int64_t kFileEpochOffsetS = 567993600;

struct TSimFile {
    std::string name; // without "/log/"
    std::string data;
    std::uint32_t time = 0; // seconds since 1988-01-01 00:00
};

// A file a test or the command line puts into the memory at start.
struct TSeedFile {
    std::string name;
    std::size_t size = 0;
    std::uint64_t seed = 1;
};

// The same bytes for the same size and seed, so a test can tell a download is whole.
std::string seedContent(std::size_t size, std::uint64_t seed);

class TFileSystem {
public:
    static constexpr std::size_t kBlockSize = 2048;
    static constexpr std::size_t kBlocks = 16128;

    // "" when the name may be used for a file, else the receiver's error text.
    static std::string checkName(const std::string& name);

    // Error text, or "" when done.
    std::string create(const std::string& name, std::uint32_t time, std::string data = {});
    std::string remove(const std::string& name);
    // Adds recorded bytes to a file; false when the memory cannot hold them (nothing added).
    bool append(const std::string& name, const std::string& bytes);
    const TSimFile* find(const std::string& name) const;
    const std::vector<TSimFile>& files() const { return files_; }

    std::uint64_t total() const { return std::uint64_t(kBlockSize) * kBlocks; }
    // Each file takes whole blocks.
    std::uint64_t free() const;

    // The list as "print,/log/&[name,size,time]" answers it: one element per reply, the
    // first carrying the list's opening brace, the last its closing brace.
    std::vector<std::string> listReplies() const;

    // "init,/dev/blk/a": every file goes at once; the progress ("stat/fsinit", "{total,done}")
    // then moves on by a tenth at each reading, so that a test sees it go without waiting.
    static constexpr int kInitSteps = 250;
    void startInit();
    std::string initProgress() const;
    // "stat/rw": {{reads,errors,fatal},{writes,errors,fatal}}; reads are files served.
    void countRead() { ++reads_; }
    std::string readWriteStats() const;

private:
    std::vector<TSimFile> files_;
    mutable int initDone_ = kInitSteps;
    std::uint64_t reads_ = 0, writes_ = 0;
};

// The path inside "/log/" of a command argument, quoted or not ("/log/a b" -> "a b");
// none when the argument is not a file of the log directory.
std::optional<std::string> logFileName(const std::string& argument);

} // namespace telvorsim
