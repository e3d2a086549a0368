#pragma once
// The rules of the About window without the window: which parts show, what Refresh collects,
// and the two ways of saving the report. The window (TAboutForm) and tests drive it.
#include "info/Receiverinfo.h"
#include "info/Reportfile.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace telvor {

class TProfile;

// The program the window describes.
struct TProgramInfo {
    std::string name;      // "Telvor"
    std::string version;   // the project's version
    std::string buildDate; // "October 10, 2006"
};

// What the window needs to know of the session; the main window and telvor-cli provide it.
class TAboutContext {
public:
    virtual ~TAboutContext() = default;
    virtual bool connected() const = 0;
    virtual int firmwareVersion() const = 0;
    // A client of the sharing server is being served: the receiver is not ours to question.
    virtual bool servingSharingClient() const = 0;
};

class TAboutView {
public:
    virtual ~TAboutView() = default;
    // The receiver panel and its buttons.
    virtual void showReceiverPanel(bool visible) = 0;
    virtual void setMemo(const std::vector<std::string>& lines) = 0;
    virtual void setStatus(const std::string& text) = 0;
    // Non-modal, while the values are collected.
    virtual void showNotice(const std::string& text) = 0;
    virtual void closeNotice() = 0;
    // A save dialog starting in `folder` with `proposed` as the name; empty when cancelled.
    virtual std::string askSaveFile(const std::string& folder, const std::string& proposed) = 0;
};

class TAboutLogic {
public:
    TAboutLogic(TAboutView& view, const TAboutContext& context, const TProfile& profile,
                TProgramInfo program);

    // Receiver values come from the connected receiver unless a test gives its own.
    void setSource(std::unique_ptr<TParamSource> source) { source_ = std::move(source); }
    // The clock of the header lines.
    void setClock(std::function<std::tm()> clock) { clock_ = std::move(clock); }

    const std::string& versionLabel() const { return label_; }
    bool panelVisible() const;

    // The window is shown: the panel, and the memo when it is visible.
    void start();
    void refresh();
    void saveToFile();
    void report();

private:
    void save(TReportKind kind, const std::string& proposed);

    TAboutView& view_;
    const TAboutContext& context_;
    const TProfile& profile_;
    TProgramInfo program_;
    std::string label_;
    std::unique_ptr<TParamSource> source_;
    std::function<std::tm()> clock_;
    bool busy_ = false;
};

} // namespace telvor
