#pragma once
// What a caster is sent: the client's GET, a base's SOURCE (1.0) or POST (2.0), and the GGA
// sentence of the rover's position for network casters.
#include <optional>
#include <string>
#include <string_view>

namespace telvor {

struct TCasterAddress {
    std::string host;
    int port = 2101;
};

// "HOST:PORT" or "HOST" (port 2101); "[::1]:2101" for an IPv6 literal. Nothing when malformed.
std::optional<TCasterAddress> parseCasterAddress(std::string_view text);

struct TNtripLogin {
    TCasterAddress caster;
    std::string mount; // without the leading "/"
    std::string user, password;
    int version = 2; // 1: NTRIP 1.0 (HTTP/1.0, "ICY"), 2: NTRIP 2.0 (HTTP/1.1, chunked)
};

std::string base64(std::string_view bytes);

// GET /MOUNT; an empty mount asks for the sourcetable. No credentials: no Authorization line.
std::string clientRequest(const TNtripLogin& login);
// A base's upload: 1.0 "SOURCE password /MOUNT", 2.0 "POST /MOUNT" with chunked data to follow.
std::string sourceRequest(const TNtripLogin& login);

// "$GPGGA,...*CS\r\n" for a fix at `utcSeconds` (seconds of the UTC day); degrees, metres.
std::string ggaSentence(double latDeg, double lonDeg, double heightM, double utcSeconds,
                        int satellites = 8);

} // namespace telvor
