#include "monitor/Plotdata.h"

#include "monitor/Body.h"
#include "monitor/Numformat.h"
#include "protocol/Tick.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace telvor {
namespace {

bool isId(const std::uint8_t* m, const char* id) {
    return m[0] == static_cast<std::uint8_t>(id[0]) && m[1] == static_cast<std::uint8_t>(id[1]);
}

// Oldest-first copy of a ring that grows to its capacity and then wraps at `write`.
template <class T> std::vector<T> inTimeOrder(const std::vector<T>& ring, std::size_t write) {
    std::vector<T> out;
    out.reserve(ring.size());
    if (write < ring.size())
        out.insert(out.end(), ring.begin() + static_cast<std::ptrdiff_t>(write), ring.end());
    out.insert(out.end(), ring.begin(),
               ring.begin() + static_cast<std::ptrdiff_t>(std::min(write, ring.size())));
    return out;
}

} // namespace

int TPlotData::capacityFromSetting(int maxDots) {
    return std::clamp(maxDots, kMinCapacity, kMaxCapacity);
}

int TPlotData::resizedCapacity(int n) {
    if (n == 27) // a short history for trying the wrap-around by hand
        return n;
    return std::clamp(n, kMinCapacity, kMaxCapacity);
}

TPlotData::TPlotData(int capacity, Clock clock)
    : clock_(clock ? std::move(clock) : Clock(tickCount)), created_(clock_()),
      capacity_(capacityFromSetting(capacity)), views_(static_cast<std::size_t>(capacity_)),
      viewRing_(kRingSize) {}

std::uint32_t TPlotData::timeStamp() const {
    return (ticksBetween(created_, clock_()) + 500) / 1000;
}

void TPlotData::feed(const std::uint8_t* m, std::size_t length) {
    if (length < kHeaderSize)
        return;
    if (isId(m, "PG")) {
        TBody body(m, length);
        TIncomingFix f{};
        if (checkMessage(m, length) != CheckResult::Good || !body.read(0, f.lat) ||
            !body.read(8, f.lon) || !body.read(16, f.height) || !body.read(24, f.sigma) ||
            !body.read(28, f.type))
            return;
        // A fix with an unknown coordinate is no position: it would poison the means and
        // the offsets.
        if (!std::isfinite(f.lat) || !std::isfinite(f.lon) || !std::isfinite(f.height))
            return;
        f.fixClass = f.type >= 1 && f.type <= 4 ? static_cast<std::uint8_t>(f.type - 1) : 0;
        f.time = timeStamp();
        std::lock_guard<std::mutex> guard(lock_);
        TOffsets o = targetOffsets(f.lon, f.lat, targetLon_, targetLat_);
        if (!std::isfinite(o.east) || !std::isfinite(o.north))
            return;
        f.east = o.east;
        f.north = o.north;
        fixRing_[fixHead_ % kRingSize] = f;
        if (++fixHead_ - fixTail_ > kRingSize)
            fixTail_ = fixHead_ - kRingSize;
        lastFix_ = {lastFix_.sequence + 1, f.lat, f.lon};
    } else if (isId(m, "SG")) {
        TBody body(m, length);
        TSigmas s;
        if (!body.read(0, s.hPos) || !body.read(4, s.vPos) || !body.read(8, s.hVel) ||
            !body.read(12, s.vVel))
            return;
        std::lock_guard<std::mutex> guard(lock_);
        sigmas_ = s;
    } else if (isId(m, "DP")) {
        TBody body(m, length);
        TDops d;
        if (checkMessage(m, length) != CheckResult::Good || !body.read(0, d.hdop) ||
            !body.read(4, d.vdop) || !body.read(8, d.tdop))
            return;
        double h = d.hdop, v = d.vdop, t = d.tdop;
        d.pdop = std::sqrt(h * h + v * v);
        d.gdop = std::sqrt(h * h + v * v + t * t);
        std::lock_guard<std::mutex> guard(lock_);
        dops_ = d;
    } else if (isId(m, "GS") || isId(m, "NS")) {
        if (length > kMaxMessageSize || !satViewChecksumGood(messageText(m, length)))
            return;
        std::uint32_t time = timeStamp();
        std::lock_guard<std::mutex> guard(lock_);
        TIncomingView& slot = viewRing_[viewHead_ % kRingSize];
        std::memcpy(slot.text.data(), m, length);
        slot.length = length;
        slot.time = time;
        if (++viewHead_ - viewTail_ > kRingSize)
            viewTail_ = viewHead_ - kRingSize;
    }
}

