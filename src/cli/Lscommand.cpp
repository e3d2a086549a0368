// `telvor-cli ls`: the receiver's files with sizes and dates, then total and free memory.
#include "cli/Clisession.h"
#include "cli/Filecommands.h"
#include "files/Filelistview.h"
#include "protocol/Commtools.h"

#include <algorithm>
#include <ostream>

namespace telvor {

int runLs(TCliContext& ctx) {
    return withReceiver(ctx, [&](TSession&) {
        int code = 0;
        if (!Synchronise(25)) {
            ctx.err << "Receiver does not answer" << std::endl;
            code = 1;
        } else {
            const std::string total = PrintParameter("/par/dev/blk/a/size", "<unknown>", 2000);
            const std::string free = PrintParameter("/par/dev/blk/a/free", "<unknown>", 2000);
            TFileListView list;
            list.sortKey = 2;
            if (std::string error = list.Fill(); !error.empty()) {
                ctx.err << error << std::endl;
                code = 1;
            } else if (list.entries.empty()) {
                ctx.err << "File list is empty" << std::endl;
            }
            std::size_t nameWidth = 4, sizeWidth = 4;
            for (const TFileEntry& e : list.entries) {
                nameWidth = std::max(nameWidth, e.name.size());
                sizeWidth = std::max(sizeWidth, e.size.size());
            }
            auto pad = [](const std::string& t, std::size_t w, bool right) {
                std::string fill(w > t.size() ? w - t.size() : 0, ' ');
                return right ? fill + t : t + fill;
            };
            for (const TFileEntry& e : list.entries)
                ctx.out << pad(e.name, nameWidth, false) << "  " << pad(e.size, sizeWidth, true)
                        << "  " << FileDate(e.time) << " " << FileTimeOfDay(e.time) << "\n";
            ctx.out << "Total memory: " << total << " bytes\n"
                    << "Free memory: " << free << " bytes" << std::endl;
        }
        return code;
    });
}

} // namespace telvor
