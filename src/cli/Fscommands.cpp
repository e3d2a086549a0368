// `telvor-cli fs-init` and `fs-report`: the file-system initialisation window without a window.
#include "app/Appinfo.h"
#include "cli/Clisession.h"
#include "cli/Filecommands.h"
#include "files/Fsinit.h"
#include "info/Reportfile.h"

#include <QEventLoop>
#include <QTimer>
#include <ostream>
#include <unistd.h>

namespace telvor {
namespace {

// Progress on one line on a terminal, a line per change elsewhere; refusals on stderr.
class TCliFsInitView : public TFsInitView {
public:
    explicit TCliFsInitView(TCliContext& ctx) : ctx_(ctx), terminal_(::isatty(STDOUT_FILENO)) {}

    void showStartControls(bool) override {}
    void setWarning(const std::string& text) override { ctx_.err << text << std::endl; }
    void setWaitText(const std::string& text) override {
        if (!text.empty())
            endLine() << text << std::endl;
    }
    void showOk(bool, const std::string&, bool) override {}
    void setProgress(int total, int position) override {
        const std::string text =
            total < 0 ? "??? of ???" : std::to_string(position) + " of " + std::to_string(total);
        if (text == last_)
            return;
        last_ = text;
        if (terminal_) {
            ctx_.out << '\r' << text << std::flush;
            open_ = true;
        } else {
            ctx_.out << text << std::endl;
        }
    }
    void fillProgress() override {}
    void showReportArea() override {}
    void setReport(const std::vector<std::string>& lines) override {
        for (const auto& line : lines)
            endLine() << line << '\n';
        ctx_.out.flush();
    }
    void setStatus(const std::string& text) override {
        if (text != "Ready!")
            endLine() << text << std::endl;
    }
    void wait(int ms) override {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

private:
    std::ostream& endLine() {
        if (open_)
            ctx_.out << '\n';
        open_ = false;
        return ctx_.out;
    }

    TCliContext& ctx_;
    bool terminal_;
    bool open_ = false;
    std::string last_;
};

} // namespace

int runFsInit(TCliContext& ctx) {
    if (!ctx.has("yes"))
        return usageError(ctx.err,
                          "fs-init erases every file in the receiver; give --yes to go on");
    return withReceiver(ctx, [&](TSession&) {
        TCliFsInitView view(ctx);
        TFsInit init(view);
        return init.start() ? 0 : 1;
    });
}

int runFsReport(TCliContext& ctx) {
    const std::string path = ctx.has("save") ? ctx.options.at("save") : "";
    if (ctx.has("save") && path.empty())
        return usageError(ctx.err, "--save needs a file name");
    return withReceiver(ctx, [&](TSession&) {
        TCliFsInitView view(ctx);
        TFsInit init(view);
        if (path.empty()) {
            init.refresh();
            return 0;
        }
        const std::string header = headerLines(
            kAppTitle, versionAndBuild(appVersion(), buildDateText(appBuildDate())), localNow());
        return init.save(path, header) ? 0 : 1;
    });
}

} // namespace telvor
