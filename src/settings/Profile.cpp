#include "settings/Profile.h"

#include "protocol/Numbers.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace telvor {
namespace {

constexpr std::string_view kBlanks = " \t\r\n\v\f";
constexpr const char* kIniName = "telvor.ini";

std::string_view trim(std::string_view s) {
    auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// One physical line: `body` excludes the "\n" (a Windows "\r" stays in it and is trimmed).
struct TLine {
    std::string_view body;
    bool hasNewline = false;
};

std::vector<TLine> splitLines(std::string_view text) {
    std::vector<TLine> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto nl = text.find('\n', pos);
        if (nl == std::string_view::npos) {
            lines.push_back({text.substr(pos), false});
            break;
        }
        lines.push_back({text.substr(pos, nl - pos), true});
        pos = nl + 1;
    }
    return lines;
}

enum class TLineKind { Other, Section, Key };

struct TParsedLine {
    TLineKind kind = TLineKind::Other;
    std::string_view name;
    std::string_view value;
};

TParsedLine parseLine(std::string_view body) {
    auto text = trim(body);
    if (!text.empty() && text.front() == '[') {
        auto close = text.find(']');
        auto inner = close == std::string_view::npos ? text.substr(1) : text.substr(1, close - 1);
        return {TLineKind::Section, trim(inner), {}};
    }
    auto eq = text.find('=');
    if (eq == std::string_view::npos)
        return {};
    return {TLineKind::Key, trim(text.substr(0, eq)), trim(text.substr(eq + 1))};
}

enum class TReadResult { Ok, Missing, Failed };

TReadResult readWholeFile(const std::string& path, std::string& out) {
    out.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return errno == ENOENT ? TReadResult::Missing : TReadResult::Failed;
    char buf[8192];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    return failed ? TReadResult::Failed : TReadResult::Ok;
}

// The value as the classic profile API hands it out: one pair of enclosing quotes dropped,
// cut to the reader's buffer.
std::string presentValue(std::string_view raw) {
    if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front())
        raw = raw.substr(1, raw.size() - 2);
    return std::string(raw.substr(0, TProfile::kMaxValueLength));
}

std::optional<std::string> lookup(std::string_view text, std::string_view section,
                                  std::string_view key) {
    section = trim(section);
    key = trim(key);
    if (section.empty() || key.empty())
        return std::nullopt;
    bool inSection = false;
    for (const auto& line : splitLines(text)) {
        auto parsed = parseLine(line.body);
        if (parsed.kind == TLineKind::Section)
            inSection = equalNoCase(parsed.name, section);
        else if (parsed.kind == TLineKind::Key && inSection && equalNoCase(parsed.name, key))
            return presentValue(parsed.value);
    }
    return std::nullopt;
}

bool hasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

std::string currentDirectory() {
    std::vector<char> buf(4096);
    for (;;) {
        if (::getcwd(buf.data(), buf.size()))
            return buf.data();
        if (errno != ERANGE || buf.size() > (1u << 20))
            return {};
        buf.resize(buf.size() * 2);
    }
}

std::string iniInCurrentDirectory() {
    auto dir = currentDirectory();
    if (dir.empty())
        return kIniName;
    if (dir.back() != '/')
        dir += '/';
    return dir + kIniName;
}

void makeDirectories(const std::string& dir) {
    for (std::size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos == dir.size() || dir[pos] == '/')
            ::mkdir(dir.substr(0, pos).c_str(), 0700);
    }
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        auto n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

TProfile* gProfile = nullptr;

} // namespace

const char* systemEnv(const char* name) {
    return std::getenv(name);
}

std::string homeDirectoryFile(const TEnvLookup& env) {
    std::string base;
    const char* xdg = env ? env("XDG_CONFIG_HOME") : nullptr;
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = env ? env("HOME") : nullptr;
        if (!home || !home[0])
            return {};
        base = std::string(home) + "/.config";
    }
    return base + "/telvor/home";
}

