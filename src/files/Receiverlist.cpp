#include "files/Receiverlist.h"

#include "protocol/Commtools.h"
#include "protocol/Link.h"
#include "protocol/Numbers.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace telvor {
namespace {

constexpr int kCommandMs = 2000;

std::int64_t number(const std::string& text) {
    return parseInteger(text).value_or(0);
}

// <0, 0, >0 as the column orders two entries.
int compare(const TFileEntry& a, const TFileEntry& b, int column) {
    switch (column) {
    case 1:
        return std::strcoll(a.caption.c_str(), b.caption.c_str());
    case 2:
        return std::strcoll(a.name.c_str(), b.name.c_str());
    case 3: {
        std::int64_t x = number(a.size), y = number(b.size);
        return x < y ? -1 : x > y;
    }
    default:
        return a.time < b.time ? -1 : a.time > b.time;
    }
}

} // namespace

std::string TFileListView::Fill() {
    entries.clear();
    if (CurrentConnection)
        CurrentConnection->Input.Clear();
    if (SendAndWait("%%print,/par/dev/blk/a/files", kCommandMs) != TReply::RE)
        return "Can't query number of files";
    const std::string count = ReplyText(7);
    long long n = 0;
    std::from_chars(count.data(), count.data() + count.size(), n);
    if (n > 0 && !SendLine("%%print,/log/&[name,size,time]"))
        return "No reply with the next file";
    for (long long i = 0; i < n; ++i) {
        if (!AwaitReply("RE", kCommandMs))
            return "No reply with the next file";
        std::string text = ReplyText(7);
        if (CurrentConnection) {
            if (int length = CurrentConnection->Input.FrontMessage())
                CurrentConnection->Input.Consume(length);
        }
        TFileEntry entry;
        if (!ParseFileListElement(text, entry))
            return "Incorrect reply with file list";
        entries.push_back(std::move(entry));
    }
    Sort();
    return "";
}

void TFileListView::Sort() {
    const int column = std::clamp(sortKey < 0 ? -sortKey : sortKey, 1, 5);
    const bool descending = sortKey < 0;
    std::stable_sort(entries.begin(), entries.end(), [&](const auto& a, const auto& b) {
        int c = compare(a, b, column);
        return descending ? c > 0 : c < 0;
    });
}

void TFileListView::ColumnClick(int column) {
    if (column == sortKey || column == -sortKey)
        sortKey = -sortKey;
    else
        sortKey = sortKey > 0 ? column : -column;
    Sort();
}

void TFileListView::SetTargetName(std::size_t index, const std::string& edited) {
    if (index < entries.size())
        entries[index].caption = TargetName(edited, entries[index].name);
}

} // namespace telvor
