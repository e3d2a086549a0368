#include "files/Receiverfiles.h"

#include "config/Siteparams.h"
#include "protocol/Bridge.h"
#include "protocol/Link.h"
#include "protocol/Tick.h"
#include "settings/Profile.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace telvor {
namespace {

constexpr int kCommandMs = 2000;
constexpr int kRemoveOldMs = 5000;
constexpr int kSiteSettleMs = 500;

std::string memoryText(const char* label, const char* path) {
    return std::string(label) + PrintParameter(path, "<unknown>", kCommandMs) + " bytes";
}

// Keeps the interface alive while the receiver takes the site records in.
void settle(int ms) {
    const std::uint32_t start = tickCount();
    while (ticksSince(start) < static_cast<std::uint32_t>(ms)) {
        uiBridge().processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

bool synchroniseFiles() {
    return Synchronise(25);
}

std::string totalMemoryText() {
    return memoryText("Total memory: ", kTotalMemoryPath);
}

std::string freeMemoryText() {
    return memoryText("Free memory: ", kFreeMemoryPath);
}

TFileListing readFileList(TFileListView& list) {
    TFileListing listing;
    if (!synchroniseFiles()) {
        listing.status = kNoAnswerText;
        return listing;
    }
    listing.answered = true;
    listing.total = totalMemoryText();
    listing.free = freeMemoryText();
    listing.error = list.Fill();
    listing.status = !listing.error.empty() ? listing.error
                     : list.entries.empty() ? "File list is empty"
                                            : "";
    listing.usable = listing.status.empty();
    return listing;
}

TCurrentLog currentLogFile() {
    TCurrentLog log;
    log.reply = SendAndWait("%%print,/cur/log", kCommandMs);
    if (log.reply == TReply::RE) {
        log.name = ReplyText(7);
        if (log.name.rfind("/log/", 0) == 0)
            log.name.erase(0, 5);
    }
    return log;
}

bool removeFile(const std::string& name, int timeoutMs) {
    return SendAndWait("%%remove,\"/log/" + name + "\"", timeoutMs) == TReply::RE;
}

TRemoval removeFiles(const std::vector<std::string>& names,
                     const std::function<bool(const std::string&)>& removeCurrent) {
    TRemoval result;
    const std::string current = currentLogFile().name;
    for (const std::string& name : names) {
        if (!current.empty() && name == current && !removeCurrent(name)) {
            result.kept.push_back(name);
            continue;
        }
        if (!removeFile(name)) {
            result.error = "Can't delete " + name;
            break;
        }
    }
    return result;
}

void TLowPowerWake::wake() {
    wasOn_ = PrintParameter("/par/lpm", "off", kCommandMs) == "on";
    if (wasOn_)
        SendAndWait("%%set,/par/lpm,off", kCommandMs);
}

void TLowPowerWake::restore() {
    if (wasOn_ && CurrentConnection)
        SendAndWait("%%set,/par/lpm,on", kCommandMs);
    wasOn_ = false;
}

bool isFastLink(bool separatePort) {
    const TReceiverConnection* link = CurrentConnection;
    if (separatePort)
        return true;
    return link && (link->Kind == kLinkParallel || link->Kind == kLinkUsb ||
                    link->Kind == kLinkEthernet || link->Speed.load() > 115200);
}

TDownloadQueue::TDownloadQueue(TTransferProtocol& transfer, bool separatePort)
    : transfer_(transfer), fast_(isFastLink(separatePort)) {}

void TDownloadQueue::begin() {
    wake_.wake();
}

void TDownloadQueue::end() {
    wake_.restore();
}

TFileDownload TDownloadQueue::download(const std::string& name, const std::string& target,
                                       bool append, TFileQuestions* ask,
                                       const std::function<void()>& started) {
    TFileDownload result;
    std::error_code ec;
    const bool existed = std::filesystem::exists(target, ec);
    FileAccess access(target, false, fast_, append, ask);
    result.fileName = access.fileName;
    if (!access.isOpen()) {
        result.error = access.errorText;
        return result;
    }
    result.opened = true;
    if (started)
        started();
    result.ok = transfer_.Download(access, name, fast_);
    result.transferred = transfer_.blockCount > 0;
    if (result.ok)
        return result;
    result.error = transfer_.errorText;
    // A file that never got a byte (missing on the receiver) leaves nothing behind.
    if (!existed && !result.transferred && access.initialSize == 0)
        std::filesystem::remove(target, ec);
    return result;
}

std::string setFileElevationMask(const std::string& mask) {
    if (SendAndWait("%%set,/par/out/elm/cur/log," + mask, kCommandMs) != TReply::RE)
        return "Error write elevation mask for files";
    return "";
}

std::string startRecording(const std::string& name, const std::string& interval, bool replace,
                           const TProfile& profile,
                           const std::function<void(const std::string&)>& progress,
                           std::string& siteError) {
    siteError.clear();
    if (replace) {
        progress(" Deleting old file...");
        if (!removeFile(name, kRemoveOldMs))
            return "Unable to delete file";
    }
    progress("Creating new file...");
    if (SendAndWait("%%create,\"/log/" + name + "\"", kCommandMs) != TReply::RE)
        return "Unable to create file";
    progress("Starting data collection...");
    if (SendAndWait("%%em,/cur/log,/msg/def:" + interval, kCommandMs) != TReply::RE)
        return "Unable to start collection";
    if (profile.read(keys::SiteAutoSend)) {
        progress("Sending site parameters...");
        siteError = SendSiteParams(LoadSiteParams(profile));
        settle(kSiteSettleMs);
    }
    return "";
}

std::string stopRecording() {
    if (!synchroniseFiles())
        return kNoAnswerText;
    if (SendAndWait("%%dm,/cur/log", kCommandMs) != TReply::RE)
        return "Can't stop logging";
    return "";
}

} // namespace telvor
