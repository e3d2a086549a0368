#include "monitor/Thinning.h"

#include <algorithm>
#include <cmath>

namespace telvor {

std::vector<TPositionEntry> thinForStrip(const std::vector<TPositionEntry>& history,
                                         std::size_t first, const TStripSettings& settings,
                                         const TRect& area, std::uint32_t now, bool north) {
    // The strip's own mapping of time to a pixel column and of its time span.
    const std::uint32_t span = static_cast<std::uint32_t>(std::max(1, settings.maxX));
    auto column = [&](std::uint32_t t) {
        return static_cast<int>(area.right - double(now - t) * area.width() / span);
    };
    auto plain = [&](const TPositionEntry& e) {
        double v = north ? e.north : e.east;
        return e.time <= now && now - e.time <= span && std::isfinite(v);
    };
    auto value = [&](const TPositionEntry& e) { return north ? e.north : e.east; };

    std::vector<TPositionEntry> out;
    const std::size_t n = history.size();
    out.reserve(std::min<std::size_t>(n - std::min(first, n), 4 * 4096));
    for (std::size_t i = first; i < n;) {
        const TPositionEntry& head = history[i];
        if (!plain(head)) {
            // Outside the span or not a number: it only breaks a join, and one does that for a
            // whole row of them.
            out.push_back(head);
            while (++i < n && !plain(history[i])) {
            }
            continue;
        }
        const int x = column(head.time);
        std::size_t j = i + 1, low = i, high = i;
        while (j < n && plain(history[j]) && history[j].time == history[j - 1].time + 1 &&
               history[j].fixClass == head.fixClass && column(history[j].time) == x) {
            if (value(history[j]) < value(history[low]))
                low = j;
            if (value(history[j]) > value(history[high]))
                high = j;
            ++j;
        }
        if (j - i <= 4) {
            out.insert(out.end(), history.begin() + static_cast<std::ptrdiff_t>(i),
                       history.begin() + static_cast<std::ptrdiff_t>(j));
        } else {
            // The head keeps the join from before, the tail the join to what follows; the two
            // between reach the lowest and the highest value. Their times stay in the column.
            TPositionEntry a = history[low], b = history[high];
            a.time = head.time + 1;
            b.time = head.time + 2;
            out.push_back(head);
            out.push_back(a);
            out.push_back(b);
            out.push_back(history[j - 1]);
        }
        i = j;
    }
    return out;
}

} // namespace telvor
