#pragma once
// `TPlotData`: the one store the three plot windows draw from. The input thread feeds it
// positions ("PG"), accuracy ("SG", "DP") and satellite views ("GS", "NS") into small rings;
// the position window's 1000 ms timer drains the rings into the histories.
#include "monitor/Satview.h"
#include "monitor/Skyhistory.h"
#include "protocol/Commstate.h"
#include "protocol/Messageformat.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace telvor {

// Fix classes of the position history: solution types 1..4.
enum TFixClass : std::uint8_t { fcStandalone = 0, fcCodeDiff = 1, fcFloat = 2, fcFixed = 3 };
inline constexpr const char* kFixClassKeys[4] = {"SA", "CD", "FL", "FX"};

struct TPositionEntry {
    double east = 0;  // m, from the position to the target
    double north = 0; // m
    std::uint32_t time = 0;
    std::uint8_t fixClass = 0;
};

struct TPositionMeans {
    double lat = 0, lon = 0, height = 0; // radians, metres
    std::uint64_t count = 0;
};

struct TSigmas {
    float hPos = 0, vPos = 0, hVel = 0, vVel = 0;
};

struct TDops {
    float hdop = 0, vdop = 0, tdop = 0;
    double pdop = 0, gdop = 0;
};

// What one drain brought: new history entries in arrival order.
struct TDrained {
    std::vector<TPositionEntry> positions;
    std::vector<TSatData> views;
};

class TPlotData : public TPlotSink {
public:
    static constexpr int kRingSize = 60;
    static constexpr int kMinCapacity = 3600;
    static constexpr int kMaxCapacity = 2678400;
    using Clock = std::function<std::uint32_t()>;

    // "Scatter"/"MaxDots" at start: smaller values are raised to 3600.
    static int capacityFromSetting(int maxDots);
    // `resize` rule: below 3600 becomes 3600 (27 is kept as is), at most 2678400.
    static int resizedCapacity(int n);

    explicit TPlotData(int capacity = kMinCapacity, Clock clock = {});

    // Input thread, every split message.
    void feed(const std::uint8_t* message, std::size_t length);
    void Offer(const std::uint8_t* message, std::size_t length) override { feed(message, length); }
    void InputModeChanged(TInputMode mode) override;
    void setModeListener(std::function<void(TInputMode)> listener);

    // UI thread: moves what arrived into the histories and returns it.
    TDrained drain();
    void resetPositions();
    void resetSatellites();
    int capacity() const;
    void resize(int n);

    // The target the offsets refer to. `setTarget` only remembers it (start-up);
    // `targetMoved` also shifts every stored offset onto the new target.
    void setTarget(double lat, double lon);
    void targetMoved(double lat, double lon);

    // Snapshots, oldest first.
    std::vector<TPositionEntry> positionHistory() const;
    // The position history oldest first, piece by piece, without a copy (a full redraw at the
    // largest capacity would copy 64 MB). Each piece is visited under the lock, so `visit` must
    // not call back into the store; the lock is let go between pieces so that the input thread
    // is not held up for a whole redraw. Only the UI thread changes the history, so a visit
    // from there sees all of it.
    using TPositionVisitor = std::function<void(const TPositionEntry* first, std::size_t count)>;
    void visitPositions(const TPositionVisitor& visit) const;
    // The satellite views kept, UI thread only: only the UI thread changes them (drain, reset,
    // resize), so a full sky redraw reads them without a copy and without holding up `feed`.
    const TSkyHistory& satelliteHistory() const { return views_; }
    // Grows whenever the position history changes (a fix drained, a reset, a target move): a
    // plot may keep what it computed from the history while this stays the same.
    std::uint64_t positionRevision() const;
    std::array<std::uint64_t, 4> classCounts() const;
    TPositionMeans means() const;
    double maxAbsEast() const;
    double maxAbsNorth() const;
    TSigmas sigmas() const;
    TDops dops() const;

    // The newest "PG" seen by `feed` and how many have been seen.
    struct TLastFix {
        std::uint64_t sequence = 0;
        double lat = 0, lon = 0;
    };
    TLastFix lastFix() const;

    int elevationMask() const { return mask_.load(); }
    void setElevationMask(int degrees) { mask_.store(degrees); }

    // Seconds since the store was created, rounded.
    std::uint32_t timeStamp() const;

private:
    struct TIncomingFix {
        double lat, lon, height;
        float sigma;
        std::uint8_t type;
        double east, north;
        std::uint8_t fixClass;
        std::uint32_t time;
    };
    struct TIncomingView {
        std::array<std::uint8_t, kMaxMessageSize> text;
        std::size_t length;
        std::uint32_t time;
    };

    void addPositionLocked(const TIncomingFix& f, TDrained& out);
    void recomputeMaximaLocked();
    void resetPositionsLocked();
    void resetSatellitesLocked();

    mutable std::mutex lock_;
    Clock clock_;
    std::uint32_t created_;
    int capacity_;

    std::vector<TPositionEntry> positions_;
    std::size_t posWrite_ = 0, posFilled_ = 0;
    std::array<std::uint64_t, 4> classCounts_{};
    TPositionMeans means_;
    double maxEast_ = 0, maxNorth_ = 0;
    std::uint64_t posRevision_ = 0;

    TSkyHistory views_;

    // Rings: running counts of what was fed and what was drained.
    std::array<TIncomingFix, kRingSize> fixRing_{};
    std::uint64_t fixHead_ = 0, fixTail_ = 0;
    std::vector<TIncomingView> viewRing_;
    std::uint64_t viewHead_ = 0, viewTail_ = 0;

    TSigmas sigmas_;
    TDops dops_;
    TLastFix lastFix_;
    double targetLat_ = 0, targetLon_ = 0;
    std::atomic<int> mask_{0};
    std::function<void(TInputMode)> modeListener_;
};

} // namespace telvor
