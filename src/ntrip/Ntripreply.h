#pragma once
// A caster's answer: the status line and headers that come before the stream, and the chunked
// transfer coding of NTRIP 2.0. Both are fed untrusted bytes from the network.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace telvor {

inline constexpr const char* kUnauthorizedText = "401 Unauthorized";
inline constexpr const char* kMountNotFoundText = "mountpoint not found";

enum class TReplyKind {
    Incomplete,   // more bytes needed
    Stream,       // "ICY 200 OK" or HTTP 200: data follows
    Sourcetable,  // the caster lists its streams instead
    Unauthorized, // 401
    NotFound,     // 404
    Failed,       // anything else; `error` says what
};

struct TReply {
    TReplyKind kind = TReplyKind::Incomplete;
    std::size_t headerLength = 0; // bytes before the body
    bool chunked = false;
    long long contentLength = -1; // -1: not given
    std::string error;            // for every kind but Incomplete and Stream
};

// Reads the start of what the caster sent so far.
TReply parseReply(std::string_view received);

// A base's upload answered: "ICY 200 OK" or HTTP 200 accepts it.
TReply parseSourceReply(std::string_view received);

class TChunkedDecoder {
public:
    // Appends the data of the chunks in `bytes` to `out`; false once the coding is broken
    // (the decoder then stays failed, see error()).
    bool feed(const std::uint8_t* bytes, std::size_t count, std::string& out);
    bool finished() const { return state_ == State::Done; }
    bool failed() const { return state_ == State::Failed; }
    const std::string& error() const { return error_; }

private:
    enum class State { Size, Extension, SizeLf, Data, DataCr, DataLf, Trailer, Done, Failed };
    bool fail(const char* text);
    bool step(char c); // a byte outside a chunk's data
    bool sizeDigit(char c);
    State state_ = State::Size;
    std::uint64_t remaining_ = 0;
    int digits_ = 0;
    std::size_t trailerLine_ = 0;
    std::string error_;
};

} // namespace telvor