void TPlotData::InputModeChanged(TInputMode mode) {
    std::function<void(TInputMode)> listener;
    {
        std::lock_guard<std::mutex> guard(lock_);
        listener = modeListener_;
    }
    if (listener)
        listener(mode);
}

void TPlotData::setModeListener(std::function<void(TInputMode)> listener) {
    std::lock_guard<std::mutex> guard(lock_);
    modeListener_ = std::move(listener);
}

void TPlotData::addPositionLocked(const TIncomingFix& f, TDrained& out) {
    TPositionEntry e{f.east, f.north, f.time, f.fixClass};
    ++posRevision_;
    auto cap = static_cast<std::size_t>(capacity_);
    bool recompute = false;
    if (positions_.size() < cap) {
        // Grown by doubling, but never past the capacity: at the largest one the slack alone
        // would be 36 MB.
        if (positions_.size() == positions_.capacity())
            positions_.reserve(std::min(cap, std::max<std::size_t>(1024, 2 * positions_.size())));
        positions_.push_back(e);
    } else {
        TPositionEntry& old = positions_[posWrite_];
        --classCounts_[old.fixClass];
        recompute = std::fabs(old.east) >= maxEast_ || std::fabs(old.north) >= maxNorth_;
        old = e;
    }
    posWrite_ = (posWrite_ + 1) % cap;
    posFilled_ = std::min(posFilled_ + 1, cap);
    ++classCounts_[e.fixClass];
    // A true running mean: every fix weighs the same. Each term is divided before the sum,
    // so no finite values overflow.
    ++means_.count;
    double n = static_cast<double>(means_.count);
    means_.lat += f.lat / n - means_.lat / n;
    means_.lon += f.lon / n - means_.lon / n;
    means_.height += f.height / n - means_.height / n;
    if (recompute) {
        recomputeMaximaLocked();
    } else {
        maxEast_ = std::max(maxEast_, std::fabs(e.east));
        maxNorth_ = std::max(maxNorth_, std::fabs(e.north));
    }
    out.positions.push_back(e);
}

void TPlotData::recomputeMaximaLocked() {
    maxEast_ = maxNorth_ = 0;
    for (const auto& p : positions_) {
        maxEast_ = std::max(maxEast_, std::fabs(p.east));
        maxNorth_ = std::max(maxNorth_, std::fabs(p.north));
    }
}

TDrained TPlotData::drain() {
    TDrained out;
    std::lock_guard<std::mutex> guard(lock_);
    for (; fixTail_ < fixHead_; ++fixTail_) {
        const TIncomingFix& f = fixRing_[fixTail_ % kRingSize];
        // No solution means no position: nothing to plot.
        if (f.type >= 1 && f.type <= 4)
            addPositionLocked(f, out);
    }
    for (; viewTail_ < viewHead_; ++viewTail_) {
        const TIncomingView& v = viewRing_[viewTail_ % kRingSize];
        auto d = parseSatView(messageText(v.text.data(), v.length), v.time);
        if (!d)
            continue;
        views_.append(*d);
        out.views.push_back(std::move(*d));
    }
    return out;
}

void TPlotData::resetPositionsLocked() {
    positions_.clear();
    positions_.shrink_to_fit();
    posWrite_ = posFilled_ = 0;
    ++posRevision_;
    classCounts_.fill(0);
    means_ = {};
    maxEast_ = maxNorth_ = 0;
    fixTail_ = fixHead_;
}

