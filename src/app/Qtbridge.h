#pragma once
// The bridge of the programs built on Qt (telvor and telvor-cli): posted codes become queued
// calls on the thread that owns the bridge, synchronous calls block the calling thread until
// that thread has run them, and long waits pump the Qt event loop.
#include "protocol/Bridge.h"

#include <QObject>
#include <functional>
#include <map>
#include <mutex>

namespace telvor {

class TQtBridge : public QObject, public TUiBridge {
    Q_OBJECT
public:
    using Handler = std::function<void(std::uint32_t code)>;

    // Installs itself with setUiBridge; the previous bridge comes back on destruction.
    explicit TQtBridge(QObject* parent = nullptr);
    ~TQtBridge() override;

    void setHandler(TWindowId target, Handler handler);

    void post(TWindowId target, std::uint32_t code) override;
    void runSync(const std::function<void()>& fn) override;
    void processEvents() override;
    void waitForEvents(int ms) override;
    bool isUiThread() const override;
    // Without a handler (telvor-cli) errors go to standard error.
    using ErrorHandler = std::function<void(const std::string& title, const std::string& text)>;
    void setErrorHandler(ErrorHandler handler) { errorHandler_ = std::move(handler); }
    void showError(const std::string& title, const std::string& text) override;

private:
    void deliver(TWindowId target, std::uint32_t code);

    std::mutex mutex_;
    std::map<TWindowId, Handler> handlers_;
    TUiBridge* previous_;
    ErrorHandler errorHandler_;
};

} // namespace telvor
