#include "config/Receiverconfig.h"

namespace telvor {

void TReceiverConfig::refreshAll(TParamReader& in) {
    TWaitScope wait(host_, kQueryingText);
    for (TConfigPage* page : pages())
        page->refresh(in, host_);
}

bool TReceiverConfig::ok(TParamSink& out) {
    TWaitScope wait(host_, kSendingText);
    for (TConfigPage* page : pages())
        if (!page->apply(out, host_).ok)
            return false;
    return true;
}

bool TReceiverConfig::pendingChanges() {
    for (TConfigPage* page : pages())
        if (page->available() && page->changed())
            return true;
    return false;
}

} // namespace telvor
