#pragma once
// Thinning of the position history for one strip of the position plot. When the time span
// holds many fixes per pixel column, a run of fixes one second apart, of one class, inside
// one column draws one vertical stroke from its lowest to its highest value; the run is
// replaced by four fixes that draw the same stroke, and fixes outside the span by one. What the
// strip shows does not change.
#include "monitor/Stripmath.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace telvor {

// `history` in time order from index `first`; `area`, `now` and `settings` as the strip is
// computed with. `north`: the upper strip's values, else the lower strip's.
std::vector<TPositionEntry> thinForStrip(const std::vector<TPositionEntry>& history,
                                         std::size_t first, const TStripSettings& settings,
                                         const TRect& area, std::uint32_t now, bool north);

} // namespace telvor
