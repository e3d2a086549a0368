#pragma once
// The reply pane's text: received bytes shown with control bytes as ".", at most a given
// number of lines, the oldest dropped first. The window mirrors the changes it reports.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace telvor {

class TReplyPane {
public:
    static constexpr int kMinLines = 12;
    static constexpr int kMaxLines = 200;
    // "Replies" clamped to 12..200.
    static int clampLimit(int lines);

    explicit TReplyPane(int limit = kMaxLines) : limit_(clampLimit(limit)) {}
    int limit() const { return limit_; }

    struct TChange {
        int dropped = 0;  // lines removed from the top
        std::string text; // appended at the end ("\n" breaks lines)
    };
    // Every byte below 0x20 but CR and LF becomes "."; CR LF, LF and a lone CR end a line.
    TChange append(const std::uint8_t* data, std::size_t count);
    TChange append(const std::string& text) {
        return append(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
    void clear();

    // Lines as shown: the last one may be open (no line end yet).
    int lineCount() const;
    std::string text() const;

private:
    int limit_;
    std::deque<std::string> lines_; // the last one is open
    bool afterCr_ = false;          // a CR ended the last run: a LF next belongs to it
};

} // namespace telvor
