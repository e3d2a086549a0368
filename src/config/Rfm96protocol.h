#pragma once
// The RFM96 modem's binary command protocol and the rules of its parameter table, without any
// link: request framing, the reply check, channel frequencies, list entries and values. Plain
// C++ so the reply parser can be fuzzed on its own.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace telvor {

// Commands besides the parameter table.
inline constexpr std::uint8_t kModemWriteRegister = 32;
inline constexpr std::uint8_t kModemReadRegister = 33;
inline constexpr std::uint8_t kModemProbe = 34;
inline constexpr std::uint8_t kModemTemperature = 80;
inline constexpr std::uint8_t kModemVoltage = 83;
inline constexpr std::uint8_t kModemLeave = 29;
inline constexpr std::uint8_t kModemStore = 30;
inline constexpr std::uint8_t kModemQuerySpeed = 2;

// Our register map (the modem emulator in sim/ keeps the same one, docs/radio.md shows it).
inline constexpr std::uint16_t kModemSerialRegister = 0x0000; // 4 bytes, most significant first
inline constexpr std::uint16_t kModemBandRegister = 0x0004;
inline constexpr std::uint16_t kModemProtocolRegister = 0x0010;
inline constexpr std::uint16_t kModemChannelRegister = 0x0100; // 3 bytes a channel, 16 channels

// Complement of the 8-bit sum of the command and data bytes.
std::uint8_t modemCheckByte(std::uint8_t command, const std::vector<std::uint8_t>& data);
// 0x01, command, data, check byte.
std::vector<std::uint8_t> modemRequest(std::uint8_t command, const std::vector<std::uint8_t>& data);

// The data of a reply that is 0x01, the command with bit 7 set, `length` data bytes and a check
// byte that brings the 8-bit sum of all its bytes to zero; none otherwise.
std::optional<std::vector<std::uint8_t>> modemReplyData(const std::uint8_t* reply,
                                                        std::size_t count, std::uint8_t command,
                                                        std::size_t length);

// Channel frequency in MHz from a 24-bit channel word and the band code (0, 2 or 4); without
// the band's offset when `raw`. 0 for a zero word or an unknown band.
double channelFrequency(std::uint32_t word, int band, bool raw = false);

struct TModemRow {
    const char* name;
    const char* control;
    std::uint8_t query;
    std::uint8_t set;
    int low;
    int high;
    int def;
    // Entries of the list; empty when they are the numbers low..high.
    std::vector<std::string> items;
};

inline constexpr std::size_t kModemRows = 13;
const std::array<TModemRow, kModemRows>& modemRows();
// Index of a row by its name; -1 when there is none.
int modemRowIndex(const std::string& name);
bool isSpeedRow(const TModemRow& row);
bool isProtocolRow(const TModemRow& row);

// The list entries a row offers.
std::vector<std::string> modemRowItems(const TModemRow& row);
// The list index a reported value selects (and "BREAK to Command" for the protocol row); none
// when the row has no entry for it.
std::optional<int> modemIndexOf(const TModemRow& row, int value, bool* breakToCommand = nullptr);
// The byte that sets a row to a list index.
std::uint8_t modemValueOf(const TModemRow& row, int index, bool breakToCommand = false);
// The list index of a row's default.
int modemDefaultIndex(const TModemRow& row);

// DCE-DTE speed codes and rates: 8 38400, 0 19200, 1 9600, 2 4800, 3 2400; 0 / none otherwise.
std::uint32_t modemSpeedOfCode(int code);
std::optional<int> modemCodeOfSpeed(std::uint32_t speed);

// "DC=" integer "." fraction "V" from the two voltage bytes; "T=" degrees from the signed byte.
std::string modemVoltageText(const std::vector<std::uint8_t>& bytes);
std::string modemTemperatureText(std::uint8_t byte);

} // namespace telvor
