// `telvor-cli ls`: the receiver's files with sizes and dates, then total and free memory.
#include "cli/Clisession.h"
#include "cli/Filecommands.h"
#include "files/Receiverfiles.h"

#include <algorithm>
#include <ostream>

namespace telvor {

int runLs(TCliContext& ctx) {
    return withReceiver(ctx, [&](TSession&) {
        TFileListView list;
        list.sortKey = 2;
        const TFileListing listing = readFileList(list);
        if (!listing.answered) {
            ctx.err << listing.status << std::endl;
            return 1;
        }
        // An empty memory is said, but is no failure.
        if (!listing.status.empty())
            ctx.err << listing.status << std::endl;
        const int code = listing.error.empty() ? 0 : 1;
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
            ctx.out << pad(e.name, nameWidth, false) << "  " << pad(e.size, sizeWidth, true) << "  "
                    << FileDate(e.time) << " " << FileTimeOfDay(e.time) << "\n";
        ctx.out << listing.total << "\n" << listing.free << std::endl;
        return code;
    });
}

} // namespace telvor
