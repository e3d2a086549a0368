#include "files/Filemanager.h"

#include "files/Receiverfiles.h"
#include "links/Parallelconnection.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "protocol/Link.h"
#include "settings/Profile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace telvor {
namespace {

constexpr int kCommandMs = 2000;
const char* const kDeleteTitle = "Deleting files from receiver";

} // namespace

TFileManager::TFileManager(TFileManagerView& view, TProfile& profile)
    : view_(view), profile_(profile), transfer_(view, profile) {}

void TFileManager::open() {
    const std::string saved = profile_.read(keys::LoadFileOutputPath);
    std::error_code ec;
    outputPath =
        !saved.empty() && std::filesystem::is_directory(saved, ec) ? saved : dataDirectory();
    if (outputPath.empty())
        outputPath = std::filesystem::current_path(ec).string();
    printVisible = profile_.read(keys::LoadFileDownloadViaPrint);
    blockSizeIndex = std::clamp(profile_.read(keys::LoadFileBlockSize), 0, 2);
    exclusiveUsed_ = false;
    if (commState().connectionMode.load() == cmInternetClient) {
        sources = {"Current connection"};
        exclusive = false;
        exclusiveEnabled = false;
    } else {
        sources = {"Current port (" + profile_.read(keys::CommPort) + ")"};
        exclusive = profile_.read(keys::LoadFileExclusiveMode);
        exclusiveEnabled = true;
        std::vector<std::string> ports;
        ListParallelPorts(ports);
        std::sort(ports.begin(), ports.end());
        sources.insert(sources.end(), ports.begin(), ports.end());
    }
    const int stored = profile_.read(keys::LoadFileSourcePort);
    setSource(stored >= 0 && stored < static_cast<int>(sources.size()) ? stored : 0);
    setViaPrint(false);
    view_.enableControl(TFileControl::Source, sources.size() > 1);
    view_.enableControl(TFileControl::Exclusive, exclusiveEnabled);
    refresh();
}

bool TFileManager::close() {
    if (running_)
        return false;
    profile_.write(keys::LoadFileOutputPath, outputPath);
    profile_.write(keys::LoadFileSourcePort, sourceIndex);
    profile_.write(keys::LoadFileBlockSize, blockSizeIndex);
    if (exclusiveEnabled)
        profile_.write(keys::LoadFileExclusiveMode, exclusive);
    return true;
}

void TFileManager::refresh(bool byUser) {
    view_.stopLogTimer();
    if (!refreshList())
        return;
    // An Internet Client link has no timer for the log page: the button is its refresh.
    if (byUser && commState().connectionMode.load() == cmInternetClient)
        view_.refreshLogPage();
    const TReceiverConnection* link = CurrentConnection;
    if (view_.logPageShown() && link && link->Kind != kLinkInternetClient)
        view_.startLogTimer();
}

bool TFileManager::refreshList() {
    view_.setStatus("");
    const TFileListing listing = readFileList(list_);
    view_.setStatus(listing.status);
    view_.enableControl(TFileControl::Download, listing.usable);
    view_.enableControl(TFileControl::Delete, listing.usable);
    if (!listing.answered)
        return false;
    view_.setTotal(listing.total);
    view_.setFree(listing.free);
    if (listing.usable && list_.entries.size() == 1)
        list_.entries[0].selected = true;
    view_.showRows();
    return true;
}

void TFileManager::setSource(int index) {
    sourceIndex = index > 0 && index < static_cast<int>(sources.size()) ? index : 0;
    transfer_.ClosePort();
    transfer_.SetPortName(sourceIndex > 0 ? sources[static_cast<std::size_t>(sourceIndex)] : "");
}

void TFileManager::setViaPrint(bool on) {
    transfer_.SetViaPrint(on && printVisible);
}

void TFileManager::select(std::size_t row, bool on) {
    if (row < list_.entries.size())
        list_.entries[row].selected = on;
}

void TFileManager::renameTarget(std::size_t row, const std::string& text) {
    if (!running_)
        list_.SetTargetName(row, text);
}

