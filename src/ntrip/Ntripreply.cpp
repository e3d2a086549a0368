#include "ntrip/Ntripreply.h"

#include <algorithm>
#include <cctype>

namespace telvor {
namespace {

// No caster needs more for its status line and headers; more is not a caster.
constexpr std::size_t kMaxHeader = 16384;

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Printable and short, for an error text built from a stranger's bytes.
std::string shown(std::string_view s) {
    std::string out;
    for (char c : s.substr(0, 80))
        out += (c >= 32 && c < 127) ? c : '?';
    return out;
}

TReply failed(std::string text) {
    TReply r;
    r.kind = TReplyKind::Failed;
    r.error = std::move(text);
    return r;
}

// End of the header block ("\r\n\r\n", or bare "\n\n" from a sloppy caster), npos if not yet.
std::size_t headerEnd(std::string_view s) {
    const std::size_t crlf = s.find("\r\n\r\n"), lf = s.find("\n\n");
    if (crlf == std::string_view::npos && lf == std::string_view::npos)
        return std::string_view::npos;
    return std::min(crlf == std::string_view::npos ? crlf : crlf + 4,
                    lf == std::string_view::npos ? lf : lf + 2);
}

void readHeaders(std::string_view block, TReply& r, bool& sourcetableType) {
    std::size_t at = block.find('\n');
    while (at != std::string_view::npos && at + 1 < block.size()) {
        const std::size_t next = block.find('\n', at + 1);
        const std::string_view line =
            block.substr(at + 1, (next == std::string_view::npos ? block.size() : next) - at - 1);
        at = next;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string name = lower(trim(line.substr(0, colon)));
        const std::string value = lower(trim(line.substr(colon + 1)));
        if (name == "transfer-encoding" && value.find("chunked") != std::string::npos)
            r.chunked = true;
        else if (name == "content-type" && value.find("gnss/sourcetable") != std::string::npos)
            sourcetableType = true;
        else if (name == "content-length" && !value.empty() && value.size() < 16 &&
                 std::all_of(value.begin(), value.end(), ::isdigit))
            r.contentLength = std::stoll(value);
    }
}

TReply httpReply(std::string_view received, std::string_view status, std::size_t end) {
    // "HTTP/1.x CODE reason"
    const std::size_t space = status.find(' ');
    if (space == std::string_view::npos || status.size() < space + 4)
        return failed("Not an NTRIP caster: " + shown(status));
    const std::string_view code = status.substr(space + 1, 3);
    if (!std::all_of(code.begin(), code.end(), ::isdigit))
        return failed("Not an NTRIP caster: " + shown(status));
    if (code == "401") {
        TReply r = failed(kUnauthorizedText);
        r.kind = TReplyKind::Unauthorized;
        return r;
    }
    if (end == std::string_view::npos)
        return received.size() > kMaxHeader ? failed("Caster headers too long") : TReply{};
    TReply r;
    r.headerLength = end;
    bool sourcetableType = false;
    readHeaders(received.substr(0, end), r, sourcetableType);
    if (code == "404") {
        r.kind = TReplyKind::NotFound;
        r.error = kMountNotFoundText;
    } else if (code != "200") {
        r.kind = TReplyKind::Failed;
        r.error = "Caster answered " + shown(trim(status.substr(space + 1)));
    } else {
        r.kind = sourcetableType ? TReplyKind::Sourcetable : TReplyKind::Stream;
        if (sourcetableType)
            r.error = kMountNotFoundText;
    }
    return r;
}

} // namespace

TReply parseReply(std::string_view received) {
    const std::size_t eol = received.find('\n');
    if (eol == std::string_view::npos)
        return received.size() > kMaxHeader ? failed("Caster headers too long") : TReply{};
    const std::string_view status = trim(received.substr(0, eol));
    if (status.substr(0, 6) == "ICY 20") {
        // NTRIP 1.0: the stream starts right after the status line.
        TReply r;
        r.kind = TReplyKind::Stream;
        r.headerLength = eol + 1;
        return r;
    }
    const std::size_t end = headerEnd(received);
    if (status.substr(0, 15) == "SOURCETABLE 200") {
        if (end == std::string_view::npos)
            return received.size() > kMaxHeader ? failed("Caster headers too long") : TReply{};
        TReply r;
        bool ignored = false;
        readHeaders(received.substr(0, end), r, ignored);
        r.kind = TReplyKind::Sourcetable;
        r.headerLength = end;
        r.error = kMountNotFoundText;
        return r;
    }
    if (status.substr(0, 5) == "HTTP/")
        return httpReply(received, status, end);
    if (status.find("401") != std::string_view::npos ||
        lower(status).find("unauthorized") != std::string_view::npos) {
        TReply r = failed(kUnauthorizedText);
        r.kind = TReplyKind::Unauthorized;
        return r;
    }
    return failed("Not an NTRIP caster: " + shown(status));
}

TReply parseSourceReply(std::string_view received) {
    const std::size_t eol = received.find('\n');
    if (eol == std::string_view::npos)
        return received.size() > kMaxHeader ? failed("Caster headers too long") : TReply{};
    const std::string_view status = trim(received.substr(0, eol));
    if (status.substr(0, 5) == "HTTP/")
        return httpReply(received, status, headerEnd(received));
    TReply r = parseReply(received);
    // 1.0 casters refuse a source with "ERROR - Bad Password" and the like.
    if (r.kind == TReplyKind::Failed && status.substr(0, 5) == "ERROR")
        r.error = "Caster refused the source: " + shown(status);
    return r;
}

bool TChunkedDecoder::fail(const char* text) {
    state_ = State::Failed;
    error_ = text;
    return false;
}

bool TChunkedDecoder::sizeDigit(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isxdigit(u)) {
        if (++digits_ > 8) // 4 GB chunks: not a correction stream
            return fail("Chunk size too long");
        const int v = std::isdigit(u) ? c - '0' : std::tolower(u) - 'a' + 10;
        remaining_ = remaining_ * 16 + static_cast<unsigned>(v);
        return true;
    }
    if (digits_ == 0)
        return fail("Bad chunk size");
    if (c == ';' || c == ' ' || c == '\t')
        state_ = State::Extension;
    else if (c == '\r')
        state_ = State::SizeLf;
    else if (c == '\n')
        state_ = remaining_ ? State::Data : State::Trailer;
    else
        return fail("Bad chunk size");
    return true;
}

