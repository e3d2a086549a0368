#pragma once
// The satellite lists: the row map built from "SI", the per-satellite columns ("NN", "EL",
// "AZ", "EC", "E1", "E2", "TC", "SS", "DC"), the almanac flags noted by the input thread, and
// the receiver clock rate that the Doppler trend marks need.
#include "monitor/Monitorstate.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace telvor {

// Which list an "SI" satellite index belongs to.
enum class TSatClass { Gps, Glonass, Sbas, Unknown };
TSatClass satClassOf(int index);
// Caption of a GPS-list row ("%02d" PRN with "*" without almanac, "%03d" SBAS, "??"), or the
// "Fn" text of a GLONASS row (index - 45 as "%02d").
std::string satNumberText(int index, bool almanacSeen);

// Column texts of the per-satellite values.
std::string elevationText(std::int8_t v);    // "??" for 127
std::string azimuthText(std::uint8_t v);     // 2-degree units, "??" for 255
std::string snrText(std::uint8_t v);         // "??" for 255
std::string trackingText(std::uint16_t sec); // ":ss", minutes, "inf"
std::string statusText(std::uint8_t status); // "%02d" + "+" or "-"

// Trend mark of one Doppler value on a row: "^", "+", "--", or "  " when unknown.
std::string dopplerMark(std::int32_t doppler, float clockRate, bool glonass, int frequencyNumber);
// Appends a mark to an "EL" text unless it is empty or already carries one.
void appendTrendMark(std::string& el, const std::string& mark);

class TSatelliteTables {
public:
    static constexpr int kAlmanacFlags = 61; // GPS PRN 1..37, then GLONASS slots 1..24

    TSatelliteTables();

    // Input thread: "GA"/"NA" with a good checksum set the flag of the PRN or slot.
    void noteAlmanac(const std::uint8_t* message, std::size_t length);
    bool almanacSeen(int flag) const;
    // Debug-window map text: count and one mark per PRN or slot.
    std::string almanacMap(bool glonass) const;

    // Display tick: one of the list messages. False when the id is not one of them.
    bool decode(TMonitorView& view, const std::uint8_t* message, std::size_t length);
    static bool handles(std::string_view id);

    void setClockRate(float rate) { clockRate_ = rate; }

    // Monitor mode left: flags, clock rate and row map forgotten, lists emptied.
    void reset(TMonitorView& main, TMonitorView* logging);

private:
    void rebuildRows(TMonitorView& view, const std::uint8_t* entries, std::size_t n);
    std::vector<std::string>* rowOf(TMonitorView& view, std::size_t entry, bool& glonass);

    std::vector<int> rowOfEntry_;
    std::vector<bool> isGlonassEntry_;
    std::vector<int> glonassRow_;
    std::array<std::atomic<bool>, kAlmanacFlags> almanac_;
    float clockRate_ = 0;
};

} // namespace telvor
