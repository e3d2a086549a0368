#pragma once
// Initialising the receiver's file system, and the report on it, without the window: the start
// and its refusals, the progress polling, the memo and the saved file. TFormatForm and
// telvor-cli drive it.
#include "info/Receiverinfo.h"

#include <ctime>
#include <string>
#include <vector>

namespace telvor {

inline constexpr const char* kFsInitTitle = "Initialize File System";
inline constexpr const char* kFsInitQuestion =
    "This operation will erase all the files inside the receiver.\nIt may take up to 10 "
    "minutes, depending on the receiver memory size.\nDo you really wish to continue?";
inline constexpr const char* kFsInitWarning =
    "This is your last chance to cancel initializing the receiver's file system. Press Start "
    "to continue with initializing.";

class TFsInitView {
public:
    virtual ~TFsInitView() = default;
    // The warning, Start and Cancel (shown together at first).
    virtual void showStartControls(bool visible) = 0;
    virtual void setWarning(const std::string& text) = 0;
    // "Please, wait!" and its successors; empty hides the label.
    virtual void setWaitText(const std::string& text) = 0;
    virtual void showOk(bool visible, const std::string& caption, bool enabled) = 0;
    // Shows the bar and the status label: "<position> of <total>", or "??? of ???" when
    // `total` is negative.
    virtual void setProgress(int total, int position) = 0;
    virtual void fillProgress() = 0;
    // The report area moved into view, the buttons above it hidden.
    virtual void showReportArea() = 0;
    virtual void setReport(const std::vector<std::string>& lines) = 0;
    virtual void setStatus(const std::string& text) = 0;
    // Waits `ms` while the interface keeps working (Exit may be pressed meanwhile).
    virtual void wait(int ms) = 0;
};

// "{total,position}" as the receiver reports its progress; false unless it is a two-item list.
// A non-number reads as 100 for the total and 0 for the position.
bool parseFsInitProgress(const std::string& value, int& total, int& position);

// The memo of the report window; values come from `source` ("<unknown>" when unanswered).
std::vector<std::string> fileSystemReport(TParamSource& source);

// The saved report's text after its two heading lines: file system, physical memory and the
// read/write statistics ("%%print,stat/rw", read whole).
std::string fileSystemReportFile(TParamSource& source);

class TFsInit {
public:
    explicit TFsInit(TFsInitView& view) : view_(view) {}

    // Start: the command, then the polling until the receiver is done or Exit is pressed,
    // then the report. False when the receiver refused or did not answer.
    bool start();
    // The OK/Exit button: ends the polling while it runs.
    void okPressed() { stopRequested_ = true; }
    bool finished() const { return finished_; }
    bool canClose() const { return finished_; }
    // "Refresh".
    void refresh();
    // "Save to file" into `path` (empty: cancelled). The status tells how it went.
    bool save(const std::string& path, const std::string& headerLines);
    // Milliseconds between progress reads; the receiver is otherwise asked back to back.
    void setPollPause(int ms) { pollPauseMs_ = ms; }

private:
    TFsInitView& view_;
    bool finished_ = true;
    bool stopRequested_ = false;
    int pollPauseMs_ = 100;
};

} // namespace telvor
