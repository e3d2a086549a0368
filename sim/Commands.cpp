// The receiver's commands: one handler per verb, found through `kCommands`.
#include "sim/Engine.h"

#include "sim/Paramsconfig.h"

namespace telvorsim {

const TEngine::TCommandEntry TEngine::kCommands[] = {
    {"print", 2, &TEngine::cmdPrint},
    {"set", 3, &TEngine::cmdSet},
    {"em", 3, &TEngine::cmdEm},
    {"dm", 3, &TEngine::cmdDm},
    {"out", 3, &TEngine::cmdOut},
    {"init", 2, &TEngine::cmdInit},
    {"get", 3, &TEngine::cmdGet},
    {"create", 2, &TEngine::cmdCreate},
    {"remove", 2, &TEngine::cmdRemove},
    {"event", 2, &TEngine::cmdEvent},
    {nullptr, 0, nullptr},
};

namespace {

const char* setError(TSetResult r) {
    switch (r) {
    case TSetResult::UnknownPath:
        return "Unknown parameter";
    case TSetResult::BadValue:
        return "Invalid value";
    case TSetResult::ReadOnly:
        return "Read only parameter";
    case TSetResult::Ok:
        break;
    }
    return "";
}

} // namespace

// print,<path>[:on] ; print,<path>&def ; print,/cur/term
TEngine::TResult TEngine::cmdPrint(const std::vector<std::string>& args) {
    if (args.size() < 2 || args[1].empty())
        return {false, "Missing parameter name", nullptr};
    if (auto files = printFiles(args[1]))
        return *files;
    std::string path = args[1];
    std::size_t colon = path.rfind(':');
    if (colon != std::string::npos && colon > 0 && path.substr(colon + 1) == "on")
        path.resize(colon);
    for (const std::string& omitted : options_.omit)
        if (path == omitted)
            return {false, "Unknown parameter " + args[1], nullptr};
    if (path == "/cur/term" || path == "cur/term")
        return {true, port_, nullptr};
    std::string attr;
    std::size_t amp = path.find('&');
    if (amp != std::string::npos) {
        attr = path.substr(amp + 1);
        path.resize(amp);
    }
    std::string full = path == "/" ? "/" : normalise(path);
    if (modelLacks(options_.model, full))
        return {false, "Unknown parameter " + args[1], nullptr};
    if (auto option = modelOption(options_.model, full); option && attr.empty())
        return {true, *option, nullptr};
    if (attr == "def") {
        if (auto v = params_.getDefault(full))
            return {true, *v, nullptr};
        return {false, "Unknown parameter " + args[1], nullptr};
    }
    if (!attr.empty()) {
        if (auto v = params_.get(full + "&" + attr))
            return {true, *v, nullptr};
        return {false, "Unknown parameter " + args[1], nullptr};
    }
    // Message outputs: /par/out/<port> and /par/out/<port>/vxr/<name>.
    if (full.compare(0, 8, "/par/out") == 0) {
        std::string rest = full.substr(8);
        if (isPort(rest))
            return {true, outputs_.print(rest), nullptr};
        std::size_t vxr = rest.find("/vxr/");
        if (vxr != std::string::npos && isPort(rest.substr(0, vxr))) {
            std::string name = rest.substr(vxr + 5);
            if (findMessage(name))
                return {true, outputs_.printOne(rest.substr(0, vxr), name), nullptr};
        }
    }
    // A message set's expansion: /msg/rtk/vxr/min.
    if (full.compare(0, 5, "/msg/") == 0) {
        std::vector<TMsgItem> items;
        if (messageSet(std::string_view(full).substr(5), items)) {
            TOutputs set;
            set.enable("set", items);
            return {true, set.print("set"), nullptr};
        }
    }
    if (params_.isLeaf(full))
        return {true, *params_.get(full), nullptr};
    if (isSatList(params_, full))
        return {true, printSatList(params_, full), nullptr};
    if (params_.isNode(full))
        return {true, params_.printNode(full), nullptr};
    return {false, "Unknown parameter " + args[1], nullptr};
}

// set,<path>,<value> ; set,reset,yes
TEngine::TResult TEngine::cmdSet(const std::vector<std::string>& args) {
    if (args.size() < 3)
        return {false, "Missing value", nullptr};
    std::string path = normalise(args[1]);
    const std::string& value = args[2];
    if (path == "/par/reset") {
        if (value != "yes")
            return {false, "Invalid value", nullptr};
        return {true, "", [this] { host_.restartAfterOutput(false); }};
    }
    // The satellite lists are also taken with a trailing slash.
    if (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (modelLacks(options_.model, path))
        return {false, "Unknown parameter " + args[1], nullptr};
    TSetResult r = isSatList(params_, path)
                       ? setSatList(params_, path, value)
                       : setDatum(params_, path, value).value_or(TSetResult::UnknownPath);
    if (r == TSetResult::UnknownPath)
        r = params_.set(path, value);
    if (r != TSetResult::Ok)
        return {false, std::string(setError(r)) + " " + args[1], nullptr};
    if (path == "/par" + port_ + "/rate") {
        unsigned rate = static_cast<unsigned>(std::stoul(value));
        return {true, "", [this, rate] { host_.switchRateAfterOutput(rate); }};
    }
    if (path == "/par/pos/pd/reset")
        params_.force(path, "off"); // the engine resets at once and reads back off
    return {true, "", nullptr};
}

// em,<port>,<list>
TEngine::TResult TEngine::cmdEm(const std::vector<std::string>& args) {
    std::string port, error;
    if (!portArg(args.size() > 1 ? args[1] : "", port))
        return {false, "Unknown port " + args[1], nullptr};
    if (args.size() < 3)
        return {false, "Missing message list", nullptr};
    std::vector<TMsgItem> items;
    if (!parseMessageList(args[2], items, error))
        return {false, error, nullptr};
    if (port == "/cur/log")
        return startRecording(items);
    outputs_.enable(port, items);
    if (args[2].rfind("def", 0) == 0)
        newMessageSet_ = true;
    return {true, "", nullptr};
}

// dm ; dm,<port> ; dm,<port>,<list>
TEngine::TResult TEngine::cmdDm(const std::vector<std::string>& args) {
    std::string port, error;
    if (!portArg(args.size() > 1 ? args[1] : "", port))
        return {false, "Unknown port " + args[1], nullptr};
    if (args.size() < 3 || args[2].empty()) {
        outputs_.disable(port);
    } else {
        std::vector<TMsgItem> items;
        if (!parseMessageList(args[2], items, error))
            return {false, error, nullptr};
        outputs_.disable(port, items);
    }
    if (port == "/cur/log" && outputs_.enabled(port).empty())
        stopRecording();
    return {true, "", nullptr};
}

// out,<port>,<list>: the listed messages once, now.
TEngine::TResult TEngine::cmdOut(const std::vector<std::string>& args) {
    std::string port, error;
    if (!portArg(args.size() > 1 ? args[1] : "", port))
        return {false, "Unknown port " + args[1], nullptr};
    std::vector<TMsgItem> items;
    if (args.size() < 3 || !parseMessageList(args[2], items, error))
        return {false, error.empty() ? "Missing message list" : error, nullptr};
    if (port != port_)
        return {true, "", nullptr};
    return {true, "", [this, items] {
                std::vector<TOutputs::TDue> due;
                for (auto& def : messageTable())
                    for (auto& item : items)
                        if (item.name == def.name)
                            due.push_back({&def, false});
                emitEpoch(last_, due, true);
            }};
}

// init,/par/[subtree] ; init,/dev/nvm/a
TEngine::TResult TEngine::cmdInit(const std::vector<std::string>& args) {
    if (args.size() < 2 || args[1].empty())
        return {false, "Missing object name", nullptr};
    std::string path = args[1];
    if (path == "/dev/nvm/a")
        return {true, "", [this] { host_.restartAfterOutput(true); }};
    if (path == "/dev/blk/a") {
        files_.startInit();
        return {true, "", nullptr};
    }
    std::string full = normalise(path);
    if (full.size() > 1 && full.back() == '/')
        full.pop_back();
    if (full != "/par" && !params_.isNode(full) && !params_.isLeaf(full))
        return {false, "Unknown parameter " + path, nullptr};
    unsigned before = portRate();
    params_.restoreDefaults(full);
    if (full == "/par" || full == "/par/out")
        outputs_.clear(); // message outputs are parameters too
    unsigned after = portRate();
    if (after != before)
        return {true, "", [this, after] { host_.switchRateAfterOutput(after); }};
    return {true, "", nullptr};
}

} // namespace telvorsim
