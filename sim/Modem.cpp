#include "sim/Modem.h"

#include <algorithm>

namespace telvorsim {
namespace {

struct TSetting {
    int set, query, low, high, def;
};

// The settings the modem keeps, by their set and query commands.
constexpr TSetting kSettings[] = {
    {3, 4, 0, 15, 0},    {22, 23, 0, 2, 0},  {13, 14, 0, 255, 10}, {5, 6, 2, 3, 3},
    {17, 18, 0, 255, 3}, {9, 10, 0, 1, 0},   {11, 12, 0, 1, 1},    {41, 42, 0, 3, 2},
    {84, 85, 0, 1, 1},   {7, 8, 0, 0x84, 4}, {15, 16, 0, 254, 0},  {20, 21, 0, 255, 255},
    {1, 2, 0, 8, 0},
};

constexpr int kSpeedQuery = 2, kProtocolQuery = 8;
constexpr int kReadRegister = 33, kWriteRegister = 32, kProbe = 34, kTemperature = 80,
              kVoltage = 83, kLeave = 29, kStore = 30;

const TSetting* bySet(int command) {
    for (const TSetting& s : kSettings)
        if (s.set == command)
            return &s;
    return nullptr;
}

const TSetting* byQuery(int command) {
    for (const TSetting& s : kSettings)
        if (s.query == command)
            return &s;
    return nullptr;
}

// Data bytes of a request; -1 for a command the modem does not know.
int requestLength(int command) {
    if (bySet(command))
        return 1;
    if (byQuery(command))
        return 0;
    switch (command) {
    case kReadRegister:
        return 2;
    case kWriteRegister:
        return 3;
    case kProbe:
    case kLeave:
        return 1;
    case kStore:
    case kTemperature:
    case kVoltage:
        return 0;
    default:
        return -1;
    }
}

unsigned speedOfCode(int code) {
    switch (code) {
    case 8:
        return 38400;
    case 0:
        return 19200;
    case 1:
        return 9600;
    case 2:
        return 4800;
    case 3:
        return 2400;
    default:
        return 0; // a code the modem cannot run at: nothing gets through
    }
}

// Channel words of band 0 for 450.000 MHz + 25 kHz per channel.
std::uint32_t band0Word(int channel) {
    const std::uint32_t steps =
        32400u + 2u * static_cast<std::uint32_t>(channel); // (450 - 45) / 0.0125
    return ((steps / 64) & 0xFFF) << 3 | (steps % 64) << 15;
}

} // namespace

TSimModem::TSimModem(TModemOptions options) : options_(options) {
    for (const TSetting& s : kSettings)
        values_[s.query] = s.def;
    for (int i = 0; i < 4; ++i)
        regs_[i] = static_cast<std::uint8_t>(options_.serial >> (24 - 8 * i));
    regs_[4] = 0; // band 0
    for (int ch = 0; ch < 16; ++ch) {
        const std::uint32_t w = band0Word(ch);
        for (int i = 0; i < 3; ++i)
            regs_[0x100 + 3 * ch + i] = static_cast<std::uint8_t>(w >> (16 - 8 * i));
    }
    regs_[kProtocolRegister] = static_cast<std::uint8_t>(values_[kProtocolQuery]);
    stored_ = values_;
}

unsigned TSimModem::rate(std::int64_t nowMs) const {
    if (bootRate_ && (command_ || nowMs < bootUntilMs_))
        return 9600;
    return speedOfCode(value(kSpeedQuery));
}

int TSimModem::value(int query) const {
    auto it = values_.find(query);
    return it == values_.end() ? -1 : it->second;
}

void TSimModem::powerCycle(std::int64_t nowMs) {
    values_ = stored_;
    regs_[kProtocolRegister] = static_cast<std::uint8_t>(values_[kProtocolQuery]);
    command_ = false;
    bootRate_ = true;
    bootUntilMs_ = nowMs + options_.bootMs;
    frame_.clear();
    pluses_ = 0;
    plusEndMs_ = -1;
}

std::string TSimModem::frame(std::uint8_t command, const std::string& data) const {
    std::string out;
    out.push_back(0x01);
    out.push_back(static_cast<char>(command | 0x80));
    out += data;
    unsigned sum = 0x01 + (command | 0x80u);
    for (unsigned char c : data)
        sum += c;
    out.push_back(static_cast<char>(-sum & 0xFF));
    return out;
}

bool TSimModem::setValue(int setCommand, int v) {
    const TSetting* s = bySet(setCommand);
    if (!s || v < s->low || v > s->high)
        return false;
    if (s->query == kSpeedQuery && speedOfCode(v) == 0)
        return false;
    if (s->query == kProtocolQuery && ((v & 0x7F) > 4 || (v & 0x78)))
        return false;
    values_[s->query] = v;
    if (s->query == kProtocolQuery)
        regs_[kProtocolRegister] = static_cast<std::uint8_t>(v);
    if (s->query == kSpeedQuery)
        bootRate_ = false; // the new speed holds from the next byte on
    return true;
}

std::string TSimModem::execute(std::uint8_t command, const std::string& data) {
    auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(data[i]); };
    const std::string ok(1, '\0'), failed(1, '\1');
    if (bySet(command))
        return frame(command, setValue(command, byte(0)) ? ok : failed);
    if (byQuery(command))
        return frame(command, std::string(1, static_cast<char>(value(command))));
    switch (command) {
    case kReadRegister: {
        const unsigned address = byte(0) << 8 | byte(1);
        if (address >= kRegisters)
            return frame(command, failed);
        return frame(command, std::string(1, static_cast<char>(regs_[address])));
    }
    case kWriteRegister: {
        const unsigned address = byte(0) << 8 | byte(1);
        if (address < 4 || address >= kRegisters)
            return frame(command, failed);
        if (address == kProtocolRegister)
            return frame(command, setValue(7, byte(2)) ? ok : failed);
        regs_[address] = byte(2);
        return frame(command, ok);
    }
    case kProbe:
        return frame(command, ok);
    case kTemperature:
        return frame(command, std::string(1, 31));
    case kVoltage:
        return frame(command, std::string{12, 40});
    case kLeave: {
        std::string answer = frame(command, ok);
        command_ = false;
        bootRate_ = false;
        return answer;
    }
    case kStore:
        stored_ = values_;
        return frame(command, ok);
    default:
        return {};
    }
}

