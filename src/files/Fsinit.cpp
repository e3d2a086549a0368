#include "files/Fsinit.h"

#include "config/Binding.h"
#include "config/Listnotation.h"
#include "info/Reportfile.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "protocol/Numbers.h"

#include <climits>
#include <cstdio>
#include <string_view>

namespace telvor {
namespace {

constexpr int kReplyWaitMs = 2000;

int numberOr(const std::string& text, int fallback) {
    return static_cast<int>(parseInteger(text, INT_MIN, INT_MAX).value_or(fallback));
}

std::string fill(const char* format, const std::string& value) {
    std::string out(format);
    const auto at = out.find("%s");
    return out.replace(at, 2, value);
}

} // namespace

bool parseFsInitProgress(const std::string& value, int& total, int& position) {
    if (value.size() < 2 || value.front() != '{' || value.back() != '}')
        return false;
    const auto items = SplitItems(std::string_view(value).substr(1, value.size() - 2));
    if (items.size() != 2)
        return false;
    total = numberOr(TrimText(items[0]), 100);
    position = numberOr(TrimText(items[1]), 0);
    return true;
}

std::vector<std::string> fileSystemReport(TParamSource& source) {
    const TMemoryBlocks blocks = readMemoryBlocks(source);
    return {
        "----------- File System Information -----------",
        "Version:\t\t" + source.value("/par/dev/blk/a/ver"),
        "Block size:\t" + source.value("/par/dev/blk/a/block_size") + " bytes",
        "Blocks:\t\t" + source.value("/par/dev/blk/a/blocks"),
        "Total memory:\t" + source.value("/par/dev/blk/a/size") + " bytes",
        "Free  memory:\t" + source.value("/par/dev/blk/a/free") + " bytes",
        "Bad blocks:\t" + source.value("/par/dev/blk/a/bad_blocks"),
        "Write verify:\t" + source.value("/par/dev/blk/a/verify"),
        "-------- Physical Memory Information --------",
        "Block size:\t" + blocks.blockSize + " bytes",
        "Blocks for files:\t" + blocks.blocks,
        "Physical memory:\t" + blocks.physical + " bytes",
    };
}

std::string fileSystemReportFile(TParamSource& source) {
    std::string out = "===================== File System Information ==================\n";
    const std::pair<const char*, const char*> fs[] = {
        {"Version:                %s\n", "/par/dev/blk/a/ver"},
        {"Block size:             %s\n", "/par/dev/blk/a/block_size"},
        {"Blocks:                 %s\n", "/par/dev/blk/a/blocks"},
        {"Total memory:           %s\n", "/par/dev/blk/a/size"},
        {"Free  memory:           %s\n", "/par/dev/blk/a/free"},
        {"Bad blocks:             %s\n", "/par/dev/blk/a/bad_blocks"},
        {"Write verify:           %s\n", "/par/dev/blk/a/verify"},
    };
    for (const auto& [format, path] : fs)
        out += fill(format, source.value(path));
    const TMemoryBlocks blocks = readMemoryBlocks(source);
    out += "\n=================== Physical Memory Information ================\n";
    out += fill("Block size:             %s\n", blocks.blockSize);
    out += fill("Blocks for files:       %s\n", blocks.blocks);
    out += fill("Physical memory:        %s\n", blocks.physical);
    out += "\n=================== Read/Write Information =====================\n";
    std::string rw;
    if (SendAndWait("%%print,stat/rw", kReplyWaitMs) == TReply::RE)
        rw = CollectReply();
    const std::string reads = ListElement(rw, 1, 1), writes = ListElement(rw, 1, 2);
    const char* readLines[] = {"Reading number:         %s\n", "Reading errors:         %s\n",
                               "Reading fatal errors:   %s\n"};
    const char* writeLines[] = {"Writing number:         %s\n", "Writing errors:         %s\n",
                                "Writing fatal errors:   %s\n"};
    for (int i = 0; i < 3; ++i)
        out += fill(readLines[i], ListElement(reads, 1, i + 1));
    for (int i = 0; i < 3; ++i)
        out += fill(writeLines[i], ListElement(writes, 1, i + 1));
    return out;
}

bool TFsInit::start() {
    finished_ = false;
    view_.showStartControls(false);
    view_.setWaitText("Please, wait!");
    const TReply reply = SendAndWait("%%init,/dev/blk/a", kReplyWaitMs);
    view_.showOk(true, "OK", true);
    if (reply != TReply::RE) {
        view_.setWaitText("");
        view_.setWarning(reply == TReply::ER ? "Receiver refused to start.\nPress OK to exit."
                                             : "Receiver didn't answer to the command.\nPress "
                                               "OK to exit.");
        finished_ = true;
        return false;
    }
    SetInputMode(TInputMode::Idle);
    view_.showOk(true, "Exit", true);
    view_.setProgress(-1, 0);
    stopRequested_ = false;
    while (!stopRequested_) {
        view_.wait(pollPauseMs_);
        if (stopRequested_)
            break;
        int total = 0, position = 0;
        if (parseFsInitProgress(PrintParameter("stat/fsinit", "{100,0}", kReplyWaitMs), total,
                                position)) {
            view_.setProgress(total, position);
            if (total != 0 && position == total)
                break;
        } else {
            view_.setProgress(-1, 0);
        }
    }
    view_.showOk(true, "OK", true);
    view_.fillProgress();
    view_.setWaitText("Finished! Query file system information.");
    finished_ = true;
    if (stopRequested_)
        return true;
    view_.wait(1000);
    view_.showReportArea();
    refresh();
    view_.setStatus("Ready!");
    return true;
}

void TFsInit::refresh() {
    TReceiverSource source;
    view_.setReport(fileSystemReport(source));
}

bool TFsInit::save(const std::string& path, const std::string& headerLines) {
    if (path.empty())
        return false;
    TReceiverSource source;
    const std::string text = headerLines + fileSystemReportFile(source);
    if (!writeTextFile(path, text)) {
        view_.setStatus("Unable to create " + path);
        return false;
    }
    view_.setStatus("Saved to " + path);
    return true;
}

} // namespace telvor
