#include "rtlog/Realtimelog.h"

#include "config/Binding.h"
#include "config/Control.h"
#include "config/Recinterval.h"
#include "config/Siteparams.h"
#include "files/Fileio.h"
#include "protocol/Bridge.h"
#include "protocol/Commthread.h"
#include "protocol/Debugcore.h"
#include "protocol/Link.h"
#include "protocol/Logfile.h"
#include "protocol/Numbers.h"
#include "protocol/Tick.h"
#include "rtlog/Convertthread.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace telvor {
namespace {

constexpr const char* kStopAll = "%%dm||%%dm||%%dm";
constexpr const char* kSwitchMarker = "%FEnd%dm";

bool parseInt(const std::string& text, int& value) {
    const auto v = parseInteger(text, -0x7fffffffL, 0x7fffffffL);
    if (v)
        value = static_cast<int>(*v);
    return v.has_value();
}

bool parseReal(const std::string& text, double& value) {
    const auto v = parseNumber(text);
    if (v)
        value = *v;
    return v.has_value();
}

// True when `path` is an empty regular file and is gone now.
bool removeIfEmpty(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) || std::filesystem::file_size(path, ec) != 0 ||
        ec)
        return false;
    return std::filesystem::remove(path, ec);
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string realTimeMonitorList(bool satellitesPlot, bool positionPlots) {
    std::string list = "/RT,/RD,/SI,/NN,/EL,/DO,/DC,/AZ,/EC,/E1,/E2,/TC,/PV,/DP,/EE";
    if (satellitesPlot)
        list += ",/GS,/NS";
    if (positionPlots)
        list += ",/SG,/PG";
    return list;
}

void TRealTimeHost::waitSlice() {
    uiBridge().waitForEvents(50);
}

void beginRealTimeMonitor(bool satellitesPlot, bool positionPlots) {
    SetInputMode(TInputMode::Monitoring);
    EnableMessages(realTimeMonitorList(satellitesPlot, positionPlots));
}

TStartRequest readLogSettings(const TProfile& p) {
    TStartRequest r;
    const std::string site = LoadSiteParams(p).siteName;
    r.options.folder = dataFolder(p, keys::RealTimeOutputPath);
    r.options.multiple = p.read(keys::RealTimeActiveMode);
    r.options.convert = p.read(keys::RealTimeConvert2RINEX);
    r.options.overwrite = p.read(keys::RealTimeOverwriteFiles);
    const std::string prefix = p.read(keys::RealTimePrefix);
    r.options.prefix = prefix == "EMPTY_PREFIX" ? site : prefix;
    r.options.singleName = site + ".vxr";
    r.options.granularity = std::clamp(p.read(keys::RealTimeGranularityBetweenFiles), 0, 2);
    const int numbering = p.read(keys::ReceiverNumbering);
    r.options.numbering = numbering == 1 ? 1 : 0;
    r.period = std::to_string(p.read(keys::RealTimeIntervalBetweenFiles));
    r.interval = p.read(keys::ReceiverRecordingIntervalTerm);
    return r;
}

void saveLogSettings(TProfile& profile, const TStartRequest& r) {
    profile.write(keys::RealTimeOutputPath, r.options.folder);
    profile.write(keys::RealTimeActiveMode, r.options.multiple);
    profile.write(keys::RealTimeConvert2RINEX, r.options.convert);
    profile.write(keys::RealTimeOverwriteFiles, r.options.overwrite);
    profile.write(keys::RealTimePrefix, r.options.prefix);
    profile.write(keys::RealTimeGranularityBetweenFiles, r.options.granularity);
    if (int period = 0; parseInt(r.period, period) && period >= 0)
        profile.write(keys::RealTimeIntervalBetweenFiles, std::max(period, 1));
    profile.write(keys::ReceiverRecordingIntervalTerm, r.interval);
    profile.write(keys::ReceiverNumbering, r.options.numbering);
}

TRealTimeLog::TRealTimeLog(TRealTimeHost& host, TProfile& profile)
    : host_(host), profile_(profile) {}

TRealTimeLog::~TRealTimeLog() {
    if (running_)
        stop(false);
    detach();
    closeClosing(false);
    for (auto& w : workers_)
        w->WaitFor();
}

