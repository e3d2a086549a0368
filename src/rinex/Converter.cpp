// Converting one raw file: read it whole, write each RINEX file under a temporary name and
// rename it when complete, so that no half-written file carries a final name.
#include "rinex/Converter.h"

#include "protocol/Numbers.h"
#include "settings/Profile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace telvor {

namespace fs = std::filesystem;

const char* const kConverterUsage =
    "usage: telvor-vxr2rin -i FILE [-p SETTINGS] [-q] [-G] [-R] [-1] [-2] [--version 3.04|2.11] "
    "[--out DIR] [--long|--short] [--interval SECONDS]";

namespace {

TConverterResult fail(int code, std::string text) {
    return {code, std::move(text), {}};
}

} // namespace

TConverterResult parseConverterArgs(const std::vector<std::string>& args, TConverterArgs& out) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool hasValue = i + 1 < args.size();
        if (a == "-q")
            out.quiet = true;
        else if (a == "-G")
            out.rinex.gps = false;
        else if (a == "-R")
            out.rinex.glo = false;
        else if (a == "-1")
            out.rinex.l1 = false;
        else if (a == "-2")
            out.rinex.l2 = false;
        else if (a == "--short" || a == "--long") {
            out.longNames = a == "--long";
            out.namesGiven = true;
        } else if ((a == "-i" || a == "-p" || a == "--out") && hasValue)
            (a == "-i" ? out.input : a == "-p" ? out.settings : out.outputFolder) = args[++i];
        else if (a == "--version" && hasValue) {
            const std::string& v = args[++i];
            if (v == "3.04" || v == "3")
                out.rinex.version = 304;
            else if (v == "2.11" || v == "2")
                out.rinex.version = 211;
            else
                return fail(kUsageError, "RINEX version must be 3.04 or 2.11: " + v);
        } else if (a == "--interval" && hasValue) {
            auto s = parseNumber(args[++i]);
            if (!s || *s < 0 || *s > 86400)
                return fail(kUsageError, "Invalid interval: " + args[i]);
            out.rinex.decimateMs = static_cast<int>(std::lround(*s * 1000));
        } else
            return fail(kUsageError, "Invalid option: " + a);
    }
    if (out.input.empty())
        return fail(kUsageError, "No input file (-i FILE)");
    if (!out.rinex.gps && !out.rinex.glo)
        return fail(kUsageError, "At least one satellite system must be enabled");
    if (!out.rinex.l1 && !out.rinex.l2)
        return fail(kUsageError, "At least one band must be enabled");
    if (!out.namesGiven)
        out.longNames = out.rinex.version == 304;
    return {};
}

THeaderTexts readHeaderTexts(const std::string& settingsFile) {
    THeaderTexts h;
    if (settingsFile.empty() || !fs::exists(settingsFile))
        return h;
    TProfile p(settingsFile);
    auto r = [&](const char* key) { return p.readString("VXR2RIN", key, ""); };
    h = {r("RUN BY"),   r("OBSERVER"), r("AGENCY"),      r("ANT #"),
         r("ANT TYPE"), r("COMMENT"),  r("MARKER NAME"), r("MARKER NUMBER")};
    return h;
}

namespace {

struct TDay {
    int year, doy, hour, minute;
};

TDay firstDay(const TVxrContent& c) {
    const auto& e = c.epochs.front();
    std::time_t t = static_cast<std::time_t>(315964800.0 + e.week * 604800.0 + e.towMs / 1000.0);
    std::tm tm{};
    gmtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_yday + 1, tm.tm_hour, tm.tm_min};
}

std::string period(const TVxrContent& c) {
    const auto &a = c.epochs.front(), &b = c.epochs.back();
    double span = (b.week - a.week) * 604800.0 + (double(b.towMs) - a.towMs) / 1000.0 + 1;
    if (span > 86400 - 60)
        return "01D";
    if (span > 3540)
        return std::to_string(int(std::ceil(span / 3600)) + 100).substr(1) + "H";
    return std::to_string(int(std::ceil(span / 60)) + 100).substr(1) + "M";
}

std::string station(const TConverterArgs& a, const TVxrContent& c) {
    std::string s = !c.siteName.empty()                  ? c.siteName
                    : !a.rinex.header.markerName.empty() ? a.rinex.header.markerName
                                                         : fs::path(a.input).stem().string();
    std::string out;
    for (char ch : s)
        if (std::isalnum(static_cast<unsigned char>(ch)) && out.size() < 4)
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    while (out.size() < 4)
        out += 'X';
    return out;
}

