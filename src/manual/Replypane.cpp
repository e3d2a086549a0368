// The reply pane's lines under their limit.
#include "manual/Replypane.h"

#include <algorithm>

namespace telvor {

int TReplyPane::clampLimit(int lines) {
    return std::clamp(lines, kMinLines, kMaxLines);
}

TReplyPane::TChange TReplyPane::append(const std::uint8_t* data, std::size_t count) {
    TChange change;
    if (lines_.empty())
        lines_.emplace_back();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = data[i];
        const bool lf = b == '\n';
        if (lf && afterCr_) {
            afterCr_ = false;
            continue;
        }
        afterCr_ = b == '\r';
        if (lf || b == '\r') {
            change.text.push_back('\n');
            lines_.emplace_back();
        } else {
            const char c = b < 0x20 ? '.' : static_cast<char>(b);
            change.text.push_back(c);
            lines_.back().push_back(c);
        }
    }
    while (lineCount() > limit_) {
        lines_.pop_front();
        ++change.dropped;
    }
    return change;
}

void TReplyPane::clear() {
    lines_.clear();
    afterCr_ = false;
}

int TReplyPane::lineCount() const {
    if (lines_.empty())
        return 0;
    return static_cast<int>(lines_.size()) - (lines_.back().empty() ? 1 : 0);
}

std::string TReplyPane::text() const {
    std::string t;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i)
            t.push_back('\n');
        t += lines_[i];
    }
    return t;
}

} // namespace telvor