void TRealTimeLog::attach() {
    if (!attached_)
        commState().SetRealTimeSink(this);
    attached_ = true;
}

void TRealTimeLog::detach() {
    if (attached_)
        commState().SetRealTimeSink(nullptr);
    attached_ = false;
}

bool TRealTimeLog::refuse(TStartFault fault, const std::string& text) {
    fault_ = fault;
    host_.setStatus(text);
    return false;
}

// Start steps 1-4: the edits, each with its own text. The mask goes out even when empty: a
// run must not start with whatever mask the receiver happened to have.
bool TRealTimeLog::checkInputs(TStartRequest& r, double& interval) {
    if (SendAndWait("%%set,/par/out/elm/cur/term," + r.elevationMask, 2000) != TReply::RE)
        return refuse(TStartFault::ElevationMask, "Invalid elevation mask");
    if (!parseReal(r.interval, interval) || interval <= 0)
        return refuse(TStartFault::Interval, "Invalid recording interval");
    // The interval edit as the shared check sees it; an unreadable rate leaves it as typed.
    TControl edit{"RecordingIntervalEdit", TControlKind::Edit};
    edit.setText(r.interval);
    TReceiverParams receiver;
    if (CheckRecordingInterval(receiver, receiver, "", edit))
        parseReal(edit.text(), interval);
    r.interval = FormatInterval(interval);
    int count = 0, period = 0;
    if (!parseInt(r.startCount, count) || count < 0)
        return refuse(TStartFault::StartCount, "Invalid start count value (integer required)");
    if (!parseInt(r.period, period) || period < 0)
        return refuse(TStartFault::Period, "Invalid files switching period value");
    if (period == 0)
        r.period = "1";
    return true;
}

bool TRealTimeLog::start(TStartRequest r) {
    if (running_)
        return false;
    fault_ = TStartFault::None;
    double interval = 1;
    const bool ok = checkInputs(r, interval);
    request_ = r;
    if (!ok)
        return false;
    if (SendAndWait(kStopAll, 2000) != TReply::RE)
        return refuse(TStartFault::Receiver, "Receiver did not reply");
    opt_ = r.options;
    profile_.write(keys::RealTimeOutputPath, opt_.folder);
    parseInt(r.startCount, startCount_);
    parseInt(r.period, period_);
    interval_ = interval;
    unit_ = granularitySeconds(opt_.granularity);
    const double now = receiverSeconds();
    nextBoundary_ = now >= 0 ? firstBoundary(now, unit_, period_, interval_) : -1;

    if (opt_.multiple && opt_.overwrite) {
        std::string names = opt_.numbering == 0
                                ? "All files with such names as " + opt_.prefix + "0000.vxr, " +
                                      opt_.prefix + "0001.vxr etc."
                                : "All files with such names as " + opt_.prefix + "YDDDHHMM.vxr ";
        if (!host_.confirm(names + " \nresiding in the folder " + opt_.folder +
                           "\nwill be overwritten without warning. Continue?")) {
            fault_ = TStartFault::Cancelled;
            return false;
        }
    }
    if (!opt_.multiple) {
        opt_.singleName = singleFileName(opt_.singleName);
        request_.options.singleName = opt_.singleName;
    }
    saveLogSettings(profile_, request_);
    {
        std::lock_guard lock(fileLock_);
        failure_.clear();
    }
    if (!prepareFile()) {
        fault_ = TStartFault::File;
        return false;
    }

    SetInputMode(TInputMode::Logging);
    {
        std::lock_guard lock(fileLock_);
        active_ = TLogFile{std::move(prepared_), -1, {}};
        currentFileName_ = active_.file->fileName;
    }
    startTick_ = tickCount();
    labelTick_ = startTick_ - 1000;
    bytesWritten_ = 0;
    // Before the "em": the first epoch must find the run going.
    running_ = true;
    // Test mode plays a file back instead: the receiver keeps quiet.
    SendLine(commState().testMode.load() ? "%%" : startCommand());
    if (opt_.multiple && opt_.rememberAutoRun)
        profile_.write(keys::RealTimeAutoRun, true);
    host_.labelsChanged();
    return true;
}

