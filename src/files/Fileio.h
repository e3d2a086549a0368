#pragma once
// The file a download writes: created or reopened (asking about an existing one), written
// through an 8192-byte buffer, with disk errors kept as text.
#include <cstdint>
#include <memory>
#include <string>

namespace telvor {

// The two questions about an existing target; the file manager shows them as boxes.
class TFileQuestions {
public:
    enum class TAnswer { Overwrite, Append, Cancel };
    virtual ~TFileQuestions() = default;
    // "The file <path> already exists. Do you want to overwrite the file or append to it?"
    virtual TAnswer overwriteOrAppend(const std::string& path) = 0;
    // "The file\n<path>\nalready exists.\nDo you wish to overwrite it?"; true for Yes.
    virtual bool confirmOverwrite(const std::string& path) = 0;
};

class FileAccess {
public:
    static constexpr int bufferCapacity = 8192;

    // `ask` may be null: no questions (append or recreate as `appendIfExists` says).
    FileAccess(const std::string& path, bool skipCheck, bool noWriteThrough, bool appendIfExists,
               TFileQuestions* ask);
    ~FileAccess(); // flushes and closes
    FileAccess(const FileAccess&) = delete;
    FileAccess& operator=(const FileAccess&) = delete;

    bool isOpen() const { return handle >= 0; }
    // Count 0 flushes the buffer.
    bool writeBuffered(const void* data, int count);
    bool writeDirect(const void* data, int count);

    int handle = -1;
    std::int64_t initialSize = 0; // the size right after opening: where a resume starts
    std::string errorText;
    std::string fileName;

private:
    std::unique_ptr<std::uint8_t[]> buffer;
    int bufferUsed = 0;
};

} // namespace telvor
