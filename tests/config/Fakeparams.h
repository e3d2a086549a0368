#pragma once
// A receiver of parameters for the binding tests: a table of values, a list of refused paths,
// and the lines that were set, in order.
#include "config/Binding.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace telvor::testing {

class TFakeParams : public TParamReader, public TParamSink {
public:
    std::optional<std::string> print(const std::string& path) override {
        asked.push_back(path);
        auto it = values.find(path);
        if (it == values.end())
            return std::nullopt;
        return it->second;
    }
    std::optional<std::string> collect(const std::string& path) override { return print(path); }
    bool set(const std::string& path, const std::string& value) override {
        if (refused.count(path))
            return false;
        sets.push_back(path + "=" + value);
        values[path] = value;
        return true;
    }

    std::map<std::string, std::string> values;
    std::set<std::string> refused;
    std::vector<std::string> asked, sets;
};

} // namespace telvor::testing