std::string TRealTimeLog::startCommand() const {
    const std::string& i = request_.interval;
    std::string line = "em,,def:{" + i + "}&&em,,vxr/EE:{" + i + "}";
    const TSiteParams site = LoadSiteParams(profile_);
    if (site.autoSend) {
        std::string records = siteEventCommand(site, false);
        if (!records.empty())
            line += "&&" + records;
    }
    return line;
}

TNameEpoch TRealTimeLog::nextFileEpoch() const {
    std::lock_guard lock(fileLock_);
    return preparedEpoch(timeOfDayMs_, date_, interval_);
}

std::string TRealTimeLog::prepareName() {
    if (!opt_.multiple) {
        const std::string& name = opt_.singleName;
        if (name == "NUL" || name.empty() || name.front() == '/' || opt_.folder.empty())
            return name;
        return opt_.folder + "/" + name;
    }
    if (opt_.numbering == 0)
        return countFileName(opt_.folder, opt_.prefix, startCount_, opt_.overwrite, fileExists);
    return dateFileName(opt_.folder, opt_.prefix, dateStem(nextFileEpoch()), opt_.overwrite,
                        fileExists);
}

bool TRealTimeLog::prepareFile() {
    std::string name = prepareName();
    if (name == "NUL")
        name = "/dev/null";
    {
        std::lock_guard lock(fileLock_);
        if (active_.file && std::filesystem::absolute(name) == active_.file->fileName)
            return false;
    }
    std::unique_ptr<FileAccess> file;
    // Test mode keeps every name and the schedule but writes nowhere.
    if (commState().testMode.load())
        file = std::make_unique<FileAccess>("/dev/null", true, false, false, nullptr);
    else if (!opt_.multiple)
        file = std::make_unique<FileAccess>(name, false, false, true, host_.fileQuestions());
    else if (opt_.numbering == 1 && !opt_.overwrite)
        file = std::make_unique<FileAccess>(name, false, false, true, nullptr);
    else
        file = std::make_unique<FileAccess>(name, true, false, false, nullptr);
    if (!file->isOpen()) {
        host_.setStatus(file->errorText);
        return false;
    }
    const std::string opened = file->fileName;
    std::unique_ptr<FileAccess> earlier;
    {
        std::lock_guard lock(fileLock_);
        earlier = std::move(prepared_);
        prepared_ = std::move(file);
        preparedTick_ = tickCount();
    }
    if (earlier) {
        const std::string name = earlier->fileName;
        earlier.reset();
        removeIfEmpty(name);
    }
    logLine("TRACE_RTL: PrepareNewOutputFile() Done: " + opened);
    ++startCount_;
    return true;
}

void TRealTimeLog::switchFiles() {
    std::lock_guard lock(fileLock_);
    if (!prepared_)
        return;
    // Closed on the next timer step, off the input thread.
    if (active_.file)
        closing_.push_back(std::move(active_));
    active_ = TLogFile{std::move(prepared_), -1, {}};
    currentFileName_ = active_.file->fileName;
    startTick_ = tickCount();
    bytesWritten_ = 0;
}

void TRealTimeLog::WriteData(const std::uint8_t* data, std::size_t count) {
    if (count == 0)
        return;
    std::lock_guard lock(fileLock_);
    // After a failed write nothing more goes in, into no file of the run: each ends with what
    // landed intact, and the next timer step stops the run.
    if (!active_.file || !failure_.empty())
        return;
    if (!active_.file->writeBuffered(data, static_cast<int>(count)))
        failure_ = active_.file->errorText;
    bytesWritten_ += count;
}

void TRealTimeLog::noteFailure(const std::string& text) {
    std::lock_guard lock(fileLock_);
    if (failure_.empty())
        failure_ = text;
}

std::string TRealTimeLog::failure() const {
    std::lock_guard lock(fileLock_);
    return failure_;
}

void TRealTimeLog::OnReceiverDate(const std::uint8_t* b) {
    TRxDate d{b[0] | b[1] << 8, b[2], b[3]};
    std::lock_guard lock(fileLock_);
    if (d.year != date_.year || d.month != date_.month || d.day != date_.day || dayCounter_ < 0)
        ++dayCounter_;
    date_ = d;
    if (running_ && active_.file && active_.firstDate.year == 0)
        active_.firstDate = d;
}

