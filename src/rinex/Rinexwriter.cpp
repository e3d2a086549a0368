// RINEX text: header lines, observation epochs and navigation records.
#include "rinex/Rinexwriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <set>

namespace telvor {

namespace {

struct TCivil {
    int y, mo, d, h, mi;
    double s;
};

// Seconds since 1970 (no leap seconds) to the calendar.
TCivil civil(double t) {
    double day = std::floor(t / 86400.0);
    double sod = t - day * 86400.0;
    long z = static_cast<long>(day) + 719468, era = (z >= 0 ? z : z - 146096) / 146097;
    long doe = z - era * 146097, yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
    int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    int mo = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    int y = static_cast<int>(yoe + era * 400 + (mo <= 2));
    int h = static_cast<int>(sod / 3600), mi = static_cast<int>((sod - h * 3600) / 60);
    return {y, mo, d, h, mi, sod - h * 3600 - mi * 60};
}

constexpr double kGpsEpoch = 315964800.0; // 1980-01-06 in seconds since 1970

double gpsSeconds(int week, double tow) {
    return kGpsEpoch + week * 604800.0 + tow;
}

std::string fmt(const char* f, auto... a) {
    char b[160];
    std::snprintf(b, sizeof b, f, a...);
    return b;
}

std::string num(double v) {
    return fmt("%19.12E", v);
}

struct TObsType {
    const char* v3;
    const char* v2;
    bool l2;
    int field; // 0 range, 1 phase, 2 doppler, 3 cn0
};
constexpr TObsType kTypes[] = {{"C1C", "C1", false, 0}, {"L1C", "L1", false, 1},
                               {"D1C", "D1", false, 2}, {"S1C", "S1", false, 3},
                               {"C2P", "P2", true, 0},  {"L2P", "L2", true, 1},
                               {"D2P", "D2", true, 2},  {"S2P", "S2", true, 3}};

std::vector<const TObsType*> types(const TRinexOptions& o) {
    std::vector<const TObsType*> t;
    for (const auto& k : kTypes)
        if (k.l2 ? o.l2 : o.l1)
            t.push_back(&k);
    return t;
}

bool wanted(const TRawSat& s, const TRinexOptions& o) {
    return s.system == 0 ? o.gps : o.glo;
}

bool kept(const TRawEpoch& e, const TRinexOptions& o) {
    return o.decimateMs <= 0 || e.towMs % static_cast<std::uint32_t>(o.decimateMs) == 0;
}

std::string satName(int system, int prn) {
    return fmt("%c%02d", system == 0 ? 'G' : 'R', prn);
}

void ecef(double lat, double lon, double h, double xyz[3]) {
    const double a = 6378137.0, e2 = 6.69437999014e-3;
    double n = a / std::sqrt(1 - e2 * std::sin(lat) * std::sin(lat));
    xyz[0] = (n + h) * std::cos(lat) * std::cos(lon);
    xyz[1] = (n + h) * std::cos(lat) * std::sin(lon);
    xyz[2] = (n * (1 - e2) + h) * std::sin(lat);
}

std::string timeLine(double t, const char* label) {
    TCivil c = civil(t);
    return headerLine(
        fmt("  %4d    %2d    %2d    %2d    %2d   %10.7f     GPS", c.y, c.mo, c.d, c.h, c.mi, c.s),
        label);
}

// The site's antenna height: "1.5" or "1.5S"; a slant height is kept as given.
double antennaHeight(const std::string& text) {
    try {
        return text.empty() ? 0.0 : std::stod(text);
    } catch (...) {
        return 0.0;
    }
}

std::string commonHeader(const TVxrContent& c, const TRinexOptions& o) {
    const THeaderTexts& h = o.header;
    std::string out;
    char date[32];
    std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y%m%d %H%M%S UTC", std::gmtime(&now));
    out += headerLine(fmt("%-20.20s%-20.20s%-20.20s", "telvor-vxr2rin", h.runBy.c_str(), date),
                      "PGM / RUN BY / DATE");
    if (!h.comment.empty())
        out += headerLine(h.comment.substr(0, 60), "COMMENT");
    if (!c.dynamics.empty())
        out += headerLine("Antenna status: " + c.dynamics.substr(0, 40), "COMMENT");
    std::string marker = !c.siteName.empty() ? c.siteName : h.markerName;
    out += headerLine(marker.substr(0, 60), "MARKER NAME");
    if (!h.markerNumber.empty())
        out += headerLine(h.markerNumber.substr(0, 20), "MARKER NUMBER");
    out += headerLine(fmt("%-20.20s%-40.40s", h.observer.c_str(), h.agency.c_str()),
                      "OBSERVER / AGENCY");
    out += headerLine(fmt("%-20.20s%-20.20s%-20.20s", "", "TELVOR", ""), "REC # / TYPE / VERS");
    std::string antType = !c.antennaType.empty() ? c.antennaType : h.antType;
    out +=
        headerLine(fmt("%-20.20s%-20.20s", h.antNumber.c_str(), antType.c_str()), "ANT # / TYPE");
    double xyz[3] = {0, 0, 0};
    if (c.havePosition)
        ecef(c.lat, c.lon, c.height, xyz);
    out += headerLine(fmt("%14.4f%14.4f%14.4f", xyz[0], xyz[1], xyz[2]), "APPROX POSITION XYZ");
    out += headerLine(fmt("%14.4f%14.4f%14.4f", antennaHeight(c.antennaHeight), 0.0, 0.0),
                      "ANTENNA: DELTA H/E/N");
    return out;
}

std::string typeLines(const TRinexOptions& o, const std::vector<const TObsType*>& t) {
    std::string out;
    if (o.version == 304) {
        for (int s = 0; s < 2; ++s) {
            if (s == 0 ? !o.gps : !o.glo)
                continue;
            std::string line = fmt("%c  %3d", s == 0 ? 'G' : 'R', static_cast<int>(t.size()));
            for (auto* k : t)
                line += fmt(" %s", k->v3);
            out += headerLine(line, "SYS / # / OBS TYPES");
        }
        out += headerLine("DBHZ", "SIGNAL STRENGTH UNIT");
    } else {
        std::string line = fmt("%6d", static_cast<int>(t.size()));
        for (auto* k : t)
            line += fmt("    %s", k->v2);
        out += headerLine(line, "# / TYPES OF OBSERV");
        out += headerLine(fmt("%6d%6d", 1, 1), "WAVELENGTH FACT L1/2");
    }
    return out;
}

// RINEX 3 only: each GLONASS slot seen with its frequency number, eight to a line.
std::string gloSlotLines(const std::vector<const TRawEpoch*>& epochs) {
    std::map<int, int> slots;
    for (auto* e : epochs)
        for (auto& s : e->sats)
            if (s.system == 1)
                slots[s.prn] = s.freq;
    std::string out;
    std::string line = fmt("%3d ", static_cast<int>(slots.size()));
    int n = 0;
    for (auto [slot, k] : slots) {
        if (n > 0 && n % 8 == 0) {
            out += headerLine(line, "GLONASS SLOT / FRQ #");
            line = "    ";
        }
        line += fmt("R%02d %2d ", slot, k);
        ++n;
    }
    out += headerLine(line, "GLONASS SLOT / FRQ #");
    out +=
        headerLine(" C1C    0.000 C1P    0.000 C2C    0.000 C2P    0.000", "GLONASS COD/PHS/BIS");
    return out;
}

std::string obsHeader(const TVxrContent& c, const TRinexOptions& o,
                      const std::vector<const TRawEpoch*>& epochs) {
    std::string out;
    bool mixed = o.gps && o.glo;
    char sys = mixed ? 'M' : (o.gps ? 'G' : 'R');
    out += headerLine(fmt("%9.2f%-11s%-20s%c%-19s", o.version == 304 ? 3.04 : 2.11, "",
                          "OBSERVATION DATA", sys, ""),
                      "RINEX VERSION / TYPE");
    out += commonHeader(c, o);
    out += typeLines(o, types(o));
    if (epochs.size() > 1) {
        double dt = (double(epochs[1]->towMs) - double(epochs[0]->towMs)) / 1000.0 +
                    (epochs[1]->week - epochs[0]->week) * 604800.0;
        out += headerLine(fmt("%10.3f", dt), "INTERVAL");
    }
    auto at = [](const TRawEpoch* e) { return gpsSeconds(e->week, e->towMs / 1000.0); };
    out += timeLine(at(epochs.front()), "TIME OF FIRST OBS");
    out += timeLine(at(epochs.back()), "TIME OF LAST OBS");
    if (o.glo && o.version == 304)
        out += gloSlotLines(epochs);
    if (c.haveUtc && c.leap != 0)
        out += headerLine(fmt("%6d", c.leap), "LEAP SECONDS");
    out += headerLine("", "END OF HEADER");
    return out;
}

double field(const TRawSignal& s, int f) {
    switch (f) {
    case 0:
        return s.range;
    case 1:
        return s.phase;
    case 2:
        return s.doppler;
    default:
        return s.cn0;
    }
}

// F14.3 by hand: printf per value is most of a day's conversion time.
void fixed143(double v, char* out) {
    long long m = std::llround(std::fabs(v) * 1000);
    char* p = out + 13;
    for (int i = 0; i < 3; ++i, m /= 10)
        *p-- = char('0' + m % 10);
    *p-- = '.';
    do {
        *p-- = char('0' + m % 10);
        m /= 10;
    } while (m > 0 && p >= out);
    if (v < 0 && p >= out)
        *p-- = '-';
    while (p >= out)
        *p-- = ' ';
}

// One observation: F14.3, loss-of-lock indicator, signal strength 1..9.
void obsValue(std::string& line, const TRawSignal& s, int f, bool lost) {
    double v = field(s, f);
    if (s.range == 0 || v == 0 || std::fabs(v) >= 1e9) {
        line.append(16, ' ');
        return;
    }
    char b[16];
    fixed143(v, b);
    b[14] = f == 1 && lost ? '1' : ' ';
    b[15] = char('0' + std::clamp(static_cast<int>(s.cn0 / 6), 1, 9));
    line.append(b, 16);
}

using TLockKey = std::pair<int, int>; // system*100+prn, band

} // namespace

std::string headerLine(const std::string& text, const std::string& label) {
    return fmt("%-60.60s%-20.20s\n", text.c_str(), label.c_str());
}

std::string rinexObservations(const TVxrContent& c, const TRinexOptions& o) {
    std::vector<const TRawEpoch*> epochs;
    for (const auto& e : c.epochs)
        if (kept(e, o))
            epochs.push_back(&e);
    if (epochs.empty())
        return {};
    std::string out = obsHeader(c, o, epochs);
    const auto t = types(o);
    std::map<TLockKey, std::uint32_t> lastLock;
    out.reserve(out.size() + epochs.size() * (40 + 16 * t.size() * 12));
    for (auto* e : epochs) {
        std::vector<const TRawSat*> sats;
        for (auto& s : e->sats)
            if (wanted(s, o))
                sats.push_back(&s);
        TCivil cv = civil(gpsSeconds(e->week, e->towMs / 1000.0));
        if (o.version == 304)
            out += fmt("> %4d %02d %02d %02d %02d%11.7f  0%3d\n", cv.y, cv.mo, cv.d, cv.h, cv.mi,
                       cv.s, static_cast<int>(sats.size()));
        else {
            out += fmt(" %02d %2d %2d %2d %2d%11.7f  0%3d", cv.y % 100, cv.mo, cv.d, cv.h, cv.mi,
                       cv.s, static_cast<int>(sats.size()));
            for (std::size_t i = 0; i < sats.size(); ++i) {
                if (i > 0 && i % 12 == 0)
                    out += "\n" + std::string(32, ' ');
                out += satName(sats[i]->system, sats[i]->prn);
            }
            out += "\n";
        }
        for (auto* s : sats) {
            bool lost[2];
            for (int band = 0; band < 2; ++band) {
                const TRawSignal& g = band == 0 ? s->l1 : s->l2;
                TLockKey key{s->system * 100 + s->prn, band};
                auto it = lastLock.find(key);
                lost[band] = g.slip || (it != lastLock.end() && g.lockMs < it->second);
                lastLock[key] = g.lockMs;
            }
            std::string line = o.version == 304 ? satName(s->system, s->prn) : "";
            for (std::size_t i = 0; i < t.size(); ++i) {
                if (o.version != 304 && i > 0 && i % 5 == 0) {
                    while (!line.empty() && line.back() == ' ')
                        line.pop_back();
                    out += line + "\n";
                    line.clear();
                }
                obsValue(line, t[i]->l2 ? s->l2 : s->l1, t[i]->field, lost[t[i]->l2 ? 1 : 0]);
            }
            while (!line.empty() && line.back() == ' ')
                line.pop_back();
            out += line + "\n";
        }
    }
    return out;
}

namespace {

std::string navHeader(const TVxrContent& c, const TRinexOptions& o, char system) {
    std::string out;
    if (o.version == 304)
        out += headerLine(fmt("%9.2f%-11s%-20s%c%-19s", 3.04, "", "N: GNSS NAV DATA", system, ""),
                          "RINEX VERSION / TYPE");
    else if (system == 'G')
        out +=
            headerLine(fmt("%9.2f%-11s%-40s", 2.11, "", "N: GPS NAV DATA"), "RINEX VERSION / TYPE");
    else
        out += headerLine(fmt("%9.2f%-11s%-40s", 2.11, "", "G: GLONASS NAV DATA"),
                          "RINEX VERSION / TYPE");
    char date[32];
    std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y%m%d %H%M%S UTC", std::gmtime(&now));
    out +=
        headerLine(fmt("%-20.20s%-20.20s%-20.20s", "telvor-vxr2rin", o.header.runBy.c_str(), date),
                   "PGM / RUN BY / DATE");
    if (c.haveIono && system != 'R') {
        auto d = [](float v) { return fmt("%12.4E", static_cast<double>(v)); };
        if (o.version == 304) {
            out +=
                headerLine("GPSA " + d(c.alpha[0]) + d(c.alpha[1]) + d(c.alpha[2]) + d(c.alpha[3]),
                           "IONOSPHERIC CORR");
            out += headerLine("GPSB " + d(c.beta[0]) + d(c.beta[1]) + d(c.beta[2]) + d(c.beta[3]),
                              "IONOSPHERIC CORR");
        } else {
            out += headerLine("  " + d(c.alpha[0]) + d(c.alpha[1]) + d(c.alpha[2]) + d(c.alpha[3]),
                              "ION ALPHA");
            out += headerLine("  " + d(c.beta[0]) + d(c.beta[1]) + d(c.beta[2]) + d(c.beta[3]),
                              "ION BETA");
        }
    }
    if (c.haveUtc && system != 'R') {
        if (o.version == 304)
            out += headerLine(fmt("GPUT %17.10E%16.9E%7u%5d", c.a0, c.a1, c.tot, c.wnt),
                              "TIME SYSTEM CORR");
        else
            out += headerLine(fmt("   %19.12E%19.12E%9u%9d", c.a0, c.a1, c.tot, c.wnt),
                              "DELTA-UTC: A0,A1,T,W");
    }
    if (c.haveUtc)
        out += headerLine(fmt("%6d", c.leap), "LEAP SECONDS");
    out += headerLine("", "END OF HEADER");
    return out;
}

double uraMetres(int i) {
    static const double k[] = {2,  2.8, 4,   5.7, 8,    11.3, 16,   32,
                               64, 128, 256, 512, 1024, 2048, 4096, 6144};
    return i >= 0 && i < 16 ? k[i] : 6144;
}

std::string epochText(const TRinexOptions& o, int system, int prn, double t) {
    TCivil c = civil(t);
    if (o.version == 304)
        return satName(system, prn) + fmt(" %4d %02d %02d %02d %02d %02d", c.y, c.mo, c.d, c.h,
                                          c.mi, static_cast<int>(std::lround(c.s)));
    return fmt("%2d %02d %2d %2d %2d %2d%5.1f", prn, c.y % 100, c.mo, c.d, c.h, c.mi, c.s);
}

std::string orbitLine(const TRinexOptions& o, std::initializer_list<double> v) {
    std::string s = o.version == 304 ? "    " : "   ";
    for (double x : v)
        s += num(x);
    return s + "\n";
}

std::string gpsRecord(const TGpsEph& g, const TRinexOptions& o) {
    std::string s = epochText(o, 0, g.prn, gpsSeconds(g.week, g.toc)) + num(g.af0) + num(g.af1) +
                    num(g.af2) + "\n";
    s += orbitLine(o, {double(g.iode), g.crs, g.dn, g.m0});
    s += orbitLine(o, {g.cuc, g.e, g.cus, g.sqrtA});
    s += orbitLine(o, {double(g.toe), g.cic, g.omega0, g.cis});
    s += orbitLine(o, {g.i0, g.crc, g.omega, g.omegaDot});
    s += orbitLine(o, {g.idot, 1.0, double(g.week), 0.0});
    s += orbitLine(o, {uraMetres(g.ura), double(g.health), g.tgd, double(g.iodc)});
    double tx = std::fmod(g.toe + 604800.0 - 7200.0, 604800.0);
    s += orbitLine(o, {tx, double(g.fit > 0 ? g.fit : 4)});
    return s;
}

// tb is Moscow time of day NT of the four-year period N4.
double gloUtc(const TGloEph& g) {
    int year = 1996 + 4 * (g.n4 - 1);
    long y = year - 1, days = 365L * (year - 1970) + (y / 4 - 1969 / 4) - (y / 100 - 1969 / 100) +
                              (y / 400 - 1969 / 400);
    return (days + g.nt - 1) * 86400.0 + g.tb - 3 * 3600.0;
}

std::string gloRecord(const TGloEph& g, const TRinexOptions& o) {
    double utc = gloUtc(g);
    double tk = std::fmod(utc, 86400.0);
    std::string s = epochText(o, 1, g.slot, utc) + num(-g.tauN) + num(g.gammaN) + num(tk) + "\n";
    s += orbitLine(o, {g.pos[0] / 1000, g.vel[0] / 1000, g.acc[0] / 1000, double(g.health)});
    s += orbitLine(o, {g.pos[1] / 1000, g.vel[1] / 1000, g.acc[1] / 1000, double(g.freq)});
    s += orbitLine(o, {g.pos[2] / 1000, g.vel[2] / 1000, g.acc[2] / 1000, 0.0});
    return s;
}

} // namespace

std::string rinexNavigation(const TVxrContent& c, const TRinexOptions& o, char system) {
    bool gps = o.gps && system != 'R', glo = o.glo && system != 'G';
    std::string body;
    std::set<std::pair<int, long>> seen;
    if (gps)
        for (const auto& g : c.gps)
            if (seen.insert({g.prn, long(g.week) * 604800 + g.toc}).second)
                body += gpsRecord(g, o);
    if (glo)
        for (const auto& g : c.glo)
            if (seen.insert({100 + g.slot, long(g.n4) * 2000 * 86400 + g.nt * 86400L + g.tb})
                    .second)
                body += gloRecord(g, o);
    if (body.empty())
        return {};
    return navHeader(c, o, system) + body;
}

} // namespace telvor
