// `telvor-cli get`: downloads receiver files into a folder, each as "<name>.vxr"; an existing
// copy is overwritten, or with --append resumed from its size. A file that fails does not stop
// the others; the exit code tells. --source takes the data over a parallel port beside the link,
// --print streams it unframed over such a port or the parallel link.
#include "cli/Clisession.h"
#include "cli/Filecommands.h"
#include "files/Filelist.h"
#include "files/Receiverfiles.h"
#include "protocol/Link.h"
#include "protocol/Tick.h"

#include <cstdio>
#include <filesystem>
#include <ostream>

namespace telvor {
namespace {

// The download's line on a terminal: percentage, bytes, speed and time left.
class TGetView : public TTransferView {
public:
    TGetView(std::ostream& err, bool terminal) : err_(err), terminal_(terminal) {}
    // The next file: its line starts afresh.
    void start(const std::string& name) {
        name_ = name;
        status.clear();
        first_ = -1;
        shown_ = 0;
    }
    void setProgress(int) override {}
    void setStatus(const std::string& text) override { status = text; }
    void showBlocks(int) override {}
    void showRetries(int count) override { retries = count; }
    void enableStop(bool) override {}
    void bytesDone(std::int64_t done, std::int64_t total) override {
        if (first_ < 0) {
            first_ = done;
            start_ = tickCount();
        }
        const std::uint32_t ms = ticksSince(start_);
        if (!terminal_ || (ms - shown_ < 200 && done < total))
            return;
        shown_ = ms;
        const double rate = ms ? double(done - first_) * 1000 / ms : 0; // bytes/s
        char line[160];
        int left = rate > 0 ? int(double(total - done) / rate) : 0;
        std::snprintf(line, sizeof line, "\r%s: %3d%%  %lld/%lld bytes  %.1f KB/s  %d:%02d left  ",
                      name_.c_str(), total ? int(done * 100 / total) : 100, (long long)done,
                      (long long)total, rate / 1024, left / 60, left % 60);
        err_ << line << std::flush;
        drawn_ = true;
    }
    bool stopRequested() override { return cliStopRequested(); }
    void endLine() {
        if (drawn_)
            err_ << std::endl;
        drawn_ = false;
    }

    std::string status;
    int retries = 0;

private:
    std::ostream& err_;
    bool terminal_;
    std::string name_;
    std::int64_t first_ = -1;
    std::uint32_t start_ = 0, shown_ = 0;
    bool drawn_ = false;
};

int blockSizeIndex(const std::string& text) {
    for (int i = 0; i < 3; ++i)
        if (text == std::to_string(512 << i))
            return i;
    return -1;
}

} // namespace

int runGet(TCliContext& ctx) {
    const int sizeIndex = ctx.has("block-size") ? blockSizeIndex(ctx.options["block-size"]) : 0;
    if (sizeIndex < 0)
        return usageError(ctx.err, "--block-size takes 512, 1024 or 2048");
    const std::filesystem::path dir = ctx.has("dir") ? ctx.options["dir"] : ".";
    if (!std::filesystem::is_directory(dir))
        return usageError(ctx.err, "no such folder: " + dir.string());

    TCliView view(ctx.err, ctx.verbose, ctx.progress);
    TSession session(ctx.profile, view);
    TRunning running(session);
    if (!connectSession(ctx, session))
        return 1;
    session.pauseMonitoring();

    const std::string source = ctx.has("source") ? ctx.options["source"] : "";
    const TReceiverConnection* link = CurrentConnection;
    if (ctx.has("print") && source.empty() && !(link && link->Kind == kLinkParallel)) {
        session.disconnect();
        return usageError(ctx.err, "--print needs --source or a parallel link");
    }

    TGetView getView(ctx.err, ctx.progress);
    TTransferProtocol transfer(getView, ctx.profile);
    transfer.SetBlockSizeIndex(sizeIndex);
    transfer.SetPortName(source);
    transfer.SetViaPrint(ctx.has("print"));
    TDownloadQueue queue(transfer, !source.empty());
    queue.begin();
    int code = 0;
    for (const std::string& name : ctx.args) {
        if (cliStopRequested() || !CurrentConnection)
            break;
        getView.start(name);
        const TFileDownload done =
            queue.download(name, (dir / TargetName("", name)).string(), ctx.has("append"), nullptr);
        getView.endLine();
        if (!done.ok) {
            ctx.err << name << ": " << done.error << std::endl;
            code = 1;
        } else if (!done.transferred) {
            ctx.out << getView.status << std::endl;
        } else {
            ctx.out << name << " -> " << done.fileName << ": " << getView.status << std::endl;
        }
    }
    queue.end();
    session.disconnect();
    return code;
}

} // namespace telvor
