#include "files/Recording.h"

#include "config/Binding.h"
#include "config/Listnotation.h"
#include "config/Recinterval.h"
#include "config/Siteparams.h"
#include "protocol/Bridge.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "protocol/Tick.h"
#include "settings/Profile.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace telvor {
namespace {

constexpr int kCommandMs = 2000;
constexpr int kRemoveMs = 5000;
constexpr int kSiteSettleMs = 500;

std::string withoutLogFolder(std::string name) {
    if (name.rfind("/log/", 0) == 0)
        name.erase(0, 5);
    return name;
}

// Keeps the window alive while the receiver takes the site records in.
void pause(int ms) {
    const std::uint32_t start = tickCount();
    while (ticksSince(start) < static_cast<std::uint32_t>(ms)) {
        uiBridge().processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

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
    if (Synchronise(25))
        return true;
    view_.setStatus("Receiver does not answer");
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
    const TReply reply = SendAndWait("%%print,/cur/log", kCommandMs);
    if (reply == TReply::None) {
        showIdle("<unknown>");
        view_.enableDelete(false);
        return;
    }
    const std::string file = reply == TReply::RE ? withoutLogFolder(ReplyText(7)) : "";
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
    view_.setFree("Free memory: " + PrintParameter("/par/dev/blk/a/free", "<unknown>", kCommandMs) +
                  " bytes");
}

bool TRecordingControl::start() {
    if (!synchronised())
        return false;
    if (SendAndWait("%%set,/par/out/elm/cur/log," + TrimText(ElevationMaskEdit.text()),
                    kCommandMs) != TReply::RE) {
        view_.setStatus("Error write elevation mask for files");
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
    for (const TFileEntry& e : view_.entries()) {
        if (e.name != name)
            continue;
        if (!view_.askYesNo(title, "The file\n" + name +
                                       "\nalready exists inside the receiver.\nDo you wish to "
                                       "overwrite it?")) {
            view_.setStatus("File already exists");
            return false;
        }
        view_.setStatus(" Deleting old file...");
        if (SendAndWait("%%remove,\"/log/" + name + "\"", kRemoveMs) != TReply::RE) {
            view_.setStatus("Unable to delete file");
            return false;
        }
        break;
    }
    view_.setStatus("Creating new file...");
    if (SendAndWait("%%create,\"/log/" + name + "\"", kCommandMs) != TReply::RE) {
        view_.setStatus("Unable to create file");
        return false;
    }
    view_.setStatus("Starting data collection...");
    if (SendAndWait("%%em,/cur/log,/msg/def:" + interval_, kCommandMs) != TReply::RE) {
        view_.setStatus("Unable to start collection");
        return false;
    }
    std::string siteError;
    if (profile_.read(keys::SiteAutoSend)) {
        view_.setStatus("Sending site parameters...");
        siteError = SendSiteParams(LoadSiteParams(profile_));
        pause(kSiteSettleMs);
    }
    view_.refreshList();
    refresh();
    // Recording runs either way; a site record the receiver did not take is still said.
    view_.setStatus(siteError.empty() ? "Data collection started" : siteError);
    return true;
}

bool TRecordingControl::stop() {
    if (!synchronised())
        return false;
    if (SendAndWait("%%dm,/cur/log", kCommandMs) != TReply::RE) {
        view_.setStatus("Can't stop logging");
        return false;
    }
    view_.setStatus("Data collection stopped");
    view_.refreshList();
    refresh();
    return true;
}

} // namespace telvor
