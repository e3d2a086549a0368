#pragma once
// The RFM96 radio modem that may hang on one of the receiver's serial ports: its data mode
// (bytes go out over the air, "+++" between guard pauses enters command mode), its binary
// command protocol, its registers and the settings it keeps over a power cycle. No I/O: the
// engine hands it the bytes its port echoes and sends back what it answers.
//
// Registers (2-byte addresses): 0x0000-0x0003 serial number (most significant byte first),
// 0x0004 band code, 0x0010 protocol (as command 7 sets it), 0x0100 + 3 * channel the channel
// words (24 bits, most significant byte first) of channels 0-15. Everything below 0x0200
// reads back; the serial number is read-only.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace telvorsim {

struct TModemOptions {
    std::uint32_t serial = 0x00A1B2C3;
    int guardMs = 1000;    // silence "+++" needs before and after it
    int bootMs = 1000;     // after power-up the probe is answered this long at 9600
    std::vector<int> mute; // commands it never answers (a test's broken modem)
};

class TSimModem {
public:
    explicit TSimModem(TModemOptions options = {});

    // Bytes arriving on the modem's serial side at `nowMs`; returns its answer.
    std::string receive(const std::string& bytes, std::int64_t nowMs);
    // Switched off and on: the stored settings come back, the boot window opens.
    void powerCycle(std::int64_t nowMs);

    // The rate its serial side runs at now.
    unsigned rate(std::int64_t nowMs) const;
    bool commandMode() const { return command_; }
    // A setting by its query command; -1 when there is none.
    int value(int query) const;
    // Puts a value there as a faulty modem might hold it, past every check.
    void force(int query, int value) { values_[query] = value; }
    std::uint8_t reg(std::uint16_t address) const { return regs_[address % kRegisters]; }

    static constexpr std::size_t kRegisters = 0x200;
    static constexpr std::uint16_t kProtocolRegister = 0x0010;

private:
    std::string execute(std::uint8_t command, const std::string& data);
    std::string frame(std::uint8_t command, const std::string& data) const;
    void onDataByte(char c, std::int64_t nowMs);
    bool setValue(int setCommand, int value);

    TModemOptions options_;
    std::map<int, int> values_, stored_; // by query command
    std::array<std::uint8_t, kRegisters> regs_{};
    bool command_ = false;
    bool bootRate_ = false; // at 9600 since power-up until command mode is left
    std::int64_t bootUntilMs_ = -1;
    std::int64_t lastByteMs_ = -1000000;
    std::int64_t plusEndMs_ = -1; // when a "+++" after a pause ended
    int pluses_ = 0;
    std::string frame_; // request being received
};

} // namespace telvorsim
