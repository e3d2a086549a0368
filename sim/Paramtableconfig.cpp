#include "sim/Paramsconfig.h"

#include <cstdlib>
#include <vector>

namespace telvorsim {

// Parameters of the positioning, datum, events, messages and attitude pages; same row format as
// kParamTable.
const char* const kParamTableConfig = R"TABLE(
# positioning
/par/pos/mode/cur               enum   sp       sp|cd|pf|pd
/par/pos/mode/{sp,cd,pf,pd}     enum   on       on|off
/par/pos/pdop                   float  30       0..1000
/par/pos/sys                    list   {on,on}  on|off
/par/pos/raim/mode              enum   off      on|off
/par/pos/raim/al/mode           enum   manual   manual|npa|ter|enr
/par/pos/raim/al/manual         float  50       1..10000
/par/pos/sp/meas                enum   ca       ca|p1|p2|ionofree
/par/pos/sp/iono                enum   on       on|off
/par/pos/sp/tropo               enum   on       on|off
/par/lock/pcode                 enum   on       on|off
/par/lock/gps/sat/{1..32}       enum   on       on|off
/par/lock/glo/{fcn,sat}/{1..24} enum   on       on|off
/par/pos/glo/fcn/{1..24}        enum   on       on|off
/par/waas/{1,2}/sat             int    0        0..13932
/par/waas/{1,2}/instead0        int    -1       -1..100
/par/waas/{1,2}/ion             enum   1        0|1|2
/par/waas/numb                  enum   off      on|off

# datums: {{ellipsoid,axis,inverse flattening},{name,reference,dX,dY,dZ,Rx,Ry,Rz,scale}}
/par/pos/datum/cur              enum   W84      W84|P90|W72|EUR-M|NAS-C|USER
/par/pos/datum/W84              ro     {{W84,6378137.000,298.257223563},{W84,0,0.000,0.000,0.000,0.0000,0.0000,0.0000,0.0000}}
/par/pos/datum/P90              ro     {{P90,6378136.000,298.257839303},{P90,0,-1.080,-0.270,-0.900,0.0000,0.0000,-0.1600,-0.1200}}
/par/pos/datum/W72              ro     {{W72,6378135.000,298.26},{W72,0,0.000,0.000,4.500,0.0000,0.0000,0.5540,0.2190}}
/par/pos/datum/EUR-M            ro     {{INT,6378388.000,297.0},{EUR-M,0,-87.000,-98.000,-121.000,0.0000,0.0000,0.0000,0.0000}}
/par/pos/datum/NAS-C            ro     {{CLK66,6378206.400,294.9786982},{NAS-C,0,-8.000,160.000,176.000,0.0000,0.0000,0.0000,0.0000}}
/par/pos/datum/USER             ro     {{U-,6378137.000,298.257223563},{USER,0,0.000,0.000,0.000,0.0000,0.0000,0.0000,0.0000}}

# events
/par/dev/pps/{a,b}/out          enum   off      on|off
/par/dev/pps/{a,b}/per/ms       int    1000     1..60000
/par/dev/pps/{a,b}/offs/ms      int    0        -1000..1000
/par/dev/pps/{a,b}/offs/ns      int    0        -1000000..1000000
/par/dev/pps/{a,b}/edge         enum   rise     rise|fall
/par/dev/pps/{a,b}/time         enum   gps      gps|glo|utcusno|utcsu
/par/dev/pps/{a,b}/mper         int    0        0..60000
/par/dev/pps/{a,b}/tied         enum   on       on|off
/par/dev/event/{a,b}/in         enum   off      on|off
/par/dev/event/{a,b}/edge       enum   rise     rise|fall
/par/dev/event/{a,b}/time       enum   gps      gps|glo|utcusno|utcsu
/par/dev/event/{a,b}/lock       enum   off      on|off
/par/dev/event/{a,b}/locked     ro     no
/par/dev/event/{a,b}/tied       enum   off      on|off

# attitude
/par/hd/mode                    enum   off      on|off
/par/hd/uselen                  enum   off      on|off
/par/hd/len/0                   float  1.000    0..1000
)TABLE";