void TSimModem::onDataByte(char c, std::int64_t nowMs) {
    // "+++" counts only after a guard pause and with nothing else before the next pause.
    if (c == '+' && (pluses_ > 0 || nowMs - lastByteMs_ >= options_.guardMs) && pluses_ < 3) {
        if (++pluses_ == 3)
            plusEndMs_ = nowMs;
    } else {
        pluses_ = 0;
        plusEndMs_ = -1;
    }
    lastByteMs_ = nowMs;
}

std::string TSimModem::receive(const std::string& bytes, std::int64_t nowMs) {
    std::string answer;
    for (char c : bytes) {
        if (!command_ && plusEndMs_ >= 0 && nowMs - plusEndMs_ >= options_.guardMs) {
            command_ = true;
            pluses_ = 0;
            plusEndMs_ = -1;
            frame_.clear();
        }
        const bool booting = bootRate_ && nowMs < bootUntilMs_;
        if (!command_ && !booting) {
            onDataByte(c, nowMs);
            continue;
        }
        lastByteMs_ = nowMs;
        if (frame_.empty() && c != 0x01)
            continue; // noise between frames
        frame_.push_back(c);
        if (frame_.size() < 2)
            continue;
        const auto command = static_cast<std::uint8_t>(frame_[1]);
        const int length = requestLength(command);
        if (length < 0 || (!command_ && command != kProbe)) {
            frame_.clear();
            continue;
        }
        if (frame_.size() < static_cast<std::size_t>(length) + 3)
            continue;
        unsigned sum = 0;
        for (std::size_t i = 1; i < frame_.size(); ++i)
            sum += static_cast<std::uint8_t>(frame_[i]);
        const std::string data = frame_.substr(2, length);
        frame_.clear();
        if ((sum & 0xFF) != 0xFF)
            continue; // a damaged request gets no answer
        if (!command_)
            command_ = true; // the probe during start-up
        if (std::find(options_.mute.begin(), options_.mute.end(), command) != options_.mute.end())
            continue;
        answer += execute(command, data);
    }
    return answer;
}

} // namespace telvorsim