void TPlotData::resetSatellitesLocked() {
    views_.clear();
    viewTail_ = viewHead_;
}

void TPlotData::resetPositions() {
    std::lock_guard<std::mutex> guard(lock_);
    resetPositionsLocked();
}

void TPlotData::resetSatellites() {
    std::lock_guard<std::mutex> guard(lock_);
    resetSatellitesLocked();
}

int TPlotData::capacity() const {
    std::lock_guard<std::mutex> guard(lock_);
    return capacity_;
}

void TPlotData::resize(int n) {
    int c = resizedCapacity(n);
    std::lock_guard<std::mutex> guard(lock_);
    if (c == capacity_)
        return;
    capacity_ = c;
    resetPositionsLocked();
    resetSatellitesLocked();
    views_ = TSkyHistory(static_cast<std::size_t>(c));
}

void TPlotData::setTarget(double lat, double lon) {
    std::lock_guard<std::mutex> guard(lock_);
    targetLat_ = lat;
    targetLon_ = lon;
}

void TPlotData::targetMoved(double lat, double lon) {
    std::lock_guard<std::mutex> guard(lock_);
    double dEast = (lon - targetLon_) * kEarthRadius * std::cos((targetLat_ + lat) / 2);
    double dNorth = (lat - targetLat_) * kEarthRadius;
    targetLat_ = lat;
    targetLon_ = lon;
    if (dEast == 0 && dNorth == 0)
        return;
    if (!std::isfinite(dEast) || !std::isfinite(dNorth)) {
        // No stored offset can be carried over to such a target.
        resetPositionsLocked();
        return;
    }
    ++posRevision_;
    for (auto& p : positions_) {
        p.east += dEast;
        p.north += dNorth;
    }
    // Fixes not drained yet were measured against the old target too.
    for (std::uint64_t i = fixTail_; i < fixHead_; ++i) {
        fixRing_[i % kRingSize].east += dEast;
        fixRing_[i % kRingSize].north += dNorth;
    }
    recomputeMaximaLocked();
}

std::vector<TPositionEntry> TPlotData::positionHistory() const {
    std::lock_guard<std::mutex> guard(lock_);
    return inTimeOrder(positions_, positions_.size() < static_cast<std::size_t>(capacity_)
                                       ? positions_.size()
                                       : posWrite_);
}

void TPlotData::visitPositions(const TPositionVisitor& visit) const {
    constexpr std::size_t kPiece = 65536;
    std::size_t size, start;
    {
        std::lock_guard<std::mutex> guard(lock_);
        size = positions_.size();
        start = size < static_cast<std::size_t>(capacity_) ? 0 : posWrite_;
    }
    for (std::size_t done = 0; done < size;) {
        std::lock_guard<std::mutex> guard(lock_);
        const std::size_t at = (start + done) % size;
        const std::size_t n = std::min({kPiece, size - done, size - at});
        visit(positions_.data() + at, n);
        done += n;
    }
}

std::uint64_t TPlotData::positionRevision() const {
    std::lock_guard<std::mutex> guard(lock_);
    return posRevision_;
}

std::array<std::uint64_t, 4> TPlotData::classCounts() const {
    std::lock_guard<std::mutex> guard(lock_);
    return classCounts_;
}

TPositionMeans TPlotData::means() const {
    std::lock_guard<std::mutex> guard(lock_);
    return means_;
}

double TPlotData::maxAbsEast() const {
    std::lock_guard<std::mutex> guard(lock_);
    return maxEast_;
}

double TPlotData::maxAbsNorth() const {
    std::lock_guard<std::mutex> guard(lock_);
    return maxNorth_;
}

TSigmas TPlotData::sigmas() const {
    std::lock_guard<std::mutex> guard(lock_);
    return sigmas_;
}

TDops TPlotData::dops() const {
    std::lock_guard<std::mutex> guard(lock_);
    return dops_;
}

TPlotData::TLastFix TPlotData::lastFix() const {
    std::lock_guard<std::mutex> guard(lock_);
    return lastFix_;
}

} // namespace telvor