void TFileManager::enableIdleControls(bool on) {
    for (TFileControl c : {TFileControl::Exit, TFileControl::Refresh, TFileControl::Delete,
                           TFileControl::BlockSize, TFileControl::PopupItems})
        view_.enableControl(c, on);
    view_.enableControl(TFileControl::Exclusive, on && exclusiveEnabled);
    view_.enableControl(TFileControl::Source, on && sources.size() > 1);
}

void TFileManager::downloadClick() {
    if (running_) {
        transfer_.RequestAbort();
        view_.enableStop(false);
        return;
    }
    view_.setProgress(-1);
    view_.setStatus("");
    bool any = false;
    for (TFileEntry& e : list_.entries) {
        e.state = e.selected ? 0 : -1;
        any = any || e.selected;
        e.selected = false;
    }
    view_.showRows();
    if (!any) {
        view_.setStatus("Select files to download");
        view_.focusList();
        return;
    }
    TDownloadQueue queue(transfer_, sourceIndex > 0);
    queue.begin();
    if (exclusive) {
        SendAndWait("%%set,/par/lock/all,off", kCommandMs);
        exclusiveUsed_ = true;
    }
    running_ = true;
    enableIdleControls(false);
    view_.setDownloadCaption("&Stop");
    view_.enableStop(false); // the transfer enables it once the receiver has the request
    transfer_.SetBlockSizeIndex(blockSizeIndex);

    for (;;) {
        auto next = std::find_if(list_.entries.begin(), list_.entries.end(),
                                 [](const TFileEntry& e) { return e.state == 0; });
        if (next == list_.entries.end())
            break;
        const std::string target = (std::filesystem::path(outputPath) / next->caption).string();
        const std::string name = next->name;
        TFileEntry& item = *next;
        const TFileDownload done = queue.download(name, target, true, view_.fileQuestions(), [&] {
            item.state = 1;
            view_.showRows();
        });
        if (!done.opened) {
            view_.setStatus(done.error);
            break;
        }
        const bool ok = done.ok;
        if (ok)
            lastDownloaded_ = target;
        // The list may have been sorted meanwhile: find the item again by its name.
        for (TFileEntry& e : list_.entries)
            if (e.name == name && e.state == 1)
                e.state = ok ? 2 : 1;
        view_.showRows();
        if (!ok)
            break;
    }

    for (TFileEntry& e : list_.entries)
        if (e.state == 0 || e.state == 1)
            e.selected = true;
    queue.end();
    if (exclusive)
        exclusiveUsed_ = true;
    running_ = false;
    enableIdleControls(true);
    view_.enableControl(TFileControl::Download, true);
    view_.setDownloadCaption("&Download");
    profile_.write(keys::LoadFileDoubleCheck, sourceIndex > 0);
    view_.showRows();
}

bool TFileManager::replayClick() {
    for (const TFileEntry& e : list_.entries) {
        const std::filesystem::path local = std::filesystem::path(outputPath) / e.caption;
        std::error_code ignored;
        if (e.selected && std::filesystem::is_regular_file(local, ignored)) {
            replayPath_ = local.string();
            return true;
        }
    }
    if (lastDownloaded_.empty()) {
        view_.setStatus("Download the file first");
        return false;
    }
    replayPath_ = lastDownloaded_;
    return true;
}

void TFileManager::deleteClick() {
    std::vector<std::string> names;
    for (const TFileEntry& e : list_.entries)
        if (e.selected)
            names.push_back(e.name);
    if (names.empty())
        return;
    char question[128];
    std::snprintf(question, sizeof question,
                  "Do you really want to delete %d file%s from the receiver?",
                  static_cast<int>(names.size()), names.size() == 1 ? "" : "s");
    if (!view_.askYesNo(kDeleteTitle, question))
        return;
    view_.stopLogTimer();
    if (!synchroniseFiles()) {
        view_.setStatus(kNoAnswerText);
        return;
    }
    view_.enableControl(TFileControl::Delete, false);
    const TRemoval removal = removeFiles(names, [this](const std::string& name) {
        return view_.askYesNo(kDeleteTitle, "'" + name +
                                                "' is the current log file.\nDo you really "
                                                "want to delete it?");
    });
    view_.enableControl(TFileControl::Delete, true);
    refresh();
    // The refresh clears the status; a failed deletion must still be seen.
    if (!removal.error.empty())
        view_.setStatus(removal.error);
}

} // namespace telvor
