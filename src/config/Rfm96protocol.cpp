#include "config/Rfm96protocol.h"

#include <cstdio>

namespace telvor {
namespace {

// List position → DCE-DTE speed code.
constexpr int kSpeedCodes[] = {8, 0, 1, 2, 3};
constexpr std::uint32_t kSpeeds[] = {38400, 19200, 9600, 4800, 2400};

std::uint32_t bits(std::uint32_t word, int low, int high) {
    return (word >> low) & ((1u << (high - low + 1)) - 1);
}

} // namespace

std::uint8_t modemCheckByte(std::uint8_t command, const std::vector<std::uint8_t>& data) {
    unsigned sum = command;
    for (std::uint8_t b : data)
        sum += b;
    return static_cast<std::uint8_t>(~sum);
}

std::vector<std::uint8_t> modemRequest(std::uint8_t command,
                                       const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out;
    out.reserve(data.size() + 3);
    out.push_back(0x01);
    out.push_back(command);
    out.insert(out.end(), data.begin(), data.end());
    out.push_back(modemCheckByte(command, data));
    return out;
}

std::optional<std::vector<std::uint8_t>> modemReplyData(const std::uint8_t* reply,
                                                        std::size_t count, std::uint8_t command,
                                                        std::size_t length) {
    if (!reply || count != length + 3 || reply[0] != 0x01 || reply[1] != (command | 0x80))
        return std::nullopt;
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += reply[i];
    if ((sum & 0xFF) != 0)
        return std::nullopt;
    return std::vector<std::uint8_t>(reply + 2, reply + 2 + length);
}

double channelFrequency(std::uint32_t word, int band, bool raw) {
    if (word == 0)
        return 0;
    double steps, offset;
    switch (band) {
    case 0:
        steps = bits(word, 3, 14) * 64.0 + bits(word, 15, 21);
        offset = 45;
        break;
    case 2:
        steps = bits(word, 12, 22) * 32.0 + bits(word, 5, 11);
        offset = -45;
        break;
    case 4:
        steps = bits(word, 8, 18) * 64.0 + bits(word, 1, 7);
        offset = -54.45;
        break;
    default:
        return 0;
    }
    return steps * 0.0125 + (raw ? 0 : offset);
}

const std::array<TModemRow, kModemRows>& modemRows() {
    static const std::array<TModemRow, kModemRows> rows{{
        {"Channel number", "ChannelComboBox", 4, 3, 0, 15, 0, {}},
        {"DTE-DCE parity", "DCEParityComboBox", 23, 22, 0, 2, 0, {"None", "Even", "Odd"}},
        {"EOT", "EOTComboBox", 14, 13, 0, 255, 10, {}},
        {"RF link speed", "LinkRateComboBox", 6, 5, 2, 3, 3, {"4800", "9600"}},
        {"RF link retries", "RetriesComboBox", 18, 17, 0, 255, 3, {}},
        {"FEC", "FECComboBox", 10, 9, 0, 1, 0, {"Off", "On"}},
        {"Scrambling", "ScramblingComboBox", 12, 11, 0, 1, 1, {"Off", "On"}},
        {"Digisquelch", "DigisquelchComboBox", 42, 41, 0, 3, 2, {"High", "Moderate", "Low", "Off"}},
        {"CSMA", "CSMAComboBox", 85, 84, 0, 1, 1, {"Off", "On"}},
        {"Protocol",
         "ModeComboBox",
         8,
         7,
         0,
         0x84,
         4,
         {"Transp. w/EOT time out", "Transp. w/EOT character", "Packet", "Auto-repeater",
          "Fast async"}},
        {"LocalAddress", "LocalAddressComboBox", 16, 15, 0, 254, 0, {}},
        {"Dest. Address", "DestAddressComboBox", 21, 20, 0, 255, 255, {}},
        {"DCE-DTE speed",
         "DCESpeedComboBox",
         2,
         1,
         0,
         8,
         0,
         {"38400", "19200", "9600", "4800", "2400"}},
    }};
    return rows;
}

int modemRowIndex(const std::string& name) {
    const auto& rows = modemRows();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (name == rows[i].name)
            return static_cast<int>(i);
    return -1;
}

bool isSpeedRow(const TModemRow& row) {
    return row.query == kModemQuerySpeed;
}

bool isProtocolRow(const TModemRow& row) {
    return row.query == 8;
}

std::vector<std::string> modemRowItems(const TModemRow& row) {
    if (!row.items.empty())
        return row.items;
    std::vector<std::string> out;
    for (int v = row.low; v <= row.high; ++v)
        out.push_back(std::to_string(v));
    return out;
}

std::optional<int> modemIndexOf(const TModemRow& row, int value, bool* breakToCommand) {
    if (value < row.low || value > row.high)
        return std::nullopt;
    if (isSpeedRow(row)) {
        for (int i = 0; i < 5; ++i)
            if (kSpeedCodes[i] == value)
                return i;
        return std::nullopt;
    }
    if (isProtocolRow(row)) {
        // Bits 3-6 carry nothing: a value using them is not one the list knows.
        const int index = value & 0x07;
        if ((value & 0x78) || index >= static_cast<int>(row.items.size()))
            return std::nullopt;
        if (breakToCommand)
            *breakToCommand = (value & 0x80) != 0;
        return index;
    }
    return value - row.low;
}

std::uint8_t modemValueOf(const TModemRow& row, int index, bool breakToCommand) {
    if (isSpeedRow(row))
        return static_cast<std::uint8_t>(index >= 0 && index < 5 ? kSpeedCodes[index] : 0);
    if (isProtocolRow(row))
        return static_cast<std::uint8_t>((index & 0x07) | (breakToCommand ? 0x80 : 0));
    return static_cast<std::uint8_t>(index + row.low);
}

int modemDefaultIndex(const TModemRow& row) {
    return modemIndexOf(row, row.def).value_or(0);
}

std::uint32_t modemSpeedOfCode(int code) {
    for (int i = 0; i < 5; ++i)
        if (kSpeedCodes[i] == code)
            return kSpeeds[i];
    return 0;
}

std::optional<int> modemCodeOfSpeed(std::uint32_t speed) {
    for (int i = 0; i < 5; ++i)
        if (kSpeeds[i] == speed)
            return kSpeedCodes[i];
    return std::nullopt;
}

std::string modemVoltageText(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < 2)
        return "DC=?";
    char text[24];
    std::snprintf(text, sizeof text, "DC=%u.%02uV", unsigned(bytes[0]), unsigned(bytes[1]));
    return text;
}

std::string modemTemperatureText(std::uint8_t byte) {
    return "T=" + std::to_string(static_cast<std::int8_t>(byte)) + " C";
}

} // namespace telvor
