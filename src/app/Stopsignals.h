#pragma once
// SIGTERM (logout, kill), SIGINT and SIGHUP reach the event loop as a call, so that the program
// ends through its normal close: the receiver gets its elevation mask back, settings are
// written. A handler only writes a byte into a pipe; a socket notifier reads it.
#include <QObject>
#include <functional>

class QSocketNotifier;

namespace telvor {

class TStopSignals : public QObject {
public:
    // One instance at a time; `onStop` runs on the event loop's thread for each signal.
    explicit TStopSignals(std::function<void(int signal)> onStop);
    ~TStopSignals() override;

private:
    std::function<void(int)> onStop_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace telvor
