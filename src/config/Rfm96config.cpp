#include "config/Rfm96config.h"

#include "protocol/Link.h"
#include "protocol/Tick.h"

#include <cstdio>

namespace telvor {
namespace {

const char* const kCaption = "Modem Configuration";

std::string hexByte(unsigned v) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", v & 0xFF);
    return text;
}

} // namespace

TRfm96Config::TRfm96Config(TRadioView& view, TRadioTiming timing)
    : view_(view), chain_(view, timing) {
    OnSetDefaultsClick();
    applyEnabled = false;
}

void TRfm96Config::fail(const std::string& text) {
    view_.setStatus(text);
}

bool TRfm96Config::prepare() {
    if (const auto term = chain_.terminalSerialPort())
        chain_.setPort(static_cast<char>('a' + (*term - 'a' + 1) % 4));
    return !chain_.readEchoOff().empty();
}

bool TRfm96Config::OnConnectClick() {
    chain_.clearStop();
    if (!find())
        return false;
    return OnRefreshClick();
}

bool TRfm96Config::find() {
    return powerCycle ? powerCycleSearch() : plusSearch();
}

bool TRfm96Config::powerCycleSearch() {
    if (!chain_.enter(9600)) {
        fail("Can't set up daisy chain");
        return false;
    }
    view_.setStatus("Looking for modem...");
    const TRadioTiming& t = chain_.timing();
    const std::vector<std::uint8_t> probe = modemRequest(kModemProbe, {0});
    const std::uint32_t start = tickCount();
    while (ticksSince(start) < static_cast<std::uint32_t>(t.powerCycleMs)) {
        if (!chain_.pause(0))
            break;
        chain_.purge();
        std::uint8_t answer[4] = {};
        if (CurrentConnection->Write(probe.data(), static_cast<int>(probe.size())) !=
            static_cast<int>(probe.size()))
            break;
        const int got = CurrentConnection->ReadTimed(answer, 4, t.probeEveryMs);
        if (got >= 3 && answer[0] == 0x01 && answer[1] == (kModemProbe | 0x80) && answer[2] == 0)
            return true;
        view_.setProgress(static_cast<int>(ticksSince(start) * 100 / t.powerCycleMs));
    }
    const bool aborted = chain_.stopRequested();
    const bool left = chain_.leave();
    // The receiver answered all along: it is the modem that did not.
    fail(!left ? "Can't close daisy chain" : aborted ? "Aborted" : "Modem not found");
    return false;
}

bool TRfm96Config::plusSearch() {
    static constexpr std::uint32_t kSpeeds[] = {38400, 19200, 9600, 4800, 2400};
    std::vector<std::uint32_t> speeds(std::begin(kSpeeds), std::end(kSpeeds));
    if (searchSpeed)
        speeds = {searchSpeed};
    const TRadioTiming& t = chain_.timing();
    for (std::uint32_t speed : speeds) {
        view_.setStatus("Trying " + std::to_string(speed) + "...");
        if (!chain_.enter(speed)) {
            fail("Can't set up daisy chain");
            return false;
        }
        for (int attempt = 0; attempt < 2; ++attempt) {
            bool ok = chain_.pause(t.guardBeforeMs);
            if (ok) {
                chain_.purge();
                ok = CurrentConnection->WriteRaw("+++") && chain_.pause(t.guardAfterMs);
            }
            if (!ok) {
                const bool left = chain_.leave();
                fail(left ? "Aborted" : "Can't close daisy chain");
                return false;
            }
            if (chain_.ModemCommand(kModemQuerySpeed, {}, 1, t.replyMs))
                return true;
        }
        if (!chain_.leave()) {
            fail("Can't close daisy chain");
            return false;
        }
    }
    fail("Modem not found");
    return false;
}

std::optional<std::uint8_t> TRfm96Config::readRegister(std::uint16_t address) {
    const auto reply = chain_.ModemCommand(
        kModemReadRegister,
        {static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address & 0xFF)}, 1,
        chain_.timing().replyMs);
    if (!reply)
        return std::nullopt;
    return (*reply)[0];
}

void TRfm96Config::readIdentity() {
    std::uint32_t serial = 0;
    bool ok = true;
    for (std::uint16_t i = 0; i < 4 && ok; ++i) {
        const auto b = readRegister(kModemSerialRegister + i);
        ok = b.has_value();
        serial = serial << 8 | b.value_or(0);
    }
    serialText = ok ? std::to_string(serial) : "unknown";
    if (!ok)
        fail("Can't query Serial Number");

    channels.clear();
    const auto band = readRegister(kModemBandRegister);
    for (int ch = 0; band && ch < 16; ++ch) {
        std::uint32_t word = 0;
        bool read = true;
        for (int i = 0; i < 3 && read; ++i) {
            const auto b =
                readRegister(static_cast<std::uint16_t>(kModemChannelRegister + 3 * ch + i));
            read = b.has_value();
            word = word << 8 | b.value_or(0);
        }
        char text[48];
        if (read)
            std::snprintf(text, sizeof text, "%d: %.4f MHz", ch, channelFrequency(word, *band));
        else
            std::snprintf(text, sizeof text, "%d: unknown", ch);
        channels.push_back(text);
    }
    if (!band)
        fail("Can't query Channel frequencies");

    if (!showHealth)
        return;
    const auto t = chain_.ModemCommand(kModemTemperature, {}, 1, chain_.timing().replyMs);
    temperatureText = t ? modemTemperatureText((*t)[0]) : "T=?";
    const auto v = chain_.ModemCommand(kModemVoltage, {}, 2, chain_.timing().replyMs);
    voltageText = v ? modemVoltageText(*v) : "DC=?";
}

