#pragma once
// The file manager's "Current log file" page: the current file and its size, the interval,
// elevation mask and file name of a new recording, "Sto&p" and "&Site parameters", and the
// one-second refresh. The rules are TRecordingControl's; the form lends its list, status bar
// and ButtonOK ("St&art" here).
#include "files/Filemanager.h"
#include "files/Recording.h"

#include <QWidget>

#include <functional>

class QGridLayout;
class QTimer;

namespace telvor {

class TWidgetBinder;

class TLogSheet : public QWidget, private TLogPageView {
    Q_OBJECT
public:
    // What the form does for the page.
    struct THost {
        std::function<void(const std::string&)> setStatus;
        std::function<void(const std::string&)> setFree;
        std::function<bool()> shown;
        std::function<bool(const std::string&, const std::string&)> askYesNo;
        std::function<void()> showRows;
        std::function<void(bool)> enableDelete;
    };
    TLogSheet(TProfile& profile, TFileManager& files, THost host, QWidget* parent = nullptr);
    ~TLogSheet() override;

    TRecordingControl& control() { return control_; }
    // The main window's recording interval: in before the page is used, out after.
    void setInterval(const std::string& interval);
    const std::string& interval() const { return interval_; }
    // Where the shared file list sits while this page is shown.
    QGridLayout* listSlot() const { return slot_; }
    void stopTimer();
    void resumeTimer();

private:
    // TLogPageView
    void setStatus(const std::string& text) override { host_.setStatus(text); }
    void setFree(const std::string& text) override { host_.setFree(text); }
    void setTimer(bool on) override;
    bool logPageShown() const override { return host_.shown(); }
    bool askYesNo(const std::string& title, const std::string& text) override {
        return host_.askYesNo(title, text);
    }
    void refreshList() override { files_.refreshList(); }
    std::vector<TFileEntry>& entries() override { return files_.entries(); }
    void showRows() override { host_.showRows(); }
    void enableDelete(bool on) override { host_.enableDelete(on); }

    TProfile& profile_;
    TFileManager& files_;
    THost host_;
    std::string interval_;
    TRecordingControl control_;
    TWidgetBinder* binder_;
    QGridLayout* slot_;
    QTimer* timer_;
};

} // namespace telvor
