#pragma once
// A session view that records what the session shows, with scripted answers.
#include "app/Session.h"

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace telvor::test {

class TFakeView : public TSessionView {
public:
    struct TBox {
        std::string title, text;
    };

    void setStatusLine(const std::string& text) override {
        if (!text.empty())
            status.push_back(text);
        statusLine = text;
    }
    void setStatusPanel(const std::string& text) override { panel = text; }
    void setTitle(const std::string& t, const std::string&) override { title = t; }
    void showSearch(bool visible) override { searchShown = visible; }
    void setProgress(int, int position) override { progress = position; }
    void enableMainMenus(bool on) override { menusEnabled = on; }
    void enableItem(TMenuItem item, bool on) override { items[item] = on; }
    void showDisplayData(bool) override {}
    bool runConnectDialog() override {
        ++dialogs;
        if (onDialog)
            onDialog();
        return dialogAnswer;
    }
    TBoxResult messageBox(const std::string& t, const std::string& text, TBoxButtons,
                          TBoxIcon) override {
        boxes.push_back({t, text});
        return boxAnswer;
    }
    void showNotice(const std::string& text) override { notices.push_back(text); }
    void closeNotice() override {}
    void setMonitorTimer(bool on) override { monitorTimer = on; }
    void setElapsedTimer(bool) override {}
    void post(TSessionCommand command) override { posted.push_back(command); }
    void setElevationMask(int degrees) override { elevationMasks.push_back(degrees); }

    bool saw(const std::string& text) const {
        return std::find(status.begin(), status.end(), text) != status.end();
    }
    int count(const std::string& prefix) const {
        return int(std::count_if(status.begin(), status.end(),
                                 [&](const std::string& s) { return s.rfind(prefix, 0) == 0; }));
    }

    std::vector<std::string> status;
    std::string statusLine, panel, title;
    bool searchShown = false, menusEnabled = true, monitorTimer = false;
    int progress = 0, dialogs = 0;
    bool dialogAnswer = true;
    TBoxResult boxAnswer = TBoxResult::Ok;
    std::map<TMenuItem, bool> items;
    std::vector<TBox> boxes;
    std::vector<std::string> notices;
    std::vector<TSessionCommand> posted;
    std::vector<int> elevationMasks;
    std::function<void()> onDialog; // runs while the dialog would be up // each copy of the
                                    // position mask the plots were given
};

} // namespace telvor::test