void TRealTimeLog::OnReceiverTime(std::uint32_t ms) {
    std::lock_guard lock(fileLock_);
    timeOfDayMs_ = ms;
    if (running_ && active_.file && active_.firstTimeMs < 0)
        active_.firstTimeMs = ms;
}

double TRealTimeLog::receiverSecondsLocked() const {
    if (timeOfDayMs_ < 0)
        return -1;
    const double tod = static_cast<double>(timeOfDayMs_) / 1000.0;
    return dayCounter_ < 0 ? tod : dayCounter_ * 86400.0 + tod;
}

double TRealTimeLog::receiverSeconds() const {
    std::lock_guard lock(fileLock_);
    return receiverSecondsLocked();
}

std::string TRealTimeLog::currentFileName() const {
    std::lock_guard lock(fileLock_);
    return currentFileName_;
}

bool TRealTimeLog::hasPrepared() const {
    std::lock_guard lock(fileLock_);
    return prepared_ != nullptr;
}

int TRealTimeLog::conversionsRunning() const {
    int n = 0;
    for (auto& w : workers_)
        n += w->finished() ? 0 : 1;
    return n;
}

std::string TRealTimeLog::bytesLabel() const {
    return bytesText(bytesWritten_.load());
}

std::string TRealTimeLog::elapsedLabel() const {
    return running_ ? elapsedText(ticksSince(startTick_.load())) : "00:00:00";
}

void TRealTimeLog::timerStep() {
    closeClosing(false);
    bool overdue = false;
    {
        std::lock_guard lock(fileLock_);
        overdue = prepared_ && ticksSince(preparedTick_) > switchTimeoutMs_;
    }
    if (overdue) {
        // The marker's reply never came: what the splitter holds belongs to the old file.
        if (CurrentConnection && CurrentConnection->Thread)
            CurrentConnection->Thread->FlushPending();
        switchFiles();
    }
    const std::string error = failure();
    if (running_ && !error.empty()) {
        host_.setStatus(error);
        if (debugCore().visible())
            debugCore().showLine(error);
        stop(false);
        return;
    }
    const double now = receiverSeconds();
    if (running_ && opt_.multiple && now >= 0 && nextBoundary_ >= 0 &&
        boundaryReached(now, interval_, unit_, nextBoundary_)) {
        nextBoundary_ += period_;
        host_.setStatus(" ");
        if (prepareFile() && CurrentConnection) {
            CurrentConnection->Input.Clear();
            for (int i = 0; i < 3; ++i)
                SendLine(kSwitchMarker);
            SendLine(startCommand());
        }
    }
    if (CurrentConnection)
        CurrentConnection->LastWriteTick = tickCount();
    if (ticksSince(labelTick_) >= 500) {
        labelTick_ = tickCount();
        host_.labelsChanged();
        host_.monitorTick();
    }
}

void TRealTimeLog::closeClosing(bool wait) {
    for (;;) {
        TLogFile file;
        {
            std::lock_guard lock(fileLock_);
            if (closing_.empty())
                return;
            file = std::move(closing_.front());
            closing_.pop_front();
        }
        closeFile(std::move(file), wait);
    }
}

std::string TRealTimeLog::finalDateName(const TLogFile& f) const {
    TNameEpoch e;
    const bool dated = f.firstDate.known();
    if (f.firstTimeMs < 0 && !dated)
        return {};
    e.seconds = f.firstTimeMs < 0 ? 0 : f.firstTimeMs / 1000;
    if (dated)
        e.date = f.firstDate;
    // The plain name: an existing file of it is overwritten or merged into, never lettered.
    return dateFileName(opt_.folder, opt_.prefix, dateStem(e), true, fileExists);
}

