#pragma once
// The session's view on a terminal: status texts go to standard error (on a terminal, or with
// --verbose), notices with --verbose; questions get their safe answer, the connection dialog
// is skipped.
#include "app/Session.h"

#include <iosfwd>

namespace telvor {

class TCliView : public TSessionView {
public:
    TCliView(std::ostream& err, bool verbose, bool progress)
        : err_(err), verbose_(verbose), progress_(progress || verbose) {}

    void setStatusLine(const std::string& text) override;
    void setStatusPanel(const std::string&) override {}
    void setTitle(const std::string&, const std::string&) override {}
    void showSearch(bool) override {}
    void setProgress(int, int) override {}
    void enableMainMenus(bool) override {}
    void enableItem(TMenuItem, bool) override {}
    void showDisplayData(bool) override {}
    bool runConnectDialog() override { return true; }
    TBoxResult messageBox(const std::string& title, const std::string& text, TBoxButtons buttons,
                          TBoxIcon icon) override;
    void showNotice(const std::string& text) override;
    void closeNotice() override {}
    void setMonitorTimer(bool) override {}
    void setElapsedTimer(bool) override {}
    void post(TSessionCommand) override {}

private:
    std::ostream& err_;
    bool verbose_;
    bool progress_;
    std::string last_;
};

} // namespace telvor