std::string homeDirectory(const TEnvLookup& env) {
    const auto file = homeDirectoryFile(env);
    if (file.empty())
        return {};
    std::string text;
    if (readWholeFile(file, text) == TReadResult::Ok) {
        std::string dir = text.substr(0, text.find_first_of("\r\n"));
        struct stat st {};
        if (!dir.empty() && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            return dir;
    }
    std::string dir = file.substr(0, file.rfind('/'));
    makeDirectories(dir);
    return dir;
}

std::string documentsFromUserDirs(std::string_view text, std::string_view home) {
    constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=";
    std::string found;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.remove_suffix(1);
        if (line.substr(0, kKey.size()) != kKey)
            continue;
        std::string_view value = line.substr(kKey.size());
        if (value.size() < 2 || value.front() != '"' || value.back() != '"')
            continue;
        value = value.substr(1, value.size() - 2);
        if (value.substr(0, 5) == "$HOME" && (value.size() == 5 || value[5] == '/'))
            found = std::string(home) + std::string(value.substr(5));
        else if (!value.empty() && value.front() == '/')
            found = std::string(value);
    }
    while (found.size() > 1 && found.back() == '/')
        found.pop_back();
    std::string_view bare = home;
    while (bare.size() > 1 && bare.back() == '/')
        bare.remove_suffix(1);
    return found == bare ? std::string() : found;
}

std::string dataDirectory(const TEnvLookup& env) {
    const char* home = env ? env("HOME") : nullptr;
    const char* given = env ? env("XDG_DOCUMENTS_DIR") : nullptr;
    std::string documents = given && given[0] == '/' ? given : "";
    if (documents.empty() && home && home[0]) {
        const char* xdg = env("XDG_CONFIG_HOME");
        const std::string config = xdg && xdg[0] == '/' ? xdg : std::string(home) + "/.config";
        std::string text;
        if (readWholeFile(config + "/user-dirs.dirs", text) == TReadResult::Ok)
            documents = documentsFromUserDirs(text, home);
        if (documents.empty())
            documents = std::string(home) + "/Documents";
    }
    if (documents.empty())
        return {};
    const std::string dir = documents + "/Telvor";
    makeDirectories(dir);
    return dir;
}

std::string dataFolder(const TProfile& profile, const TStrKey& key, const TEnvLookup& env) {
    std::string chosen = profile.read(key);
    return chosen.empty() ? dataDirectory(env) : chosen;
}

std::string enterHomeDirectory(const std::string& chosen, const TEnvLookup& env) {
    const std::string dir = chosen.empty() ? homeDirectory(env) : chosen;
    if (!dir.empty())
        (void)::chdir(dir.c_str());
    return iniInCurrentDirectory();
}

bool writeFileAtomically(const std::string& path, std::string_view content) {
    // Through a symbolic link, replace the file it points at and keep the link.
    std::string target = path;
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    auto slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);

    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = target + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(attempt);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0)
        (void)::fchmod(fd, old.st_mode & 07777);
    bool ok = writeAll(fd, content) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

TProfile::TProfile(std::string fileName) : fileName_(std::move(fileName)) {}

TProfile TProfile::overText(std::string& text) {
    TProfile p("");
    p.text_ = &text;
    return p;
}

std::optional<std::string> TProfile::find(std::string_view section, std::string_view key) const {
    if (text_)
        return lookup(*text_, section, key);
    std::string text;
    if (readWholeFile(fileName_, text) != TReadResult::Ok)
        return std::nullopt;
    return lookup(text, section, key);
}

std::string TProfile::readString(std::string_view section, std::string_view key,
                                 std::string_view def) const {
    auto value = find(section, key);
    return value ? *value : std::string(def);
}

int TProfile::readInteger(std::string_view section, std::string_view key, int def) const {
    auto value = find(section, key);
    if (!value)
        return def;
    return leadingInteger(*value).value_or(def);
}

