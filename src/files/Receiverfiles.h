#pragma once
// The rules of the receiver's files that the File Manager and telvor-cli share: the list with
// the memory figures, the current log file, removal with a second consent for the file being
// recorded, the low-power wake around downloads, which links count as fast, one download into
// a computer file, and the receiver's side of starting and stopping a recording.
#include "files/Receiverlist.h"
#include "files/Transferprotocol.h"
#include "protocol/Commtools.h"

#include <functional>
#include <string>
#include <vector>

namespace telvor {

class TProfile;

inline constexpr const char* kTotalMemoryPath = "/par/dev/blk/a/size";
inline constexpr const char* kFreeMemoryPath = "/par/dev/blk/a/free";
inline constexpr const char* kNoAnswerText = "Receiver does not answer";

// Brings the dialogue into step before an exchange about files; false: kNoAnswerText.
bool synchroniseFiles();

// "Total memory: <n> bytes" and "Free memory: <n> bytes"; "<unknown>" stands for no answer.
std::string totalMemoryText();
std::string freeMemoryText();

struct TFileListing {
    bool answered = false; // false: the receiver did not answer at all
    std::string total;     // totalMemoryText()
    std::string free;      // freeMemoryText()
    std::string error;     // the list could not be read: why
    // What the status line says: kNoAnswerText, the error, "File list is empty", or nothing.
    std::string status;
    // Files to download or delete are there.
    bool usable = false;
};

// Refresh: step in, the memory figures, then the list into `list` (in its sort order).
TFileListing readFileList(TFileListView& list);

// What the receiver records into: `reply` None when it did not answer, ER when it refused;
// `name` without the "/log/" folder, empty when nothing is recorded.
struct TCurrentLog {
    TReply reply = TReply::None;
    std::string name;
};
TCurrentLog currentLogFile();

// "%%remove,"/log/<name>""; true on "RE".
bool removeFile(const std::string& name, int timeoutMs = 2000);

struct TRemoval {
    std::string error;             // "Can't delete <name>" of the file that stopped it
    std::vector<std::string> kept; // the file being recorded, when its removal was declined
};
// Removes `names` in order and stops at the first that fails. The file being recorded goes
// only when `removeCurrent` (asked with its name) agrees.
TRemoval removeFiles(const std::vector<std::string>& names,
                     const std::function<bool(const std::string&)>& removeCurrent);

// A receiver in low-power mode is woken for downloads and put back to sleep afterwards.
class TLowPowerWake {
public:
    void wake();
    void restore();

private:
    bool wasOn_ = false;
};

// A separate port as the source, a parallel, USB or Ethernet link, or one faster than 115200
// bit/s: the target is written without write-through and the block counter thinned out.
bool isFastLink(bool separatePort);

struct TFileDownload {
    bool ok = false;
    bool opened = false;      // false: the target could not be opened (`error` says why)
    bool transferred = false; // blocks came (false with `ok`: nothing was left to download)
    std::string error;
    std::string fileName; // the target's full path
};

// One run of downloads: the receiver woken at begin() and put back at end(), one fast-link
// decision for all files.
class TDownloadQueue {
public:
    TDownloadQueue(TTransferProtocol& transfer, bool separatePort);
    void begin();
    void end();
    bool fast() const { return fast_; }
    // Downloads the receiver's `name` into `target`. An existing target is appended to when
    // `append` (asked through `ask` when given). `started` runs once the target is open. A
    // target this call created is removed again when not a byte arrived.
    TFileDownload download(const std::string& name, const std::string& target, bool append,
                           TFileQuestions* ask, const std::function<void()>& started = {});

private:
    TTransferProtocol& transfer_;
    bool fast_;
    TLowPowerWake wake_;
};

// The elevation mask for files; "" or "Error write elevation mask for files".
std::string setFileElevationMask(const std::string& mask);

// The receiver's side of starting a recording once the caller's checks passed: an old file of
// that name removed when `replace`, the new file created, the messages enabled every
// `interval` seconds, then the site parameters when "Site"/"AutoSend" is on. `progress` gets
// the texts of the steps. "" when recording runs, else the failure text; `siteError` tells a
// site record the receiver did not take (recording runs anyway).
std::string startRecording(const std::string& name, const std::string& interval, bool replace,
                           const TProfile& profile,
                           const std::function<void(const std::string&)>& progress,
                           std::string& siteError);

// Stops recording: "" or kNoAnswerText / "Can't stop logging".
std::string stopRecording();

} // namespace telvor
