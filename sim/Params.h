#pragma once
// The receiver's parameter tree, built from a text table (see Paramtable.cpp): one row per leaf
// with its kind, default and allowed values. Paths here are already normalised (absolute, no
// "cur/term" alias, no attribute).
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace telvorsim {

enum class TParamKind { ReadOnly, Enum, Int, Float, Text, List };

struct TParam {
    TParamKind kind = TParamKind::Text;
    std::string value;
    std::string defaultValue;
    std::vector<std::string> choices; // Enum
    double low = 0, high = 0;         // Int, Float (inclusive)
    bool dynamic = false;             // value is "@name", asked from the resolver each time
};

enum class TSetResult { Ok, UnknownPath, BadValue, ReadOnly };

class TParamTree {
public:
    // Resolves "@name" values (identity from the options, uptime, memory ...).
    using TResolver = std::function<std::string(std::string_view name)>;

    // Parses the table; `error` tells the first bad row (a programming error in the table).
    TParamTree(std::string_view table, TResolver resolver, std::string* error = nullptr);

    bool isLeaf(const std::string& path) const { return params_.count(path) != 0; }
    bool isNode(const std::string& path) const;

    std::optional<std::string> get(const std::string& path) const;
    std::optional<std::string> getDefault(const std::string& path) const;
    const TParam* find(const std::string& path) const;

    // Validates against the row; read-only rows refuse.
    TSetResult set(const std::string& path, const std::string& value);
    // Changes a row regardless of its kind (the receiver's own bookkeeping).
    void force(const std::string& path, const std::string& value);
    // Brings every row under `prefix` back to its default; returns how many changed.
    int restoreDefaults(const std::string& prefix);
    // Removes `path` and every row below it; returns how many went.
    int remove(const std::string& path);
    // Changes the default of a row (options such as the factory port rate).
    void setDefault(const std::string& path, const std::string& value);

    // A node as the receiver prints it: {name=value,...}, nested for inner nodes.
    std::string printNode(const std::string& path) const;
    // Direct children names of a node, in path order.
    std::vector<std::string> children(const std::string& path) const;

private:
    std::string resolve(const TParam& p) const;
    static TSetResult setRow(TParam& p, const std::string& value);
    std::map<std::string, TParam> params_;
    // Rows written since they were last restored.
    std::set<std::string> touched_;
    TResolver resolver_;
};

// The compiled-in tables: the base one and one per configuration area, joined once.
extern const char* const kParamTable;
extern const char* const kParamTableConfig;
extern const char* const kParamTableRtk;
const std::string& paramTableText();

// Quotes a text value for a list when it holds characters that would break the list.
std::string quoteValue(const std::string& value);

} // namespace telvorsim