bool writeWhole(const fs::path& final, const std::string& text, std::string& error) {
    fs::path temp = final;
    temp += ".part";
    {
        std::ofstream f(temp, std::ios::binary | std::ios::trunc);
        if (!f) {
            error = "Can't open output file: " + temp.string();
            return false;
        }
        f.write(text.data(), static_cast<std::streamsize>(text.size()));
        f.close();
        if (!f) {
            std::error_code ec;
            fs::remove(temp, ec);
            error = "Error writing output file: " + temp.string();
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temp, final, ec);
    if (ec) {
        fs::remove(temp, ec);
        error = "Can't rename output file to " + final.string();
        return false;
    }
    return true;
}

} // namespace

std::string observationName(const std::string& st, const TVxrContent& c, const TConverterArgs& a,
                            char kind, const char* tail) {
    TDay d = firstDay(c);
    char b[96];
    if (a.longNames) {
        std::string rate;
        if (kind == 'O') {
            int s = a.rinex.decimateMs > 0 ? a.rinex.decimateMs / 1000 : 1;
            if (c.epochs.size() > 1)
                s = std::max(1, int((c.epochs[1].towMs - c.epochs[0].towMs) / 1000));
            if (a.rinex.decimateMs >= 1000)
                s = std::max(s, a.rinex.decimateMs / 1000);
            rate = "_" + std::to_string(std::min(s, 99) + 100).substr(1) + "S";
        }
        std::snprintf(b, sizeof b, "%s00XXX_R_%04d%03d%02d%02d_%s%s_%s.rnx", st.c_str(), d.year,
                      d.doy, d.hour, d.minute, period(c).c_str(), rate.c_str(), tail);
    } else {
        std::string lower;
        for (char ch : st)
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        std::snprintf(b, sizeof b, "%s%03d%c.%02d%c", lower.c_str(), d.doy, 'a' + d.hour,
                      d.year % 100, kind);
    }
    return b;
}

TConverterResult convertFile(const TConverterArgs& a) {
    std::ifstream in(a.input, std::ios::binary);
    if (!in)
        return fail(kOpenError, "Can't open file: " + a.input);
    std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
    if (in.bad())
        return fail(kOpenError, "Error reading file: " + a.input);
    TVxrContent c = readVxr(data.data(), data.size());
    if (c.epochs.empty())
        return c.damaged > 0 ? fail(kCorruptData, "No intact raw measurement in " + a.input)
                             : fail(kNotRawFile, "No raw measurement in " + a.input);
    TConverterArgs args = a;
    args.rinex.header = readHeaderTexts(a.settings);
    std::string obs = rinexObservations(c, args.rinex);
    if (obs.empty())
        return fail(kCorruptData, "No epoch left to convert in " + a.input);
    fs::path folder = a.outputFolder.empty() ? fs::path(".") : fs::path(a.outputFolder);
    const std::string st = station(args, c);
    struct TOut {
        char kind;
        const char* tail;
        std::string text;
    };
    const char obsTail[] = {args.rinex.gps && args.rinex.glo ? 'M'
                            : args.rinex.gps                 ? 'G'
                                                             : 'R',
                            'O', 0};
    std::vector<TOut> files{{'O', obsTail, obs}};
    if (args.rinex.version == 304)
        files.push_back({'N',
                         obsTail[0] == 'M'   ? "MN"
                         : obsTail[0] == 'G' ? "GN"
                                             : "RN",
                         rinexNavigation(c, args.rinex, obsTail[0])});
    else {
        if (args.rinex.gps)
            files.push_back({'N', "GN", rinexNavigation(c, args.rinex, 'G')});
        if (args.rinex.glo)
            files.push_back({'G', "RN", rinexNavigation(c, args.rinex, 'R')});
    }
    TConverterResult r;
    for (auto& [kind, tail, text] : files) {
        if (text.empty())
            continue;
        std::string name = observationName(st, c, args, kind, tail);
        std::string error;
        if (!writeWhole(folder / name, text, error))
            return fail(kOutputError, error);
        r.written.push_back((folder / name).string());
    }
    return r;
}

} // namespace telvor
