#include "app/Qtbridge.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace telvor {

TQtBridge::TQtBridge(QObject* parent) : QObject(parent), previous_(&uiBridge()) {
    setUiBridge(this);
}

TQtBridge::~TQtBridge() {
    if (&uiBridge() == this)
        setUiBridge(previous_);
}

void TQtBridge::setHandler(TWindowId target, Handler handler) {
    std::lock_guard lock(mutex_);
    handlers_[target] = std::move(handler);
}

void TQtBridge::deliver(TWindowId target, std::uint32_t code) {
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        auto it = handlers_.find(target);
        if (it != handlers_.end())
            handler = it->second;
    }
    if (handler)
        handler(code);
}

void TQtBridge::post(TWindowId target, std::uint32_t code) {
    QMetaObject::invokeMethod(
        this, [this, target, code] { deliver(target, code); }, Qt::QueuedConnection);
}

void TQtBridge::showError(const std::string& title, const std::string& text) {
    if (!errorHandler_) {
        TUiBridge::showError(title, text);
        return;
    }
    // Queued: the box must not open inside the write that failed.
    QMetaObject::invokeMethod(
        this, [this, title, text] { errorHandler_(title, text); }, Qt::QueuedConnection);
}

void TQtBridge::runSync(const std::function<void()>& fn) {
    if (isUiThread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(
        this, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
}

void TQtBridge::processEvents() {
    if (isUiThread())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TQtBridge::waitForEvents(int ms) {
    if (!isUiThread()) {
        TUiBridge::waitForEvents(ms);
        return;
    }
    // The timer only bounds the wait; whatever comes first ends it.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(ms);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool TQtBridge::isUiThread() const {
    return QThread::currentThread() == thread();
}

} // namespace telvor
