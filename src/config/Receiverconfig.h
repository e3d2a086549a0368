#pragma once
// The rules of the receiver configuration window without the window: its pages in their
// order, one wait window for the first refresh of all of them, OK applying the changed pages
// until one fails. No Qt.
#include "config/Generalconfig.h"

#include <vector>

namespace telvor {

class TReceiverConfig {
public:
    explicit TReceiverConfig(TConfigHost& host) : host_(host) {}

    TGeneralPage General;

    // The pages in refresh and apply order; later pages join as they are built.
    std::vector<TConfigPage*> pages() { return {&General}; }

    void refreshAll(TParamReader& in);
    // True when every changed page was written (the window then closes); otherwise the
    // failing page is shown with its text in the status bar.
    bool ok(TParamSink& out);
    // Some page holds changes not yet applied.
    bool pendingChanges();

private:
    TConfigHost& host_;
};

} // namespace telvor