void TRealTimeLog::closeFile(TLogFile f, bool wait) {
    if (!f.file)
        return;
    std::string name = f.file->fileName;
    // The last buffer may not fit on the disk either.
    if (!f.file->writeBuffered(nullptr, 0))
        noteFailure(f.file->errorText);
    f.file.reset();
    logLine("TRACE_RTL: CloseOldOutputFile() close_file: " + name);
    // A file of a series that never got a byte (a full disk, a stop or a lost link right after
    // the switch) would only be a hole in the series.
    if (opt_.multiple && removeIfEmpty(name))
        return;
    int tasks = 0;
    std::string target = name, source;
    if (opt_.multiple && opt_.numbering == 1) {
        std::string final = finalDateName(f);
        if (!final.empty())
            final = std::filesystem::absolute(final).string();
        const std::string a = baseName(name), b = baseName(final);
        const std::size_t n = opt_.prefix.size() + 8;
        if (a.size() > 7 && b.size() > 7 && a.compare(0, n, b, 0, n) != 0) {
            logLine("TRACE_RTL: CloseOldOutputFile() Rename File: " + final);
            std::error_code ec;
            if (!fileExists(final) || opt_.overwrite) {
                debugCore().showLine((fileExists(final) ? "Overwrite File " : "Rename File ") +
                                     name + (fileExists(final) ? "to Exist: " : "to: ") + final);
                std::filesystem::rename(name, final, ec);
                if (ec)
                    host_.setStatus(ec.message());
                else
                    target = final;
            } else {
                debugCore().showLine("Merge File " + name + "with Exist: " + final);
                tasks |= TConvertThread::kMerge;
                target = final;
                source = name;
            }
        }
    }
    if (opt_.convert)
        tasks |= TConvertThread::kConvert;
    if (tasks)
        startWorker(target, tasks, source, wait);
}

void TRealTimeLog::startWorker(const std::string& target, int tasks, const std::string& source,
                               bool wait) {
    auto worker =
        std::make_unique<TConvertThread>(readConverterSettings(profile_), target, tasks, source);
    worker->Start();
    TConvertThread* w = worker.get();
    workers_.push_back(std::move(worker));
    if (wait && (tasks & TConvertThread::kConvert)) {
        // The window stays alive meanwhile; its "DETH" may free the worker inside a slice.
        auto converting = [&] {
            for (auto& x : workers_)
                if (x.get() == w)
                    return !x->finished();
            return false;
        };
        host_.showConvertWait(true);
        while (converting())
            host_.waitSlice();
        host_.showConvertWait(false);
        conversionsEnded();
    }
}

void TRealTimeLog::conversionsEnded() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        TConvertThread& w = **it;
        if (!w.finished()) {
            ++it;
            continue;
        }
        w.WaitFor();
        if (!w.errorText.empty()) {
            host_.setStatus("VXR to RINEX: " + w.errorText);
            if (debugCore().visible())
                debugCore().showLine(w.errorText + ",Input:" + w.fileName);
        } else if ((w.tasks & TConvertThread::kConvert) && profile_.read(keys::Vxr2RinDeleteVXR)) {
            // Only a converted file: a merge alone leaves the data in the raw file only.
            std::error_code ignored;
            std::filesystem::remove(w.fileName, ignored);
        }
        it = workers_.erase(it);
    }
}

void TRealTimeLog::stop(bool wait) {
    if (!running_)
        return;
    running_ = false;
    if (commState().testMode.load())
        SetInputMode(TInputMode::Idle);
    else
        SendAndWait(kStopAll, 5000);
    host_.afterStop();
    closeClosing(false);
    TLogFile last;
    {
        std::lock_guard lock(fileLock_);
        last = std::move(active_);
        active_ = TLogFile{};
        currentFileName_.clear();
    }
    discardPrepared();
    bytesWritten_ = 0;
    host_.labelsChanged();
    const std::string before = failure();
    closeFile(std::move(last), wait);
    // The last buffer did not fit: the run did not end as it should have.
    if (const std::string after = failure(); before.empty() && !after.empty())
        host_.setStatus(after);
}

void TRealTimeLog::discardPrepared() {
    std::unique_ptr<FileAccess> file;
    {
        std::lock_guard lock(fileLock_);
        file = std::move(prepared_);
    }
    if (!file)
        return;
    const std::string name = file->fileName;
    file.reset();
    // Its number is free again: the series goes on without a hole.
    if (opt_.multiple && removeIfEmpty(name) && opt_.numbering == 0)
        --startCount_;
}

} // namespace telvor