bool TRfm96Config::readRows() {
    const auto& rows = modemRows();
    std::string unknown;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const TModemRow& row = rows[i];
        const auto reply = chain_.ModemCommand(row.query, {}, 1, chain_.timing().replyMs);
        if (!reply) {
            enabled[i] = false;
            fail(std::string("Can't query ") + row.name);
            return false;
        }
        const int value = (*reply)[0];
        bool brk = false;
        const auto at = modemIndexOf(row, value, &brk);
        // A value the list cannot show is left alone by Apply.
        enabled[i] = at.has_value();
        if (!at) {
            unknown = std::string("Unknown value for ") + row.name + " reported (" +
                      std::to_string(value) + ")";
            fail(unknown);
            continue;
        }
        index[i] = *at;
        if (isProtocolRow(row))
            breakToCommand = brk;
    }
    if (unknown.empty())
        view_.setStatus("");
    return true;
}

bool TRfm96Config::OnRefreshClick() {
    if (!chain_.up()) {
        fail("Can't query modem parameters");
        return false;
    }
    view_.setStatus("Querying modem parameters...");
    enabled.fill(false);
    readIdentity();
    const bool ok = readRows();
    applyEnabled = false;
    return ok;
}

bool TRfm96Config::applyRow(std::size_t i) {
    chainFailed_ = false;
    const TModemRow& row = modemRows()[i];
    const std::uint8_t value = modemValueOf(row, index[i], breakToCommand);
    const int ms = chain_.timing().replyMs;
    if (isProtocolRow(row))
        return chain_.modemStatus(
            kModemWriteRegister,
            {kModemProtocolRegister >> 8, kModemProtocolRegister & 0xFF, value}, ms);
    if (!chain_.modemStatus(row.set, {value}, ms))
        return false;
    const std::uint32_t speed = modemSpeedOfCode(value);
    if (!isSpeedRow(row) || speed == chain_.speed())
        return true;
    // The modem talks at the new speed from now on: the chain follows it.
    chainFailed_ = true;
    if (!chain_.leave()) {
        fail("Can't close daisy chain");
        return false;
    }
    if (!chain_.enter(speed)) {
        fail("Can't set up daisy chain");
        return false;
    }
    chainFailed_ = false;
    return true;
}

bool TRfm96Config::OnApplyClick() {
    if (!chain_.up()) {
        fail("Can't set up daisy chain");
        return false;
    }
    view_.setStatus("Sending modem parameters...");
    const auto& rows = modemRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!enabled[i])
            continue;
        if (!applyRow(i)) {
            // A failed re-entry of the chain has said so already.
            if (!chainFailed_)
                fail(std::string("Can't set value for ") + rows[i].name);
            return false;
        }
    }
    view_.setStatus("Programming the modem...");
    const bool ok = chain_.modemStatus(kModemStore, {}, chain_.timing().storeMs);
    view_.setStatus(ok ? "OK" : "Can't program the modem");
    if (ok)
        applyEnabled = false;
    return ok;
}

void TRfm96Config::OnSetDefaultsClick() {
    const auto& rows = modemRows();
    for (std::size_t i = 0; i < rows.size(); ++i)
        index[i] = modemDefaultIndex(rows[i]);
    breakToCommand = false;
    applyEnabled = true;
}

bool TRfm96Config::OnConfigExitClick() {
    if (!chain_.up())
        return true;
    // Whether or not the modem heard it, the receiver's ports must come back.
    chain_.modemStatus(kModemLeave, {0}, chain_.timing().replyMs);
    if (!chain_.leave()) {
        fail("Can't close daisy chain");
        return false;
    }
    view_.setStatus("");
    return true;
}

bool TRfm96Config::OnCloseQuery() {
    if (!chain_.up())
        return true;
    return view_.ask(kCaption, "Are you sure you want to disconnect\nleaving the receiver in "
                               "\"daisy chain\" mode?");
}

std::vector<std::string> TRfm96Config::OnDebugRefreshClick() {
    std::vector<std::string> lines;
    if (!chain_.up()) {
        fail("Can't query memory map");
        return lines;
    }
    view_.setStatus("Querying memory map...");
    for (const auto& range : kDumpRanges) {
        for (unsigned at = range[0]; at < range[1]; at += 16) {
            char head[8];
            std::snprintf(head, sizeof head, "%04X:", at);
            std::string line = head;
            for (unsigned i = at; i < at + 16 && i < range[1]; ++i) {
                const auto b = readRegister(static_cast<std::uint16_t>(i));
                line += ' ';
                line += b ? hexByte(*b) : "--";
            }
            lines.push_back(line);
            if (chain_.stopRequested())
                return lines;
        }
    }
    view_.setStatus("");
    return lines;
}

} // namespace telvor
