#pragma once
// The parameter fake that also takes commands (em, dm) and pauses, recorded in one list with
// the sets so a test sees their order.
#include "config/Fakeparams.h"
#include "config/Page.h"

namespace telvor::testing {

class TFakeReceiver : public TFakeParams {
public:
    bool set(const std::string& path, const std::string& value) override {
        const bool ok = TFakeParams::set(path, value);
        if (ok)
            lines.push_back("set," + path + "," + value);
        return ok;
    }
    bool command(const std::string& text) override {
        if (refusedCommands.count(text.substr(0, text.find(','))) || refusedCommands.count(text))
            return false;
        lines.push_back(text);
        return true;
    }
    void pause(int ms) override { lines.push_back("pause " + std::to_string(ms)); }

    std::set<std::string> refusedCommands; // a verb ("dm") or a whole command
    std::vector<std::string> lines;
};

class TQuietHost : public TConfigHost {
public:
    bool waitShown() const override { return false; }
    void showWait(const std::string&) override {}
    void closeWait() override {}
    void setStatus(const std::string& text) override { status = text; }
    void showPage(const std::string& page) override { shown = page; }
    std::string status, shown;
};

} // namespace telvor::testing
