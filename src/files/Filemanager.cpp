#include "files/Filemanager.h"

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
    outputPath = !saved.empty() && std::filesystem::is_directory(saved, ec)
                     ? saved
                     : std::filesystem::current_path(ec).string();
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

void TFileManager::refresh() {
    view_.setStatus("");
    if (!Synchronise(25)) {
        view_.setStatus("Receiver does not answer");
        view_.enableControl(TFileControl::Download, false);
        view_.enableControl(TFileControl::Delete, false);
        return;
    }
    view_.setTotal("Total memory: " + PrintParameter("/par/dev/blk/a/size", "<unknown>", 2000) +
                   " bytes");
    view_.setFree("Free memory: " + PrintParameter("/par/dev/blk/a/free", "<unknown>", 2000) +
                  " bytes");
    const std::string error = list_.Fill();
    bool any = error.empty() && !list_.entries.empty();
    if (!error.empty())
        view_.setStatus(error);
    else if (list_.entries.empty())
        view_.setStatus("File list is empty");
    else if (list_.entries.size() == 1)
        list_.entries[0].selected = true;
    view_.enableControl(TFileControl::Download, any);
    view_.enableControl(TFileControl::Delete, any);
    view_.showRows();
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

bool TFileManager::fastLink() const {
    const TReceiverConnection* link = CurrentConnection;
    if (sourceIndex > 0)
        return true;
    return link && (link->Kind == kLinkParallel || link->Kind == kLinkUsb ||
                    link->Kind == kLinkEthernet || link->Speed.load() > 115200);
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
    const bool lowPower = PrintParameter("/par/lpm", "off", kCommandMs) == "on";
    if (lowPower)
        SendAndWait("%%set,/par/lpm,off", kCommandMs);
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
        const bool fast = fastLink();
        FileAccess access(target, false, fast, true, view_.fileQuestions());
        if (!access.isOpen()) {
            view_.setStatus(access.errorText);
            break;
        }
        next->state = 1;
        view_.showRows();
        const std::string name = next->name;
        const bool ok = transfer_.Download(access, name, fast);
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
    if (lowPower)
        SendAndWait("%%set,/par/lpm,on", kCommandMs);
    if (exclusive)
        exclusiveUsed_ = true;
    running_ = false;
    enableIdleControls(true);
    view_.enableControl(TFileControl::Download, true);
    view_.setDownloadCaption("&Download");
    profile_.write(keys::LoadFileDoubleCheck, sourceIndex > 0);
    view_.showRows();
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
    if (!Synchronise(25)) {
        view_.setStatus("Receiver does not answer");
        return;
    }
    view_.enableControl(TFileControl::Delete, false);
    std::string current;
    if (SendAndWait("%%print,/cur/log", kCommandMs) == TReply::RE) {
        current = ReplyText(7);
        if (current.rfind("/log/", 0) == 0)
            current.erase(0, 5);
    }
    for (const std::string& name : names) {
        if (!current.empty() && name == current &&
            !view_.askYesNo(kDeleteTitle, "'" + name +
                                              "' is the current log file.\nDo you really "
                                              "want to delete it?"))
            continue;
        if (SendAndWait("%%remove,\"/log/" + name + "\"", kCommandMs) != TReply::RE) {
            view_.setStatus("Can't delete " + name);
            break;
        }
    }
    view_.enableControl(TFileControl::Delete, true);
    refresh();
}

} // namespace telvor
