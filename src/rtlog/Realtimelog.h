#pragma once
// The rules of the real-time logging window without its widgets: the start and stop
// sequences, single and multiple files switched on receiver time, and the hand-over of the
// stream between the active, prepared and closing files. TLogDriver (Logdriver.h) drives it;
// the input thread writes through it as the real-time sink.
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "rtlog/Lognames.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace telvor {

class FileAccess;
class TFileQuestions;
class TProfile;
class TConvertThread;

// What the logging engine needs from whoever shows it (window or telvor-cli). UI thread.
class TRealTimeHost {
public:
    virtual ~TRealTimeHost() = default;
    virtual void setStatus(const std::string& text) = 0;
    // Yes/No box, caption "Real-Time Logging".
    virtual bool confirm(const std::string& text) = 0;
    // The append-or-overwrite question of a single file; null: append silently.
    virtual TFileQuestions* fileQuestions() { return nullptr; }
    // After Stop: the window goes back to monitoring, telvor-cli to idle.
    virtual void afterStop() {}
    // The monitor tick of the reduced monitor, at most every 500 ms while the timer runs.
    virtual void monitorTick() {}
    // "Please wait while Telvor is converting the last file to RINEX format" while Stop waits.
    virtual void showConvertWait(bool /*visible*/) {}
    // One slice of that wait: the user interface keeps running (pending events, painting).
    virtual void waitSlice();
    virtual void labelsChanged() {}
};

struct TLogOptions {
    bool multiple = false;
    std::string folder; // "OutputPath"; relative names are taken from the current folder
    std::string singleName = "Output.vxr";
    std::string prefix;
    int granularity = 1; // 0 minutes, 1 hours, 2 days
    int numbering = 0;   // 0 "Ascending Count", 1 "Date & Time"
    bool overwrite = false;
    bool convert = false;
    // The window remembers a multiple-file run so that it starts again after a restart.
    bool rememberAutoRun = true;
};

// The edit texts Start checks, in the order it checks them.
struct TStartRequest {
    std::string elevationMask; // always sent; one the receiver refuses stops the start
    std::string interval = "1";
    std::string startCount = "0";
    std::string period = "1";
    TLogOptions options;
};

// Why Start refused: the edit to put the focus on, or what else failed.
enum class TStartFault {
    None,
    ElevationMask,
    Interval,
    StartCount,
    Period,
    Receiver,
    Cancelled,
    File
};

class TRealTimeLog : public TRealTimeSink {
public:
    static constexpr std::uint32_t kSwitchTimeoutMs = 10000;

    TRealTimeLog(TRealTimeHost& host, TProfile& profile);
    ~TRealTimeLog() override;
    TRealTimeLog(const TRealTimeLog&) = delete;
    TRealTimeLog& operator=(const TRealTimeLog&) = delete;

    // Installs this engine as the input thread's real-time sink (and removes it again).
    void attach();
    void detach();
    // How long a prepared file waits for the marker's reply; tests shorten it.
    void setSwitchTimeoutMs(std::uint32_t ms) { switchTimeoutMs_ = ms; }

    // ButtonStartClick while not running. False with the reason in the status.
    bool start(TStartRequest request);
    // ButtonStartClick while running, or a write error. `wait`: for the last conversion.
    void stop(bool wait);
    // Every 1000 ms and on "SYNC".
    void timerStep();
    // Makes the prepared file active; input thread (marker reply, "QF") or the timer.
    void switchFiles();
    // "DETH": conversion workers that ended are reported and freed.
    void conversionsEnded();

    bool running() const { return running_.load(); }
    TStartFault fault() const { return fault_; }
    // The write error that ended the last run (any file of it, also at its close); empty when
    // the run was stopped.
    std::string failure() const;
    // The texts Start wrote back into its edits.
    const TStartRequest& request() const { return request_; }
    std::string currentFileName() const;
    std::uint64_t bytesWritten() const { return bytesWritten_.load(); }
    std::string bytesLabel() const;
    std::string elapsedLabel() const;
    double receiverSeconds() const;
    std::int64_t nextBoundary() const { return nextBoundary_; }
    int startCount() const { return startCount_; }
    bool hasPrepared() const;
    int conversionsRunning() const;

    // TRealTimeSink: input thread, under the main lock.
    void WriteData(const std::uint8_t* data, std::size_t count) override;
    void NextFile() override { switchFiles(); }
    void OnReceiverDate(const std::uint8_t* fiveBytes) override;
    void OnReceiverTime(std::uint32_t ms) override;
    void OnPlaybackTimer() override { timerStep(); }

    // Date-name epoch of the next file, from the receiver clock now.
    TNameEpoch nextFileEpoch() const;

private:
    struct TLogFile {
        std::unique_ptr<FileAccess> file;
        std::int64_t firstTimeMs = -1; // time of day of its first "~~"
        TRxDate firstDate;             // its first "RD"
    };

    bool checkInputs(TStartRequest& r, double& interval);
    std::string prepareName();
    bool prepareFile();
    void closeFile(TLogFile file, bool wait);
    void closeClosing(bool wait);
    void discardPrepared();
    bool refuse(TStartFault fault, const std::string& text);
    void noteFailure(const std::string& text);
    std::string finalDateName(const TLogFile& file) const;
    void startWorker(const std::string& target, int tasks, const std::string& mergeSource,
                     bool wait);
    std::string startCommand() const;
    double receiverSecondsLocked() const;

    TRealTimeHost& host_;
    TProfile& profile_;
    TStartRequest request_;
    TLogOptions opt_;
    double interval_ = 1;
    int period_ = 1;
    int unit_ = 3600;

    mutable std::mutex fileLock_; // after the main lock
    TLogFile active_;
    std::unique_ptr<FileAccess> prepared_;
    std::uint32_t preparedTick_ = 0;
    std::uint32_t switchTimeoutMs_ = kSwitchTimeoutMs;
    std::deque<TLogFile> closing_;
    std::string currentFileName_;
    std::string failure_; // under fileLock_
    TStartFault fault_ = TStartFault::None;
    std::int64_t timeOfDayMs_ = -1;
    TRxDate date_;
    int dayCounter_ = -1;

    std::atomic<bool> running_{false};
    std::atomic<std::uint64_t> bytesWritten_{0};
    std::atomic<std::uint32_t> startTick_{0};
    std::uint32_t labelTick_ = 0;
    int startCount_ = 0;
    std::int64_t nextBoundary_ = -1;
    bool attached_ = false;
    std::vector<std::unique_ptr<TConvertThread>> workers_;
};

// The monitor list of the logging window: the reduced monitor, the epoch end, and the
// satellite views and positions only while their plot windows show them.
std::string realTimeMonitorList(bool satellitesPlot, bool positionPlots);
// Monitoring with that list: the receiver clock runs before Start.
void beginRealTimeMonitor(bool satellitesPlot, bool positionPlots);

// The settings the window reads at opening, as a request.
TStartRequest readLogSettings(const TProfile& profile);
// Start and the close store the options and edits of `request`; a period that is no whole
// number of at least 0 leaves the stored one, 0 is stored as 1.
void saveLogSettings(TProfile& profile, const TStartRequest& request);

} // namespace telvor
