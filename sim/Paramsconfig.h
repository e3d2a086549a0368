#pragma once
// What the receiver does beyond plain rows for the configuration pages' parameters: satellite
// lists printed and set as one "y"/"n" list, the datum records the user may change, and the
// receiver models that lack parts of the tree or the datum option.
#include "sim/Params.h"

#include <optional>
#include <string>

namespace telvorsim {

// A node whose numbered "on"/"off" leaves the receiver also takes as one list.
bool isSatList(const TParamTree& tree, const std::string& path);
std::string printSatList(const TParamTree& tree, const std::string& path);
// Up to as many "y"/"n" elements as the node has leaves, from the first.
TSetResult setSatList(TParamTree& tree, const std::string& path, const std::string& value);

// "/par/pos/datum/P90/par" and "/par/pos/datum/USER"; nothing for other paths.
std::optional<TSetResult> setDatum(TParamTree& tree, const std::string& path,
                                   const std::string& value);

// The model has no such parameter (nor anything below it).
bool modelLacks(const std::string& model, const std::string& path);
// An option value that the model has instead of the table's.
std::optional<std::string> modelOption(const std::string& model, const std::string& path);

} // namespace telvorsim
