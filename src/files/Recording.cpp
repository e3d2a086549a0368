#include "files/Recording.h"

#include "config/Binding.h"
#include "config/Listnotation.h"
#include "config/Recinterval.h"
#include "config/Siteparams.h"
#include "files/Receiverfiles.h"
#include "protocol/Bridge.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "protocol/Tick.h"
#include "settings/Profile.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace telvor {
namespace {

constexpr int kCommandMs = 2000;

} // namespace

std::string CheckRecordingName(const std::string& name) {
    if (name.empty())
        return "Type in or choose a file name";
    for (unsigned char c : name)
        if (c < 32 || c > 126 || std::strchr("/\\!%$&`'\"*|<>{},", c))
            return "File name contains not allowed characters";
    return {};
}

std::string SizeText(long long bytes) {
    if (bytes > 999999)
        return "Size: " + std::to_string((bytes + 512) / 1024) + "K";
    return "Size: " + std::to_string(bytes);
}

TRecordingControl::TRecordingControl(TLogPageView& view, TProfile& profile, std::string& interval)
    : view_(view), profile_(profile), interval_(interval) {
    RecordingIntervalEdit.setText(interval);
    CurrentFileLabel.setText("<none>");
    CurrentSizeLabel.setText("Size: 0 bytes");
    enableFor(false);
}

std::vector<TControl*> TRecordingControl::controls() {
    return {&StartButton,           &ButtonStop,        &CurrentFileLabel, &CurrentSizeLabel,
            &RecordingIntervalEdit, &ElevationMaskEdit, &FileNameEdit};
}

void TRecordingControl::enableFor(bool recording) {
    recording_ = recording;
    StartButton.setEnabled(!recording);
    ButtonStop.setEnabled(recording);
    for (TControl* edit : {&FileNameEdit, &ElevationMaskEdit, &RecordingIntervalEdit})
        edit->setEnabled(!recording);
}

void TRecordingControl::restartTimer() {
    view_.setTimer(view_.logPageShown() && commState().connectionMode.load() == cmDirect);
}

bool TRecordingControl::synchronised() {
    view_.setTimer(false);
    if (synchroniseFiles())
        return true;
    view_.setStatus(kNoAnswerText);
    return false;
}

void TRecordingControl::enter() {
    if (SendAndWait("%%print,/par/out/elm/cur/log", kCommandMs) == TReply::RE)
        ElevationMaskEdit.setText(ReplyText(7));
    else
        view_.setStatus("Unable to get elevation mask for files");
    refresh();
}

void TRecordingControl::showIdle(const std::string& file) {
    CurrentFileLabel.setText(file);
    CurrentSizeLabel.setText("Size: 0 bytes");
    enableFor(false);
}

void TRecordingControl::refresh(bool fromTimer) {
    view_.setTimer(false);
    const TCurrentLog current = currentLogFile();
    if (current.reply == TReply::None) {
        showIdle("<unknown>");
        view_.enableDelete(false);
        return;
    }
    const std::string& file = current.name;
    if (file.empty()) {
        showIdle("<none>");
        restartTimer();
        return;
    }
    CurrentFileLabel.setText(file);
    TReceiverParams receiver;
    if (auto rt = receiver.collect("/par/out/cur/log/vxr/RT")) {
        const std::string period = TrimText(ListElement(*rt, 1, 1));
        if (IsNumber(period))
            RecordingIntervalEdit.setText(period);
    }
    enableFor(true);
    FileNameEdit.setText(file);
    showSize(file, fromTimer);
    restartTimer();
}

void TRecordingControl::showSize(const std::string& file, bool fromTimer) {
    if (SendAndWait("%%print,/cur/log&size", kCommandMs) != TReply::RE) {
        CurrentSizeLabel.setText("Size: <unknown>");
        return;
    }
    const std::string size = ReplyText(7);
    auto put = [&] {
        for (TFileEntry& e : view_.entries())
            if (e.name == file) {
                e.size = size;
                return true;
            }
        return false;
    };
    if (!put() && fromTimer) {
        view_.refreshList();
        put();
    }
    view_.showRows();
    long long bytes = 0;
    std::from_chars(size.data(), size.data() + size.size(), bytes);
    CurrentSizeLabel.setText(SizeText(bytes));
    view_.setFree(freeMemoryText());
}

bool TRecordingControl::start() {
    if (!synchronised())
        return false;
    if (std::string refused = setFileElevationMask(TrimText(ElevationMaskEdit.text()));
        !refused.empty()) {
        view_.setStatus(refused);
        ElevationMaskEdit.setFocus();
        return false;
    }
    const std::string typed = TrimText(RecordingIntervalEdit.text());
    if (!IsNumber(typed) || !(std::strtod(typed.c_str(), nullptr) > 0)) {
        view_.setStatus("Invalid recording interval");
        RecordingIntervalEdit.setFocus();
        return false;
    }
    // Without the option rates the wizard cannot open; the typed interval then stands.
    CheckRecordingInterval("", RecordingIntervalEdit);
    interval_ = RecordingIntervalEdit.text();

    const std::string name = TrimText(FileNameEdit.text());
    if (std::string refused = CheckRecordingName(name); !refused.empty()) {
        view_.setStatus(refused);
        FileNameEdit.setFocus();
        return false;
    }
    bool replace = false;
    for (const TFileEntry& e : view_.entries()) {
        if (e.name != name)
            continue;
        if (!view_.askYesNo(title, "The file\n" + name +
                                       "\nalready exists inside the receiver.\nDo you wish to "
                                       "overwrite it?")) {
            view_.setStatus("File already exists");
            return false;
        }
        replace = true;
        break;
    }
    std::string siteError;
    const std::string failed = startRecording(
        name, interval_, replace, profile_,
        [this](const std::string& text) { view_.setStatus(text); }, siteError);
    if (!failed.empty()) {
        view_.setStatus(failed);
        return false;
    }
    view_.refreshList();
    refresh();
    // Recording runs either way; a site record the receiver did not take is still said.
    view_.setStatus(siteError.empty() ? "Data collection started" : siteError);
    return true;
}

bool TRecordingControl::stop() {
    view_.setTimer(false);
    if (std::string failed = stopRecording(); !failed.empty()) {
        view_.setStatus(failed);
        return false;
    }
    view_.setStatus("Data collection stopped");
    view_.refreshList();
    refresh();
    return true;
}

} // namespace telvor
