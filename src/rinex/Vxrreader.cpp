// Raw file reading: finds rM by its header and CRC, the upper-case messages by the splitter's
// framing and checksum table.
#include "rinex/Vxrreader.h"

#include "protocol/Messageformat.h"
#include "protocol/Rawframe.h"

#include <cstring>
#include <string_view>

namespace telvor {

namespace {

struct TLe {
    const std::uint8_t* p;
    template <typename T> T at(std::size_t off) const {
        T v;
        std::memcpy(&v, p + off, sizeof v); // the project builds for little-endian hosts only
        return v;
    }
};

// A two's-complement byte (frequency numbers, leap seconds).
int signedByte(std::uint8_t v) {
    return v < 128 ? int(v) : int(v) - 256;
}

bool hex3(const std::uint8_t* p, std::size_t& len) {
    int a = hexDigitValue(static_cast<char>(p[0])), b = hexDigitValue(static_cast<char>(p[1])),
        c = hexDigitValue(static_cast<char>(p[2]));
    if (a < 0 || b < 0 || c < 0)
        return false;
    len = static_cast<std::size_t>(a) * 256 + static_cast<std::size_t>(b) * 16 +
          static_cast<std::size_t>(c);
    return true;
}

TRawSignal signal(TLe b, std::size_t off, bool slip) {
    TRawSignal s;
    s.range = b.at<double>(off);
    s.phase = b.at<double>(off + 8);
    s.doppler = b.at<float>(off + 16);
    s.cn0 = b.at<std::uint16_t>(off + 20) / 100.0;
    s.lockMs = b.at<std::uint32_t>(off + 22);
    s.slip = slip;
    return s;
}

bool readRm(const std::uint8_t* body, std::size_t len, TVxrContent& out) {
    if (len < 18)
        return false;
    TLe b{body};
    std::size_t n = body[6];
    if (len != 16 + 56 * n + 2)
        return false;
    TRawEpoch e;
    e.week = b.at<std::uint16_t>(0);
    e.towMs = b.at<std::uint32_t>(2);
    for (std::size_t k = 0; k < n; ++k) {
        TLe s{body + 16 + 56 * k};
        TRawSat sat;
        sat.system = s.p[0];
        sat.prn = s.p[1];
        sat.freq = signedByte(s.p[2]);
        if (sat.system > 1)
            continue;
        sat.l1 = signal(s, 4, s.p[3] & 1);
        sat.l2 = signal(s, 30, s.p[3] & 2);
        e.sats.push_back(sat);
    }
    out.epochs.push_back(std::move(e));
    return true;
}

void readGe(TLe b, TVxrContent& out) {
    TGpsEph g;
    g.prn = b.p[0];
    g.health = b.p[1];
    g.ura = b.p[2];
    g.fit = b.p[3];
    g.week = b.at<std::uint16_t>(4);
    g.iode = b.at<std::uint16_t>(6);
    g.iodc = b.at<std::uint16_t>(8);
    g.toe = b.at<std::uint32_t>(10);
    g.toc = b.at<std::uint32_t>(14);
    double* f[] = {&g.af0, &g.af1,   &g.af2,    &g.tgd,      &g.sqrtA, &g.e,    &g.m0,
                   &g.dn,  &g.omega, &g.omega0, &g.omegaDot, &g.i0,    &g.idot, &g.cuc,
                   &g.cus, &g.crc,   &g.crs,    &g.cic,      &g.cis};
    for (std::size_t i = 0; i < std::size(f); ++i)
        *f[i] = b.at<double>(18 + 8 * i);
    out.gps.push_back(g);
}

void readNe(TLe b, TVxrContent& out) {
    TGloEph g;
    g.slot = b.p[0];
    g.freq = signedByte(b.p[1]);
    g.health = b.p[2];
    g.n4 = b.p[3];
    g.nt = b.at<std::uint16_t>(4);
    g.tb = b.at<std::uint32_t>(6);
    for (int i = 0; i < 3; ++i) {
        g.pos[i] = b.at<double>(10 + 8 * i);
        g.vel[i] = b.at<double>(34 + 8 * i);
        g.acc[i] = b.at<double>(58 + 8 * i);
    }
    g.tauN = b.at<double>(82);
    g.gammaN = b.at<double>(90);
    out.glo.push_back(g);
}

void readUpper(std::string_view id, const std::uint8_t* body, std::size_t len, TVxrContent& out) {
    TLe b{body};
    if (id == "GE" && len == 171)
        readGe(b, out);
    else if (id == "NE" && len == 99)
        readNe(b, out);
    else if (id == "IO" && len == 33) {
        for (int i = 0; i < 4; ++i) {
            out.alpha[i] = b.at<float>(4 * i);
            out.beta[i] = b.at<float>(16 + 4 * i);
        }
        out.haveIono = true;
    } else if (id == "UO" && len == 28) {
        out.a0 = b.at<double>(0);
        out.a1 = b.at<double>(8);
        out.tot = b.at<std::uint32_t>(16);
        out.wnt = b.at<std::uint16_t>(20);
        out.leap = signedByte(body[22]);
        out.haveUtc = true;
    } else if (id == "PG" && len >= 24 && !out.havePosition) {
        out.lat = b.at<double>(0);
        out.lon = b.at<double>(8);
        out.height = b.at<double>(16);
        out.havePosition = out.lat != 0 || out.lon != 0;
    } else if (id == "GE" || id == "NE" || id == "IO" || id == "UO")
        ++out.damaged;
}

// "_SIT=name" and its kin, wherever the receiver put them; the newest wins.
void readSiteRecords(const std::uint8_t* data, std::size_t size, TVxrContent& out) {
    std::string_view all(reinterpret_cast<const char*>(data), size);
    struct {
        const char* tag;
        std::string* value;
    } tags[] = {{"_SIT=", &out.siteName},
                {"_ANH=", &out.antennaHeight},
                {"_DYM=", &out.dynamics},
                {"_ANT=", &out.antennaType}};
    for (auto& t : tags)
        for (std::size_t at = all.find(t.tag); at != std::string_view::npos;
             at = all.find(t.tag, at + 1)) {
            std::size_t from = at + 5, to = from;
            while (to < size && to - from < 60 && data[to] >= 0x20 && data[to] < 0x7f &&
                   data[to] != '"')
                ++to;
            *t.value = std::string(all.substr(from, to - from));
        }
}

} // namespace

TVxrContent readVxr(const std::uint8_t* data, std::size_t size) {
    TVxrContent out;
    std::size_t i = 0;
    while (i + 5 <= size) {
        const std::uint8_t* p = data + i;
        std::size_t len = 0;
        if (p[0] == 'r' && p[1] == 'M' && hex3(p + 2, len)) {
            const std::size_t frame = rawFrameAt(p, size - i);
            if (frame != 0 && frame != kRawFrameIncomplete && readRm(p + 5, frame - 5, out)) {
                i += frame;
                continue;
            }
            ++out.damaged;
        } else if (isMessageHeader(p) && p[0] != '$' && hex3(p + 2, len) && i + 5 + len <= size &&
                   checkMessage(p, 5 + len) == CheckResult::Good) {
            readUpper(messageId(p), p + 5, len, out);
            i += 5 + len;
            continue;
        } else if ((p[0] == 'G' || p[0] == 'N') && p[1] == 'E' && hex3(p + 2, len)) {
            ++out.damaged; // a damaged or cut ephemeris
        }
        ++i;
    }
    readSiteRecords(data, size, out);
    return out;
}

} // namespace telvor
