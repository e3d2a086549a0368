#pragma once
// Key-by-key access to telvor.ini with the classic INI rules, so a settings file carried over
// from the Windows program keeps working. No cache: every read parses the file again and
// every write replaces it at once (written beside it, synced, then renamed over it).
// Standard library and POSIX only, so the INI fuzzer can build it without Qt.
#include "settings/Settingskeys.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace telvor {

// Environment lookup (getenv-like); tests pass their own.
using TEnvLookup = std::function<const char*(const char*)>;
const char* systemEnv(const char* name);

// $XDG_CONFIG_HOME/telvor/home, else ~/.config/telvor/home; empty when neither is known.
// Its first line names the home folder the user chose.
std::string homeDirectoryFile(const TEnvLookup& env);

// The folder of telvor.ini when no other is given: the folder the home file names when it
// exists, else $XDG_CONFIG_HOME/telvor (~/.config/telvor), created when missing. Empty when
// neither is known. The desktop program and telvor-cli share it.
std::string homeDirectory(const TEnvLookup& env);

// Start of the desktop program: `chosen` (--settings), else homeDirectory(), becomes the
// current directory, so that the log and relative names land beside the settings. Returns
// the full path of telvor.ini there (in the current directory when no home is known).
std::string enterHomeDirectory(const std::string& chosen, const TEnvLookup& env = systemEnv);

// Replaces `path` with `content` so that readers see either the old or the whole new file:
// a temporary file in the same folder, fsync, rename. False (old file untouched) on failure.
bool writeFileAtomically(const std::string& path, std::string_view content);

class TProfile {
public:
    // A settings file at a given path (see enterHomeDirectory for the program's own).
    explicit TProfile(std::string fileName);

    const std::string& fileName() const { return fileName_; }
    // The same rules over a text held by the caller instead of a file (no I/O; the INI fuzzer
    // uses it). `text` must outlive the store.
    static TProfile overText(std::string& text);

    static constexpr std::size_t kMaxValueLength = 1023;

    // Reads: the default when the file, section or key is missing.
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    // Optional sign and decimal digits (anything after them is ignored); default when the
    // value does not start with a number or does not fit an int.
    int readInteger(std::string_view section, std::string_view key, int def) const;
    // Any non-zero integer is true.
    bool readBool(std::string_view section, std::string_view key, bool def) const;
    // The whole value as a decimal number ("." separator); default otherwise.
    double readFloat(std::string_view section, std::string_view key, double def) const;

    // Writes: true when the file was replaced. Names must be non-empty after trimming, a
    // section must not hold "]", a key must not hold "=" or start with "[", and no text may
    // hold a line break; such writes and non-finite floats are refused (false).
    bool writeString(std::string_view section, std::string_view key, std::string_view value);
    bool writeInteger(std::string_view section, std::string_view key, int value);
    bool writeBool(std::string_view section, std::string_view key, bool value);
    bool writeFloat(std::string_view section, std::string_view key, double value);

    // Typed access through the constants of Settingskeys.h.
    std::string read(const TStrKey& k) const { return readString(k.section, k.name, k.def); }
    int read(const TIntKey& k) const { return readInteger(k.section, k.name, k.def); }
    bool read(const TBoolKey& k) const { return readBool(k.section, k.name, k.def); }
    double read(const TFloatKey& k) const { return readFloat(k.section, k.name, k.def); }
    // For keys whose default is computed by the caller (window geometry and the like).
    std::string read(const TStrKey& k, std::string_view def) const {
        return readString(k.section, k.name, def);
    }
    int read(const TIntKey& k, int def) const { return readInteger(k.section, k.name, def); }
    double read(const TFloatKey& k, double def) const { return readFloat(k.section, k.name, def); }

    bool write(const TStrKey& k, std::string_view v) { return writeString(k.section, k.name, v); }
    bool write(const TIntKey& k, int v) { return writeInteger(k.section, k.name, v); }
    bool write(const TBoolKey& k, bool v) { return writeBool(k.section, k.name, v); }
    bool write(const TFloatKey& k, double v) { return writeFloat(k.section, k.name, v); }

private:
    std::optional<std::string> find(std::string_view section, std::string_view key) const;

    std::string fileName_;
    std::string* text_ = nullptr;
};

// The program-wide store. Until the program installs its own, a store on "telvor.ini" in the
// current directory (no home-directory rule).
TProfile& profile();
void setProfile(TProfile* profile);

// The documents folder that a user-dirs.dirs text names for XDG_DOCUMENTS_DIR, "$HOME"
// replaced by `home`; empty when it names none, or only the home folder itself (which the
// XDG rules read as "no such folder").
std::string documentsFromUserDirs(std::string_view text, std::string_view home);
// The visible folder for the user's data files (downloads, logs, scripts, reports): the XDG
// documents folder ($XDG_DOCUMENTS_DIR, else the one $XDG_CONFIG_HOME/user-dirs.dirs names,
// else ~/Documents) + "/Telvor", created when missing. Empty when no home is known.
std::string dataDirectory(const TEnvLookup& env = systemEnv);
// A folder setting of a window that writes files: the user's stored choice when there is
// one, else dataDirectory().
std::string dataFolder(const TProfile& profile, const TStrKey& key,
                       const TEnvLookup& env = systemEnv);

// Shortest general decimal form, as written by writeFloat ("0.5", "1e+20").
std::string formatFloat(double value);

} // namespace telvor
