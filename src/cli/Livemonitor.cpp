#include "cli/Livemonitor.h"

#include "app/Qtbridge.h"
#include "cli/Monitortext.h"
#include "monitor/Monitorstate.h"

#include <QEventLoop>
#include <ostream>

namespace telvor {

TLiveMonitor::TLiveMonitor(TProfile& profile, TQtBridge& bridge, std::ostream& out,
                           std::ostream& err, bool verbose, TOptions options)
    : TCliView(err, verbose, options.progress), bridge_(bridge), out_(out), err_(err),
      options_(options), session_(profile, *this),
      monitor_(session_, profile,
               TMainMonitor::THooks{[this](bool on) { setMonitorTimer(on); }, {}, {}}) {
    timer_.setInterval(1000);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(false); });
    // The input thread posts "SYNC" at each epoch end: the tick comes at once, as in the window.
    bridge_.setHandler(TWindowId::Main, [this](std::uint32_t code) {
        if (code == kSyncCode && timer_.isActive())
            tick(true);
    });
}

TLiveMonitor::~TLiveMonitor() {
    bridge_.setHandler(TWindowId::Main, nullptr);
}

void TLiveMonitor::setMonitorTimer(bool on) {
    if (on)
        timer_.start();
    else
        timer_.stop();
}

void TLiveMonitor::tick(bool epochEnd) {
    if (monitor_.tick() == TMonitorDisplay::TTick::Disconnected) {
        silent_ = true;
        return;
    }
    // The timer often ticks just before an epoch's end arrives, with that epoch half decoded:
    // once epoch ends come, only their ticks are printed, one block per epoch.
    sawEpochEnd_ = sawEpochEnd_ || epochEnd;
    if (sawEpochEnd_ && !epochEnd)
        return;
    const TMonitorView& view = monitor_.monitor().view();
    if (options_.json) {
        out_ << monitorViewJson(view) << "\n";
    } else {
        if (options_.clearScreen)
            out_ << "\033[H\033[J";
        out_ << monitorViewText(view) << "\n";
    }
    out_.flush();
    outputClosed_ = !out_;
}

int TLiveMonitor::run(int seconds, const std::function<bool()>& stopped) {
    if (!session_.connected())
        return 1;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (stopped() || silent_ || outputClosed_ || !session_.connected())
            loop.quit();
    });
    poll.start(50);
    if (seconds > 0)
        QTimer::singleShot(seconds * 1000, &loop, [&] { loop.quit(); });
    loop.exec();
    if (silent_ || !session_.connected()) {
        if (!monitor_.lostReason().empty())
            err_ << "Link lost: " << monitor_.lostReason() << ": disconnected" << std::endl;
        else
            err_ << "The receiver went silent: disconnected" << std::endl;
        return 1;
    }
    return 0;
}

} // namespace telvor