bool TChunkedDecoder::step(char c) {
    switch (state_) {
    case State::Size:
        return sizeDigit(c);
    case State::Extension:
        if (c == '\n')
            state_ = remaining_ ? State::Data : State::Trailer;
        return true;
    case State::SizeLf:
        if (c != '\n')
            return fail("Bad chunk size line");
        state_ = remaining_ ? State::Data : State::Trailer;
        return true;
    case State::DataCr:
    case State::DataLf:
        if (c == '\r' && state_ == State::DataCr) {
            state_ = State::DataLf;
            return true;
        }
        if (c != '\n')
            return fail("Chunk longer than its size");
        state_ = State::Size;
        digits_ = 0;
        return true;
    case State::Trailer:
        if (c == '\n') {
            if (trailerLine_ == 0)
                state_ = State::Done;
            trailerLine_ = 0;
        } else if (c != '\r' && ++trailerLine_ > 4096) {
            return fail("Chunk trailer too long");
        }
        return true;
    default:
        return state_ != State::Failed;
    }
}

bool TChunkedDecoder::feed(const std::uint8_t* bytes, std::size_t count, std::string& out) {
    for (std::size_t i = 0; i < count && state_ != State::Done; ++i) {
        if (state_ == State::Data) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, count - i));
            out.append(reinterpret_cast<const char*>(bytes + i), n);
            remaining_ -= n;
            i += n - 1;
            if (remaining_ == 0)
                state_ = State::DataCr;
        } else if (!step(static_cast<char>(bytes[i]))) {
            return false;
        }
    }
    return state_ != State::Failed;
}

} // namespace telvor
