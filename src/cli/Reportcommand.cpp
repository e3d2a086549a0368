// `telvor-cli report`: the About window's receiver memo, or its two files ("Save to file" with
// --save, "Report" with --report).
#include "cli/Reportcommand.h"
#include "app/Appinfo.h"
#include "cli/Clisession.h"
#include "info/Receiverinfo.h"
#include "info/Reportfile.h"

#include <ostream>

namespace telvor {

int runReport(TCliContext& ctx) {
    const bool save = ctx.has("save"), report = ctx.has("report");
    if (save && report)
        return usageError(ctx.err, "give one of --save and --report");
    const std::string path = save ? ctx.options.at("save") : report ? ctx.options.at("report") : "";
    if ((save || report) && path.empty())
        return usageError(ctx.err, "--save and --report need a file name");

    return withReceiver(ctx, [&](TSession& session) {
        TReceiverSource source;
        int code = 0;
        if (!save && !report) {
            for (const std::string& line : receiverMemo(source, session.firmwareVersion()))
                ctx.out << line << '\n';
            ctx.out.flush();
        } else {
            TReportRequest request;
            request.kind = save ? TReportKind::Save : TReportKind::Report;
            request.path = path;
            // A folder gets the name the window would propose.
            if (report) {
                TReportPath where = reportFilePath(
                    path, [&] { return proposedReportName(source.value("/par/rcv/sn")); });
                if (!where.error.empty()) {
                    ctx.err << where.error << std::endl;
                    return 1;
                }
                request.path = where.path;
            }
            request.program = kAppTitle;
            request.versionLabel = versionAndBuild(appVersion(), buildDateText(appBuildDate()));
            request.version = session.firmwareVersion();
            request.now = localNow();
            bool ok = false;
            const std::string status = writeReport(request, source, ok);
            (ok ? ctx.out : ctx.err) << status << std::endl;
            code = ok ? 0 : 1;
        }
        return code;
    });
}

} // namespace telvor
