#pragma once
// The one way the core reaches the user-interface thread. The app implements it with Qt
// (queued and blocking-queued invocations); tests and telvor-cli use TPlainBridge.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace telvor {

// Windows that receive posted codes.
enum class TWindowId { Main, Debug, RealTime, FileManager, Tcp, Terminal };

// Four-letter codes in memory order, e.g. fourcc("SYNC").
constexpr std::uint32_t fourcc(std::string_view s) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(s[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[3])) << 24;
}

// The codes posted across threads; every poster and handler names them from here.
// An epoch ended (the logging window also hears its start): run the display tick.
inline constexpr std::uint32_t kSyncCode = fourcc("SYNC");
// Reset the receiver and connect again.
inline constexpr std::uint32_t kResetCode = fourcc("REST");
// The configuration window chose the defaults: initialise the parameters and connect again.
inline constexpr std::uint32_t kSetDefaultsCode = fourcc("SDEF");
// The logging window opened with auto start: start logging after its first timer step.
inline constexpr std::uint32_t kAutoStartCode = fourcc("AUTO");
// A conversion thread of the logging window has ended.
inline constexpr std::uint32_t kConversionEndedCode = fourcc("DETH");
// To the debug window: an error waits in its pending slot (TDebugCore::takePendingError).
inline constexpr std::uint32_t kPendingErrorCode = fourcc("PERR");

class TUiBridge {
public:
    virtual ~TUiBridge() = default;
    // Queued: returns at once; the window's handler runs later on the UI thread.
    virtual void post(TWindowId target, std::uint32_t code) = 0;
    // Runs `fn` on the UI thread and waits for it. Never call while holding the main lock.
    virtual void runSync(const std::function<void()>& fn) = 0;
    // Runs what is pending for the UI thread (called inside long waits on the UI thread).
    virtual void processEvents() = 0;
    // Waits up to `ms` for work of the UI thread and runs it, returning as soon as some ran:
    // a wait for a socket's bytes then ends when they come, not at the next polling step.
    virtual void waitForEvents(int ms);
    virtual bool isUiThread() const = 0;
    // A failure the user must see: a message box in the window program, standard error
    // elsewhere. Returns at once; any thread.
    virtual void showError(const std::string& title, const std::string& text);
};

// The bridge in force; a TPlainBridge unless the app installed its own.
TUiBridge& uiBridge();
void setUiBridge(TUiBridge* bridge);

// Plain bridge: the thread that created it is the UI thread; posted codes and synchronous
// calls from other threads wait in a queue until that thread calls processEvents().
class TPlainBridge : public TUiBridge {
public:
    using Handler = std::function<void(std::uint32_t code)>;

    TPlainBridge();
    void setHandler(TWindowId target, Handler handler);

    void post(TWindowId target, std::uint32_t code) override;
    void runSync(const std::function<void()>& fn) override;
    void processEvents() override;
    void waitForEvents(int ms) override;
    bool isUiThread() const override;

    // Processes events until `done` returns true or `timeoutMs` passes; true when done.
    bool processUntil(const std::function<bool()>& done, int timeoutMs);

private:
    struct Item {
        std::function<void()> fn;
        bool* finished = nullptr; // set for synchronous calls
    };
    std::thread::id uiThread_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Item> queue_;
    std::map<TWindowId, Handler> handlers_;
};

} // namespace telvor
