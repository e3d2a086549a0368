#include "ntrip/Ntriprequest.h"

#include <cmath>
#include <cstdio>

namespace telvor {
namespace {

constexpr const char* kAgent = "NTRIP Telvor/1.0";

std::string authorization(const TNtripLogin& login) {
    if (login.user.empty() && login.password.empty())
        return {};
    return "Authorization: Basic " + base64(login.user + ":" + login.password) + "\r\n";
}

std::string hostHeader(const TCasterAddress& c) {
    const bool v6 = c.host.find(':') != std::string::npos;
    return "Host: " + (v6 ? "[" + c.host + "]" : c.host) + ":" + std::to_string(c.port) + "\r\n";
}

// Degrees as NMEA's ddmm.mmmmm with the hemisphere letter.
std::string nmeaAngle(double deg, int degreeDigits, char positive, char negative) {
    const char hemisphere = deg < 0 ? negative : positive;
    deg = std::fabs(deg);
    int whole = static_cast<int>(deg);
    double minutes = (deg - whole) * 60;
    if (minutes >= 59.999995) { // would print as 60.00000
        minutes = 0;
        ++whole;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%0*d%08.5f,%c", degreeDigits, whole, minutes, hemisphere);
    return text;
}

} // namespace

std::optional<TCasterAddress> parseCasterAddress(std::string_view text) {
    TCasterAddress a;
    std::string_view host = text, port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        host = text.substr(1, close - 1);
        std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && (rest.front() != ':' || rest.size() == 1))
            return std::nullopt;
        port = rest.empty() ? rest : rest.substr(1);
    } else if (const std::size_t colon = text.rfind(':'); colon != std::string_view::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (port.empty() || host.find(':') != std::string_view::npos)
            return std::nullopt;
    }
    if (host.empty() || host.find_first_of(" \t\r\n/") != std::string_view::npos)
        return std::nullopt;
    a.host = std::string(host);
    if (!port.empty()) {
        int value = 0;
        for (char c : port) {
            if (c < '0' || c > '9' || value > 65535)
                return std::nullopt;
            value = value * 10 + (c - '0');
        }
        if (value < 1 || value > 65535)
            return std::nullopt;
        a.port = value;
    }
    return a;
}

std::string base64(std::string_view bytes) {
    static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], kDigits[(v >> 6) & 63], kDigits[v & 63]};
    }
    if (const std::size_t left = bytes.size() - i) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (left == 2)
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kDigits[v >> 18];
        out += kDigits[(v >> 12) & 63];
        out += left == 2 ? kDigits[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string clientRequest(const TNtripLogin& login) {
    const std::string path = "/" + login.mount;
    if (login.version == 1)
        return "GET " + path + " HTTP/1.0\r\nUser-Agent: " + kAgent + "\r\n" +
               authorization(login) + "\r\n";
    return "GET " + path + " HTTP/1.1\r\n" + hostHeader(login.caster) +
           "Ntrip-Version: Ntrip/2.0\r\nUser-Agent: " + kAgent + "\r\n" + authorization(login) +
           "Connection: close\r\n\r\n";
}

std::string sourceRequest(const TNtripLogin& login) {
    if (login.version == 1)
        return "SOURCE " + login.password + " /" + login.mount + "\r\nSource-Agent: " + kAgent +
               "\r\n\r\n";
    return "POST /" + login.mount + " HTTP/1.1\r\n" + hostHeader(login.caster) +
           "Ntrip-Version: Ntrip/2.0\r\nUser-Agent: " + kAgent + "\r\n" + authorization(login) +
           "Connection: close\r\nTransfer-Encoding: chunked\r\n\r\n";
}

std::string ggaSentence(double latDeg, double lonDeg, double heightM, double utcSeconds,
                        int satellites) {
    const int centis = static_cast<int>(std::lround(std::fmod(utcSeconds, 86400.0) * 100));
    const int h = centis / 360000 % 24, m = centis / 6000 % 60;
    const double s = (centis % 6000) / 100.0;
    char body[160];
    std::snprintf(body, sizeof body, "GPGGA,%02d%02d%05.2f,%s,%s,1,%02d,1.0,%.3f,M,0.000,M,,", h, m,
                  s, nmeaAngle(latDeg, 2, 'N', 'S').c_str(), nmeaAngle(lonDeg, 3, 'E', 'W').c_str(),
                  satellites, heightM);
    unsigned char sum = 0;
    for (const char* p = body; *p; ++p)
        sum ^= static_cast<unsigned char>(*p);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return std::string("$") + body + tail;
}

} // namespace telvor
