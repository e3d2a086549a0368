#include "files/Fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace telvor {

FileAccess::FileAccess(const std::string& path, bool skipCheck, bool noWriteThrough,
                       bool appendIfExists, TFileQuestions* ask) {
    std::error_code ec;
    fileName = std::filesystem::absolute(path, ec).string();
    if (ec)
        fileName = path;
    bool keep = false;
    struct stat st {};
    if (!skipCheck && ::stat(fileName.c_str(), &st) == 0) {
        if (appendIfExists && ask) {
            switch (ask->overwriteOrAppend(fileName)) {
            case TFileQuestions::TAnswer::Cancel:
                errorText = "File already exists";
                return;
            case TFileQuestions::TAnswer::Append:
                keep = true;
                break;
            case TFileQuestions::TAnswer::Overwrite:
                break;
            }
        } else if (appendIfExists) {
            keep = true;
        } else if (ask && !ask->confirmOverwrite(fileName)) {
            errorText = "File already exists";
            return;
        }
    }
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (keep ? 0 : O_TRUNC);
    if (!noWriteThrough)
        flags |= O_DSYNC;
    handle = ::open(fileName.c_str(), flags, 0644);
    if (handle < 0) {
        errorText = std::string("Can't open file: ") + std::strerror(errno);
        return;
    }
    off_t end = ::lseek(handle, 0, SEEK_END);
    initialSize = end < 0 ? 0 : end;
    buffer = std::make_unique<std::uint8_t[]>(bufferCapacity);
}

FileAccess::~FileAccess() {
    if (handle < 0)
        return;
    writeBuffered(nullptr, 0);
    ::close(handle);
}

bool FileAccess::writeBuffered(const void* data, int count) {
    if (handle < 0)
        return false;
    if (count <= 0) {
        int used = bufferUsed;
        bufferUsed = 0;
        return writeDirect(buffer.get(), used);
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (bufferUsed + count < bufferCapacity) {
        std::memcpy(buffer.get() + bufferUsed, bytes, static_cast<std::size_t>(count));
        bufferUsed += count;
        return true;
    }
    if (count >= bufferCapacity)
        return writeBuffered(nullptr, 0) && writeDirect(bytes, count);
    while (count > 0) {
        int part = std::min(count, bufferCapacity - bufferUsed);
        std::memcpy(buffer.get() + bufferUsed, bytes, static_cast<std::size_t>(part));
        bufferUsed += part;
        bytes += part;
        count -= part;
        if (bufferUsed == bufferCapacity && !writeBuffered(nullptr, 0))
            return false;
    }
    return true;
}

bool FileAccess::writeDirect(const void* data, int count) {
    if (count == 0)
        return true;
    if (handle < 0)
        return false;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    int done = 0;
    while (done < count) {
        ssize_t n = ::write(handle, bytes + done, static_cast<std::size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            errorText = errno == ENOSPC ? "Disk full or disk error" : std::strerror(errno);
            return false;
        }
        if (n == 0) {
            errorText = "Disk full or disk error";
            return false;
        }
        done += static_cast<int>(n);
    }
    return true;
}

} // namespace telvor
