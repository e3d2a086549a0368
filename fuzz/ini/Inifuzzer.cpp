// Any settings file, any names and values: reads never fail, a write is either refused or
// read back as written, and never changes another key. The value also stands for a
// user-dirs.dirs text.
#include "settings/Profile.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <unistd.h>

using namespace telvor;

namespace {

constexpr const char* kAbsent = "\x01"
                                "absent";

const std::string& iniPath() {
    static const std::string path = [] {
        // Every write syncs; on tmpfs that costs nothing.
        char shm[] = "/dev/shm/telvor-fuzz-ini-XXXXXX";
        char tmp[] = "/tmp/telvor-fuzz-ini-XXXXXX";
        const char* dir = ::mkdtemp(shm);
        if (!dir)
            dir = ::mkdtemp(tmp);
        if (!dir)
            std::abort();
        static std::string folder = dir;
        std::atexit([] {
            ::unlink((folder + "/telvor.ini").c_str());
            ::rmdir(folder.c_str());
        });
        return folder + "/telvor.ini";
    }();
    return path;
}

void putFile(const std::string& text) {
    std::FILE* f = std::fopen(iniPath().c_str(), "wb");
    if (!f)
        std::abort();
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

// What a read returns for a value written as `v`: blanks trimmed, one pair of enclosing
// quotes dropped, cut to the read buffer.
std::string expected(std::string_view v) {
    constexpr std::string_view blanks = " \t\r\n\v\f";
    auto first = v.find_first_not_of(blanks);
    v = first == std::string_view::npos ? std::string_view() : v.substr(first);
    v = v.substr(0, v.find_last_not_of(blanks) + 1);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v.substr(0, TProfile::kMaxValueLength));
}

std::string lowerTrimmed(std::string_view s) {
    constexpr std::string_view blanks = " \t\r\n\v\f";
    auto first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    std::string out(s.substr(first, s.find_last_not_of(blanks) - first + 1));
    for (auto& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    // One read and one write kind per input: every file operation is a handful of system
    // calls, and the kinds are independent of each other.
    const int readKind = in.ConsumeIntegralInRange(0, 2);
    const int writeKind = in.ConsumeIntegralInRange(0, 2);
    auto section = in.ConsumeRandomLengthString(24);
    auto key = in.ConsumeRandomLengthString(24);
    auto value = in.ConsumeRandomLengthString(1100);
    auto section2 = in.ConsumeRandomLengthString(24);
    auto key2 = in.ConsumeRandomLengthString(24);
    int number = in.ConsumeIntegral<int>();
    double real = in.ConsumeFloatingPoint<double>();
    // Most inputs work on the text in memory, where the rules are the same and a write costs
    // no system calls; one in sixteen goes through the file and its atomic replacement.
    const bool onDisk = in.ConsumeIntegralInRange(0, 15) == 0;
    // The same text as a user-dirs.dirs file: a documents folder is absolute or none.
    if (std::string docs = documentsFromUserDirs(value, "/home/u"); !docs.empty() && docs[0] != '/')
        std::abort();
    std::string text = in.ConsumeRemainingBytesAsString();
    if (onDisk)
        putFile(text);
    TProfile p = onDisk ? TProfile(iniPath()) : TProfile::overText(text);
    if (readKind == 0)
        (void)p.readInteger(section, key, 1);
    else if (readKind == 1)
        (void)p.readBool(section, key, true);
    else
        (void)p.readFloat(section, key, 0.5);
    const auto other = p.readString(section2, key2, kAbsent);

    bool written = false;
    if (writeKind == 0) {
        written = p.writeString(section, key, value);
        if (written && p.readString(section, key, kAbsent) != expected(value))
            std::abort();
    } else if (writeKind == 1) {
        written = p.writeInteger(section, key, number);
        if (written && p.readInteger(section, key, ~number) != number)
            std::abort();
    } else {
        written = p.writeFloat(section, key, real);
        if (written && p.readFloat(section, key, NAN) != real)
            std::abort();
    }
    bool same =
        lowerTrimmed(section) == lowerTrimmed(section2) && lowerTrimmed(key) == lowerTrimmed(key2);
    if (written && !same && p.readString(section2, key2, kAbsent) != other)
        std::abort();
    return 0;
}
