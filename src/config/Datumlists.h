#pragma once
// The datums a receiver offers: a short list unless its datum option allows the full one.
#include <string>
#include <vector>

namespace telvor {

const std::vector<std::string>& ShortDatumList();
const std::vector<std::string>& FullDatumList();
// By the receiver's "/par/opts/cur/_DTM": below 1 gives the short list.
const std::vector<std::string>& DatumList(const std::string& option);

} // namespace telvor