namespace {

const char* const kSatLists[] = {"/par/pos/gps/sat",  "/par/pos/glo/sat",  "/par/pos/glo/fcn",
                                 "/par/lock/gps/sat", "/par/lock/glo/sat", "/par/lock/glo/fcn"};

// The leaves of a list node in number order (the tree keeps them in text order).
std::vector<std::string> satLeaves(const TParamTree& tree, const std::string& path) {
    std::vector<std::string> leaves;
    for (int n = 1; tree.isLeaf(path + "/" + std::to_string(n)); ++n)
        leaves.push_back(path + "/" + std::to_string(n));
    return leaves;
}

// The elements of a flat list "{a,b,c}"; nothing when it is not one.
std::optional<std::vector<std::string>> flatList(const std::string& value) {
    if (value.size() < 2 || value.front() != '{' || value.back() != '}')
        return std::nullopt;
    std::vector<std::string> out;
    std::string item;
    for (std::size_t i = 1; i + 1 < value.size(); ++i) {
        const char c = value[i];
        if (c == '{' || c == '}' || c == '"')
            return std::nullopt;
        if (c == ',') {
            out.push_back(item);
            item.clear();
        } else {
            item.push_back(c);
        }
    }
    out.push_back(item);
    return out;
}

bool isNumber(const std::string& text) {
    if (text.empty())
        return false;
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return end && *end == 0;
}

// Name, reference (0 or 1) and seven numbers.
bool validTransform(const std::vector<std::string>& e, const std::string& name) {
    if (e.size() != 9 || e[0] != name || (e[1] != "0" && e[1] != "1"))
        return false;
    for (std::size_t i = 2; i < e.size(); ++i)
        if (!isNumber(e[i]))
            return false;
    return true;
}

std::string join(const std::vector<std::string>& e) {
    std::string out = "{";
    for (std::size_t i = 0; i < e.size(); ++i)
        out += (i ? "," : "") + e[i];
    return out + "}";
}

struct TModelTraits {
    const char* model;
    std::vector<std::string> lacks;
    const char* datumOption; // "/par/opts/cur/_DTM"
};

// A smaller receiver: one PPS output, one event input, no heading, no P-code, one WAAS
// channel and only the two basic datums.
const TModelTraits kModels[] = {
    {"LUMIQ_E",
     {"/par/dev/pps/b", "/par/dev/event/b", "/par/hd", "/par/lock/pcode", "/par/waas/2"},
     "0"},
};

const TModelTraits* traits(const std::string& model) {
    for (const TModelTraits& t : kModels)
        if (model == t.model)
            return &t;
    return nullptr;
}

} // namespace

bool isSatList(const TParamTree& tree, const std::string& path) {
    for (const char* list : kSatLists)
        if (path == list)
            return tree.isLeaf(path + "/1");
    return false;
}

std::string printSatList(const TParamTree& tree, const std::string& path) {
    std::string out = "{";
    for (const std::string& leaf : satLeaves(tree, path))
        out += std::string(out.size() > 1 ? "," : "") + (tree.get(leaf) == "off" ? "n" : "y");
    return out + "}";
}

TSetResult setSatList(TParamTree& tree, const std::string& path, const std::string& value) {
    const std::vector<std::string> leaves = satLeaves(tree, path);
    const auto elements = flatList(value);
    if (!elements || elements->size() > leaves.size())
        return TSetResult::BadValue;
    for (const std::string& e : *elements)
        if (e != "y" && e != "n")
            return TSetResult::BadValue;
    for (std::size_t i = 0; i < elements->size(); ++i)
        tree.set(leaves[i], (*elements)[i] == "y" ? "on" : "off");
    return TSetResult::Ok;
}

std::optional<TSetResult> setDatum(TParamTree& tree, const std::string& path,
                                   const std::string& value) {
    if (path == "/par/pos/datum/P90/par") {
        const auto e = flatList(value);
        if (!e || !validTransform(*e, "P90"))
            return TSetResult::BadValue;
        // The ellipsoid stays; only the transformation is the user's.
        const std::string record = tree.get("/par/pos/datum/P90").value_or("");
        const std::string ellipsoid = record.substr(1, record.find('}') + 1 - 1);
        tree.force("/par/pos/datum/P90", "{" + ellipsoid + "," + join(*e) + "}");
        return TSetResult::Ok;
    }
    if (path == "/par/pos/datum/USER") {
        // {{U-,axis,invflat},{USER,ref,dX,dY,dZ,Rx,Ry,Rz,scale}}
        const std::size_t mid = value.find("},{");
        if (value.size() < 4 || value.compare(0, 2, "{{") != 0 ||
            value.compare(value.size() - 2, 2, "}}") != 0 || mid == std::string::npos)
            return TSetResult::BadValue;
        const auto ellipsoid = flatList(value.substr(1, mid));
        const auto transform = flatList(value.substr(mid + 2, value.size() - mid - 3));
        if (!ellipsoid || ellipsoid->size() != 3 || (*ellipsoid)[0] != "U-" ||
            !isNumber((*ellipsoid)[1]) || !isNumber((*ellipsoid)[2]) || !transform ||
            !validTransform(*transform, "USER"))
            return TSetResult::BadValue;
        tree.force(path, "{" + join(*ellipsoid) + "," + join(*transform) + "}");
        return TSetResult::Ok;
    }
    return std::nullopt;
}

bool modelLacks(const std::string& model, const std::string& path) {
    const TModelTraits* t = traits(model);
    if (!t)
        return false;
    for (const std::string& lacked : t->lacks)
        if (path == lacked || path.compare(0, lacked.size() + 1, lacked + "/") == 0)
            return true;
    return false;
}

std::optional<std::string> modelOption(const std::string& model, const std::string& path) {
    const TModelTraits* t = traits(model);
    if (t && path == "/par/opts/cur/_DTM")
        return t->datumOption;
    return std::nullopt;
}

} // namespace telvorsim
