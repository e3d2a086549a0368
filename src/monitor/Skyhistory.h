#pragma once
// `TSkyHistory`: the satellite-view history in the form the sky plot draws from. A satellite
// keeps its elevation and azimuth (whole degrees) for dozens of views in a row, so each track
// is kept as runs of views at one place; only the newest view of each system is kept whole,
// for the markers, the hint and the signal bars. A month of views at 1 Hz takes tens of
// megabytes this way instead of hundreds.
#include "monitor/Satview.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace telvor {

class TSkyHistory {
public:
    // The satellite table, as `satelliteIndex` numbers it: GPS first, then GLONASS.
    static constexpr int kIndices = 61;
    static constexpr int kFirstGlonass = 37;

    // A satellite at one place for `length` views of its system in a row, the first of them
    // the `view`-th view of the history and the `systemView`-th of its system.
    struct TRun {
        std::uint64_t view = 0;
        std::uint64_t systemView = 0;
        std::uint32_t length = 0;
        std::uint16_t azimuth = 0;
        std::uint8_t elevation = 0;
    };

    // Keeps the newest `capacity` views (at least one).
    explicit TSkyHistory(std::size_t capacity);

    void append(const TSatData& view);
    void clear();

    std::size_t size() const { return static_cast<std::size_t>(next_ - first_); }
    bool empty() const { return next_ == first_; }
    std::size_t capacity() const { return capacity_; }
    // Runs kept, for weighing the history.
    std::size_t runCount() const;

    // The newest view of a system, while it is one of the views kept.
    const TSatData* latest(bool glonass) const;

    // Every run kept, in the order the views came (runs that start in the same view by
    // table index). A run that began in a view let go is seen as starting at the oldest view
    // kept of its system. `joined` says the satellite was placed in the view before, at the
    // previous run's place.
    template <class F> void visitRuns(F&& visit) const;

private:
    static int systemOf(bool glonass) { return glonass ? 1 : 0; }
    bool systemBit(std::uint64_t view) const {
        const std::size_t at = static_cast<std::size_t>(view % capacity_);
        return (systems_[at / 64] >> (at % 64)) & 1u;
    }
    void setSystemBit(std::uint64_t view, bool glonass);
    void dropOldest();

    std::size_t capacity_;
    std::uint64_t first_ = 0, next_ = 0; // views ever appended: the oldest kept, the next
    std::vector<std::uint64_t> systems_; // one bit a view kept: GLONASS
    // Per system: views appended, the oldest kept (as a system view and as a view).
    std::array<std::uint64_t, 2> systemNext_{}, systemFirst_{}, systemFirstView_{};
    std::array<std::deque<TRun>, kIndices> tracks_;
    std::array<std::optional<TSatData>, 2> latest_;
    std::array<std::uint64_t, 2> latestView_{};
};

template <class F> void TSkyHistory::visitRuns(F&& visit) const {
    // Merged by the view the run starts in: at most 61 tracks, so a linear pick of the
    // earliest would cost more than this small heap.
    struct TCursor {
        std::uint64_t key;
        int index;
        std::size_t at;
    };
    auto later = [](const TCursor& a, const TCursor& b) {
        return a.key != b.key ? a.key > b.key : a.index > b.index;
    };
    auto keyOf = [&](int index, std::size_t at) {
        const TRun& r = tracks_[static_cast<std::size_t>(index)][at];
        const int s = systemOf(index >= kFirstGlonass);
        return r.systemView < systemFirst_[static_cast<std::size_t>(s)]
                   ? systemFirstView_[static_cast<std::size_t>(s)]
                   : r.view;
    };
    std::vector<TCursor> heap;
    for (int i = 0; i < kIndices; ++i)
        if (!tracks_[static_cast<std::size_t>(i)].empty())
            heap.push_back({keyOf(i, 0), i, 0});
    std::make_heap(heap.begin(), heap.end(), later);
    while (!heap.empty()) {
        std::pop_heap(heap.begin(), heap.end(), later);
        TCursor& c = heap.back();
        const auto& track = tracks_[static_cast<std::size_t>(c.index)];
        const TRun& run = track[c.at];
        bool joined =
            c.at > 0 && track[c.at - 1].systemView + track[c.at - 1].length == run.systemView;
        visit(c.index, run, joined);
        if (++c.at < track.size()) {
            c.key = keyOf(c.index, c.at);
            std::push_heap(heap.begin(), heap.end(), later);
        } else {
            heap.pop_back();
        }
    }
}

} // namespace telvor
