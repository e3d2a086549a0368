#pragma once
// The file manager's "Current log file" page without widgets: what the receiver records into,
// its size, and starting and stopping recording into a receiver file.
#include "config/Control.h"
#include "files/Filelist.h"

#include <string>
#include <vector>

namespace telvor {

class TProfile;

class TLogPageView {
public:
    virtual ~TLogPageView() = default;
    virtual void setStatus(const std::string& text) = 0;
    virtual void setFree(const std::string& text) = 0; // "Free memory: ... bytes"
    // The one-second refresh of the page.
    virtual void setTimer(bool on) = 0;
    virtual bool logPageShown() const = 0;
    virtual bool askYesNo(const std::string& title, const std::string& text) = 0;
    // The file list: a whole refresh, its rows, and showing them again after a change.
    virtual void refreshList() = 0;
    virtual std::vector<TFileEntry>& entries() = 0;
    virtual void showRows() = 0;
    virtual void enableDelete(bool on) = 0;
};

// "" when `name` may name a receiver file, else the text the page shows.
std::string CheckRecordingName(const std::string& name);
// "Size: 977K" above 999999 bytes, else "Size: <bytes>".
std::string SizeText(long long bytes);

class TRecordingControl {
public:
    // `interval` is the main window's recording interval: the page starts from it and writes
    // the checked value back.
    TRecordingControl(TLogPageView& view, TProfile& profile, std::string& interval);

    TControl StartButton{"ButtonOK", TControlKind::Button}; // "St&art" on this page
    TControl ButtonStop{"ButtonStop", TControlKind::Button};
    TControl CurrentFileLabel{"CurrentFileLabel", TControlKind::Label};
    TControl CurrentSizeLabel{"CurrentSizeLabel", TControlKind::Label};
    TControl RecordingIntervalEdit{"RecordingIntervalEdit", TControlKind::Edit};
    TControl ElevationMaskEdit{"ElevationMaskEdit", TControlKind::Edit};
    TControl FileNameEdit{"FileNameEdit", TControlKind::Edit};
    std::vector<TControl*> controls();

    // The page comes to the front: the elevation mask for files, then a refresh.
    void enter();
    // The page's refresh; `fromTimer` may refresh the whole list once to find the file.
    void refresh(bool fromTimer = false);
    // "St&art" and "Sto&p". True when recording started / stopped.
    bool start();
    bool stop();
    // A double click on a listed file on this page.
    void chooseFile(const std::string& name) { FileNameEdit.setText(name); }

    bool recording() const { return recording_; }
    // Shown in the overwrite question's title.
    std::string title = "Telvor";

private:
    void showIdle(const std::string& file);
    void enableFor(bool recording);
    void restartTimer();
    bool synchronised();
    void showSize(const std::string& file, bool fromTimer);

    TLogPageView& view_;
    TProfile& profile_;
    std::string& interval_;
    bool recording_ = false;
};

} // namespace telvor
