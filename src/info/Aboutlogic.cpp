// The About window's rules: the panel, Refresh, "Save to file" and "Report".
#include "info/Aboutlogic.h"

#include "settings/Profile.h"
#include "settings/Settingskeys.h"

#include <filesystem>

namespace telvor {
namespace {

// Nested event handling inside the receiver waits must not start a second collection.
class TBusy {
public:
    explicit TBusy(bool& flag) : flag_(flag) { flag_ = true; }
    ~TBusy() { flag_ = false; }

private:
    bool& flag_;
};

} // namespace

TAboutLogic::TAboutLogic(TAboutView& view, const TAboutContext& context, const TProfile& profile,
                         TProgramInfo program)
    : view_(view), context_(context), profile_(profile), program_(std::move(program)),
      label_(versionAndBuild(program_.version, program_.buildDate)),
      source_(std::make_unique<TReceiverSource>()), clock_(localNow) {}

bool TAboutLogic::panelVisible() const {
    return context_.connected() && !context_.servingSharingClient();
}

void TAboutLogic::start() {
    view_.showReceiverPanel(panelVisible());
    if (panelVisible())
        refresh();
}

void TAboutLogic::refresh() {
    if (busy_ || !panelVisible())
        return;
    TBusy busy(busy_);
    view_.setStatus("");
    view_.showNotice("Please wait while " + program_.name + " is querying receiver parameters");
    std::vector<std::string> memo = receiverMemo(*source_, context_.firmwareVersion());
    view_.closeNotice();
    view_.setMemo(memo);
}

void TAboutLogic::saveToFile() {
    save(TReportKind::Save, "");
}

void TAboutLogic::report() {
    if (busy_ || !panelVisible())
        return;
    std::string serial;
    {
        TBusy busy(busy_);
        serial = source_->value("/par/rcv/sn");
    }
    save(TReportKind::Report, proposedReportName(serial));
}

void TAboutLogic::save(TReportKind kind, const std::string& proposed) {
    if (busy_ || !panelVisible())
        return;
    TBusy busy(busy_);
    std::string folder = dataFolder(profile_, keys::ManualModeDirectory);
    if (folder.empty())
        folder = std::filesystem::current_path().string();
    const std::string path = view_.askSaveFile(folder, proposed);
    if (path.empty())
        return;
    TReportRequest request;
    request.kind = kind;
    request.path = path;
    request.program = program_.name;
    request.versionLabel = label_;
    request.version = context_.firmwareVersion();
    request.now = clock_();
    view_.showNotice("Please wait while " + program_.name + " is querying receiver parameters");
    bool ok = false;
    std::string status = writeReport(request, *source_, ok);
    view_.closeNotice();
    view_.setStatus(status);
}

} // namespace telvor