bool TProfile::readBool(std::string_view section, std::string_view key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

double TProfile::readFloat(std::string_view section, std::string_view key, double def) const {
    auto value = find(section, key);
    if (!value)
        return def;
    return parseNumber(*value).value_or(def);
}

bool TProfile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    section = trim(section);
    key = trim(key);
    if (section.empty() || key.empty() || hasLineBreak(section) || hasLineBreak(key) ||
        hasLineBreak(value) || section.find(']') != std::string_view::npos ||
        key.find('=') != std::string_view::npos || key.front() == '[')
        return false;

    std::string fileText;
    if (!text_ && readWholeFile(fileName_, fileText) == TReadResult::Failed)
        return false; // never replace a file we could not read
    const std::string& text = text_ ? *text_ : fileText;
    auto lines = splitLines(text);
    const char* eol = !lines.empty() && lines[0].hasNewline && !lines[0].body.empty() &&
                              lines[0].body.back() == '\r'
                          ? "\r\n"
                          : "\n";

    // The line a read would find, else the last non-blank line of the first matching section.
    std::optional<std::size_t> keyLine, insertAfter;
    bool inSection = false, firstSectionDone = false;
    for (std::size_t i = 0; i < lines.size() && !keyLine; ++i) {
        auto parsed = parseLine(lines[i].body);
        if (parsed.kind == TLineKind::Section) {
            if (insertAfter)
                firstSectionDone = true;
            inSection = equalNoCase(parsed.name, section);
            if (inSection && !insertAfter)
                insertAfter = i;
            continue;
        }
        if (!inSection)
            continue;
        if (parsed.kind == TLineKind::Key && equalNoCase(parsed.name, key))
            keyLine = i;
        else if (!firstSectionDone && !trim(lines[i].body).empty())
            insertAfter = i;
    }

    std::string out;
    out.reserve(text.size() + key.size() + value.size() + section.size() + 16);
    auto appendLine = [&](const TLine& line) {
        out.append(line.body);
        if (line.hasNewline)
            out += '\n';
    };
    if (keyLine) {
        const auto& old = lines[*keyLine];
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i != *keyLine) {
                appendLine(lines[i]);
                continue;
            }
            out.append(parseLine(old.body).name).append("=").append(value);
            if (old.body.back() == '\r')
                out += '\r';
            if (old.hasNewline)
                out += '\n';
        }
    } else if (insertAfter) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            appendLine(lines[i]);
            if (i == *insertAfter) {
                if (!lines[i].hasNewline)
                    out += eol;
                out.append(key).append("=").append(value).append(eol);
            }
        }
    } else {
        out = text;
        if (!out.empty() && out.back() != '\n')
            out += eol;
        if (!lines.empty() && !trim(lines.back().body).empty())
            out += eol; // a blank line between sections
        out.append("[").append(section).append("]").append(eol);
        out.append(key).append("=").append(value).append(eol);
    }
    if (text_) {
        *text_ = std::move(out);
        return true;
    }
    return writeFileAtomically(fileName_, out);
}

bool TProfile::writeInteger(std::string_view section, std::string_view key, int value) {
    return writeString(section, key, std::to_string(value));
}

bool TProfile::writeBool(std::string_view section, std::string_view key, bool value) {
    return writeString(section, key, value ? "1" : "0");
}

bool TProfile::writeFloat(std::string_view section, std::string_view key, double value) {
    if (!std::isfinite(value))
        return false;
    return writeString(section, key, formatFloat(value));
}

std::string formatFloat(double value) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general);
    return ec == std::errc() ? std::string(buf, end) : std::string("0");
}

TProfile& profile() {
    if (gProfile)
        return *gProfile;
    static TProfile fallback(iniInCurrentDirectory());
    return fallback;
}

void setProfile(TProfile* profile) {
    gProfile = profile;
}

} // namespace telvor
