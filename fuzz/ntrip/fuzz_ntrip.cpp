// A caster's bytes, whatever they are: the reply reader, the chunk decoder (split anywhere),
// the sourcetable and the caster address never crash, and chunks decode the same however they
// are cut.
#include "ntrip/Ntripreply.h"
#include "ntrip/Ntriprequest.h"
#include "ntrip/Sourcetable.h"

#include <cstdlib>
#include <string>

using namespace telvor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const TReply r = parseReply(text);
    if (r.kind != TReplyKind::Incomplete && r.kind != TReplyKind::Failed && r.headerLength > size)
        std::abort();
    parseSourceReply(text);
    parseCasterAddress(text);

    TChunkedDecoder whole, halves;
    std::string a, b;
    const bool okWhole = whole.feed(data, size, a);
    const std::size_t cut = size ? data[0] % (size + 1) : 0;
    bool okHalves = halves.feed(data, cut, b);
    okHalves = halves.feed(data + cut, size - cut, b) && okHalves;
    if (okWhole != okHalves || (okWhole && a != b) || a.size() > size)
        std::abort();

    const TSourcetable table = parseSourcetable(text);
    formatSourcetable(table, TGeoPoint{50, 14});
    return 0;
}
