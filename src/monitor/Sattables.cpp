#include "monitor/Sattables.h"

#include "monitor/Body.h"
#include "monitor/Numformat.h"
#include "protocol/Messageformat.h"
#include "protocol/Numbers.h"

#include <cmath>
#include <cstdio>

namespace telvor {
namespace {

std::string printf02(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

// Columns as numbered in the GPS list; a GLONASS row has "Fn" first, one further right.
enum Column { kEl = 1, kAz = 2, kCa = 3, kP1 = 4, kP2 = 5, kTc = 6, kSs = 7 };

constexpr std::int32_t kUnknownDoppler = 2147483647;

bool endsWith(const std::string& s, std::string_view tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

TSatClass satClassOf(int index) {
    if (index >= 38 && index <= 70)
        return TSatClass::Glonass;
    if (index >= 1 && index <= 37)
        return TSatClass::Gps;
    if (index >= 120 && index <= 138)
        return TSatClass::Sbas;
    return TSatClass::Unknown;
}

std::string satNumberText(int index, bool almanacSeen) {
    switch (satClassOf(index)) {
    case TSatClass::Gps:
        return printf02(index) + (almanacSeen ? "" : "*");
    case TSatClass::Glonass:
        return printf02(index - 45);
    case TSatClass::Sbas: {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%03d", index);
        return buf;
    }
    default:
        return "??";
    }
}

std::string elevationText(std::int8_t v) {
    return v == 127 ? "??" : std::to_string(v);
}

std::string azimuthText(std::uint8_t v) {
    return v == 255 ? "??" : std::to_string(v * 2);
}

std::string snrText(std::uint8_t v) {
    return v == 255 ? "??" : std::to_string(v);
}

std::string trackingText(std::uint16_t sec) {
    if (sec == 65535)
        return "inf";
    if (sec < 60) {
        char buf[16];
        std::snprintf(buf, sizeof buf, ":%02d", sec);
        return buf;
    }
    return std::to_string(sec / 60);
}

std::string statusText(std::uint8_t status) {
    bool used = status <= 3 || (status >= 51 && status <= 55);
    return printf02(status) + (used ? "+" : "-");
}

std::string dopplerMark(std::int32_t doppler, float clockRate, bool glonass, int frequencyNumber) {
    if (doppler == kUnknownDoppler)
        return "  ";
    double f = glonass ? 1602000000.0 + frequencyNumber * 562500.0 : 1575420000.0;
    double v = static_cast<double>(clockRate) * f - doppler * 0.0001;
    if (std::fabs(v) < 20)
        return "^";
    return v >= 0 ? "+" : "--";
}

void appendTrendMark(std::string& el, const std::string& mark) {
    // One mark per "EL": a second "DC" before the next "EL" finds it already there.
    if (el.empty() || endsWith(el, "^") || endsWith(el, "+") || endsWith(el, "--") ||
        endsWith(el, "  "))
        return;
    el += mark;
}

TSatelliteTables::TSatelliteTables() {
    for (auto& f : almanac_)
        f.store(false, std::memory_order_relaxed);
}

void TSatelliteTables::noteAlmanac(const std::uint8_t* m, std::size_t length) {
    if (length < kHeaderSize + 2 || checkMessage(m, length) != CheckResult::Good)
        return;
    int n = m[kHeaderSize];
    if (m[0] == 'G' && m[1] == 'A' && n >= 1 && n <= 37)
        almanac_[n - 1].store(true, std::memory_order_relaxed);
    else if (m[0] == 'N' && m[1] == 'A' && n >= 1 && n <= 24)
        almanac_[n + 36].store(true, std::memory_order_relaxed);
}

bool TSatelliteTables::almanacSeen(int flag) const {
    return flag >= 0 && flag < kAlmanacFlags && almanac_[flag].load(std::memory_order_relaxed);
}

std::string TSatelliteTables::almanacMap(bool glonass) const {
    int first = glonass ? 37 : 0, count = glonass ? 24 : 37;
    std::string marks;
    int set = 0;
    for (int i = first; i < first + count; ++i) {
        bool seen = almanacSeen(i);
        set += seen;
        marks += seen ? '*' : '.';
    }
    return (set <= 9 ? " " : "") + std::to_string(set) + " {" + marks + "}";
}

bool TSatelliteTables::handles(std::string_view id) {
    static constexpr std::string_view ids[] = {"SI", "NN", "EL", "AZ", "EC",
                                               "E1", "E2", "TC", "SS", "DC"};
    for (auto i : ids)
        if (i == id)
            return true;
    return false;
}

void TSatelliteTables::rebuildRows(TMonitorView& view, const std::uint8_t* entries, std::size_t n) {
    rowOfEntry_.assign(n, 0);
    isGlonassEntry_.assign(n, false);
    glonassRow_.clear();
    std::size_t counts[2] = {0, 0};
    for (std::size_t i = 0; i < n; ++i) {
        bool glo = satClassOf(entries[i]) == TSatClass::Glonass;
        TSatTable& list = view.list(glo);
        std::size_t row = counts[glo]++;
        if (list.rows.size() <= row)
            list.rows.emplace_back(0, std::vector<std::string>(list.columns.size()));
        // Rows are taken in their current (sorted) order and renumbered from 0.
        list.rows[row].ref = static_cast<int>(row);
        auto& cells = list.rows[row].cells;
        cells.resize(list.columns.size());
        // Values of whichever satellite held the row before must not linger.
        for (std::size_t c = 1; c < cells.size(); ++c)
            cells[c].clear();
        int index = entries[i];
        if (glo) {
            cells[1] = satNumberText(index, false);
            glonassRow_.push_back(static_cast<int>(row));
        } else {
            cells[0] = satNumberText(index, almanacSeen(index - 1));
        }
        rowOfEntry_[i] = static_cast<int>(row);
        isGlonassEntry_[i] = glo;
    }
    view.gps().rows.resize(counts[0]);
    view.glonass().rows.resize(counts[1]);
    view.show("GPSCountLabel", "GPS Satellites (" + std::to_string(counts[0]) + ")");
    view.show("GLOCountLabel", "GLONASS Satellites (" + std::to_string(counts[1]) + ")");
    view.touch();
}

std::vector<std::string>* TSatelliteTables::rowOf(TMonitorView& view, std::size_t entry,
                                                  bool& glonass) {
    if (entry >= rowOfEntry_.size())
        return nullptr;
    glonass = isGlonassEntry_[entry];
    TSatTable& list = view.list(glonass);
    int at = list.indexOf(rowOfEntry_[entry]);
    if (at < 0)
        return nullptr;
    auto& cells = list.rows[static_cast<std::size_t>(at)].cells;
    if (cells.size() < list.columns.size())
        cells.resize(list.columns.size());
    return &cells;
}

bool TSatelliteTables::decode(TMonitorView& view, const std::uint8_t* m, std::size_t length) {
    if (length < kHeaderSize)
        return false;
    std::string_view id = messageId(m);
    if (!handles(id))
        return false;
    TBody body(m, length);
    const std::uint8_t* p = body.data();

    if (id == "SI") {
        rebuildRows(view, p, body.size());
        return true;
    }
    if (id == "NN") {
        TSatTable& list = view.glonass();
        for (std::size_t k = 0; k < body.size() && k < glonassRow_.size(); ++k) {
            int at = list.indexOf(glonassRow_[k]);
            if (at < 0)
                continue;
            int slot = p[k];
            bool seen = slot >= 1 && slot <= 24 && almanacSeen(slot + 36);
            list.rows[static_cast<std::size_t>(at)].cells[0] =
                slot == 255 ? "??" : printf02(slot) + (seen ? "" : "*");
        }
        view.touch();
        return true;
    }

    // Per-entry columns: entry i of the message goes to the row "SI" gave entry i.
    auto forEach = [&](std::size_t n, int column, auto text) {
        for (std::size_t i = 0; i < n; ++i) {
            bool glo = false;
            auto* cells = rowOf(view, i, glo);
            auto c = static_cast<std::size_t>(column + (glo ? 1 : 0));
            if (cells && c < cells->size())
                (*cells)[c] = text(i, glo, *cells);
        }
        view.touch();
    };

    if (id == "EL")
        forEach(body.size(), kEl, [&](std::size_t i, bool, auto&) {
            return elevationText(static_cast<std::int8_t>(p[i]));
        });
    else if (id == "AZ")
        forEach(body.size(), kAz, [&](std::size_t i, bool, auto&) { return azimuthText(p[i]); });
    else if (id == "EC" || id == "E1" || id == "E2")
        forEach(body.size(),
                id == "EC"   ? kCa
                : id == "E1" ? kP1
                             : kP2,
                [&](std::size_t i, bool, auto&) { return snrText(p[i]); });
    else if (id == "TC")
        forEach(body.size() / 2, kTc, [&](std::size_t i, bool, auto&) {
            return trackingText(body.at<std::uint16_t>(i * 2));
        });
    else if (id == "SS") {
        // The logging window's lists have no status column.
        if (view.kind() == TViewKind::Main && body.size() >= 1)
            forEach(body.size() - 1, kSs,
                    [&](std::size_t i, bool, auto&) { return statusText(p[i]); });
    } else if (id == "DC") {
        forEach(body.size() / 4, kEl, [&](std::size_t i, bool glo, auto& cells) {
            int k = 0;
            if (glo)
                k = static_cast<int>(
                    parseInteger(std::string_view(cells[1]).substr(0, 2)).value_or(0));
            std::string el = cells[glo ? 2 : 1];
            appendTrendMark(el, dopplerMark(body.at<std::int32_t>(i * 4), clockRate_, glo, k));
            return el;
        });
    }
    return true;
}

void TSatelliteTables::reset(TMonitorView& main, TMonitorView* logging) {
    for (auto& f : almanac_)
        f.store(false, std::memory_order_relaxed);
    clockRate_ = 0;
    rowOfEntry_.clear();
    isGlonassEntry_.clear();
    glonassRow_.clear();
    for (TMonitorView* v : {&main, logging}) {
        if (!v)
            continue;
        v->gps().rows.clear();
        v->glonass().rows.clear();
        v->setText("GPSCountLabel", "GPS Satellites");
        v->setText("GLOCountLabel", "GLONASS Satellites");
        v->touch();
    }
}

} // namespace telvor
