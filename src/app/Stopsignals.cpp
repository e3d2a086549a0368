#include "app/Stopsignals.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace telvor {
namespace {

int gPipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int sig) {
    const unsigned char byte = static_cast<unsigned char>(sig);
    // Nothing else is safe here; a full pipe already holds a request.
    (void)!::write(gPipe[1], &byte, 1);
}

} // namespace

TStopSignals::TStopSignals(std::function<void(int)> onStop) : onStop_(std::move(onStop)) {
    if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(gPipe[0], &byte, 1) == 1)
            if (onStop_)
                onStop_(byte);
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : kSignals)
        ::sigaction(sig, &sa, nullptr);
}

TStopSignals::~TStopSignals() {
    for (int sig : kSignals)
        std::signal(sig, SIG_DFL);
    delete notifier_;
    for (int& fd : gPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

} // namespace telvor
