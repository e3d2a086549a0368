#include "monitor/Skyhistory.h"

#include "monitor/Skymap.h"

#include <bit>

namespace telvor {

TSkyHistory::TSkyHistory(std::size_t capacity)
    : capacity_(std::max<std::size_t>(1, capacity)), systems_((capacity_ + 63) / 64) {}

void TSkyHistory::clear() {
    first_ = next_ = 0;
    std::fill(systems_.begin(), systems_.end(), 0);
    systemNext_ = systemFirst_ = systemFirstView_ = {};
    for (auto& t : tracks_)
        std::deque<TRun>().swap(t); // gives the blocks back
    latest_ = {};
    latestView_ = {};
}

std::size_t TSkyHistory::runCount() const {
    std::size_t n = 0;
    for (const auto& t : tracks_)
        n += t.size();
    return n;
}

const TSatData* TSkyHistory::latest(bool glonass) const {
    const auto s = static_cast<std::size_t>(systemOf(glonass));
    return latest_[s] && latestView_[s] >= first_ ? &*latest_[s] : nullptr;
}

void TSkyHistory::setSystemBit(std::uint64_t view, bool glonass) {
    const std::size_t at = static_cast<std::size_t>(view % capacity_);
    const std::uint64_t bit = std::uint64_t{1} << (at % 64);
    if (glonass)
        systems_[at / 64] |= bit;
    else
        systems_[at / 64] &= ~bit;
}

void TSkyHistory::dropOldest() {
    const bool glonass = systemBit(first_);
    const auto s = static_cast<std::size_t>(systemOf(glonass));
    ++first_;
    ++systemFirst_[s];
    // The next view of the same system: a word at a time, as one system may be silent for a
    // long stretch of the other's views.
    std::uint64_t v = first_;
    while (v < next_) {
        const std::size_t at = static_cast<std::size_t>(v % capacity_);
        std::uint64_t word = systems_[at / 64] >> (at % 64);
        if (!glonass)
            word = ~word;
        const std::size_t left = std::min<std::uint64_t>(64 - at % 64, capacity_ - at);
        if (left < 64)
            word &= (std::uint64_t{1} << left) - 1;
        if (word != 0) {
            v += static_cast<std::uint64_t>(std::countr_zero(word));
            break;
        }
        v += left;
    }
    systemFirstView_[s] = std::min(v, next_);
    const int from = glonass ? kFirstGlonass : 0, to = glonass ? kIndices : kFirstGlonass;
    for (int i = from; i < to; ++i) {
        auto& track = tracks_[static_cast<std::size_t>(i)];
        while (!track.empty() && track.front().systemView + track.front().length <= systemFirst_[s])
            track.pop_front();
    }
}

void TSkyHistory::append(const TSatData& view) {
    if (size() == capacity_)
        dropOldest();
    const auto s = static_cast<std::size_t>(systemOf(view.glonass));
    const std::uint64_t at = next_, systemView = systemNext_[s]++;
    setSystemBit(at, view.glonass);
    if (systemView == systemFirst_[s])
        systemFirstView_[s] = at;
    ++next_;
    for (const TSatEntry& e : view.entries) {
        const int index = satelliteIndex(view.glonass, e.number);
        // Elevation and azimuth 0 is no place: the track breaks there.
        if (index < 0 || (e.azimuth == 0 && e.elevation == 0))
            continue;
        auto& track = tracks_[static_cast<std::size_t>(index)];
        if (!track.empty()) {
            TRun& last = track.back();
            const std::uint64_t end = last.systemView + last.length;
            if (end == systemView + 1) // listed twice in one view: the first one counts
                continue;
            if (end == systemView && last.elevation == e.elevation && last.azimuth == e.azimuth &&
                last.length < UINT32_MAX) {
                ++last.length;
                continue;
            }
        }
        track.push_back({at, systemView, 1, e.azimuth, e.elevation});
    }
    latest_[s] = view;
    latestView_[s] = at;
}

} // namespace telvor
