#include "config/Radiochain.h"

#include "config/Rfm96protocol.h"
#include "protocol/Bridge.h"
#include "protocol/Commtools.h"
#include "protocol/Link.h"
#include "protocol/Tick.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

namespace telvor {
namespace {

std::string unquoted(std::string text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

bool serialLink() {
    return CurrentConnection && CurrentConnection->Kind == kLinkSerial;
}

} // namespace

TRadioChain::TRadioChain(TRadioView& view, TRadioTiming timing) : view_(view), timing_(timing) {}

std::optional<char> TRadioChain::terminalSerialPort() {
    const std::string term = printValue("/cur/term").value_or("");
    if (term.size() == 10 && term.rfind("/dev/ser/", 0) == 0 && term[9] >= 'a' && term[9] <= 'd')
        return term[9];
    return std::nullopt;
}

std::string TRadioChain::readEchoOff() {
    eoff_ = unquoted(printValue("/par/cur/term/eoff").value_or(""));
    return eoff_;
}

void TRadioChain::requestStop() {
    stop_ = true;
    view_.setStatus("Aborting...");
}

bool TRadioChain::pause(int ms, bool abortable) {
    const std::uint32_t start = tickCount();
    for (;;) {
        const std::uint32_t elapsed = ticksSince(start);
        view_.setProgress(ms > 0 ? static_cast<int>(std::min<std::uint32_t>(elapsed, ms) * 100 / ms)
                                 : 100);
        uiBridge().processEvents();
        if (stop_ && abortable)
            return false;
        if (elapsed >= static_cast<std::uint32_t>(std::max(ms, 0)))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int>(5, ms - elapsed)));
    }
}

std::optional<std::string> TRadioChain::printValue(const std::string& path) {
    if (SendAndWait("%%print," + path, timing_.commandMs) != TReply::RE)
        return std::nullopt;
    return ReplyText(7);
}

bool TRadioChain::command(const std::string& line) {
    return SendAndWait(line, timing_.commandMs) == TReply::RE;
}

void TRadioChain::inputEvents(bool on) {
    if (CurrentConnection)
        CurrentConnection->SetEventMask(on ? kEventData | kEventError : 0);
}

void TRadioChain::purge() {
    if (!CurrentConnection)
        return;
    CurrentConnection->Purge();
    if (CurrentConnection->Kind == kLinkEthernet) {
        // The Ethernet link keeps what arrived in its own packets; read it away.
        std::uint8_t scrap[256];
        for (int i = 0; i < 64 && CurrentConnection->Read(scrap, sizeof scrap) > 0; ++i) {
        }
    }
    CurrentConnection->Input.Clear();
}

bool TRadioChain::setTermRate(const std::string& rate) {
    if (!command("%%set,/par/cur/term/rate," + rate))
        return false;
    profile().write(keys::CommBaud, rate);
    const bool ok = CurrentConnection->SetSpeed(static_cast<std::uint32_t>(std::stoul(rate)));
    pause(timing_.settleMs, false);
    return ok;
}

bool TRadioChain::enter(std::uint32_t speed) {
    // Entering twice would save the chain's own settings as the ones to restore.
    if (!CurrentConnection || eoff_.empty() || up_)
        return false;
    inputEvents(true);
    const std::string p(1, port_);
    const std::string dev = "/par/dev/ser/" + p;
    // The chain cannot run through the port the computer is on.
    if (terminalSerialPort() == port_)
        return false;
    TSaved saved;
    for (auto [name, value] :
         {std::pair{"/rate", &saved.rate}, std::pair{"/rtscts", &saved.rtscts},
          std::pair{"/imode", &saved.imode}, std::pair{"/echo", &saved.echo}}) {
        const auto read = printValue(dev + name);
        if (!read || read->empty())
            return false;
        *value = *read;
    }
    // Only a serial link changes the terminal's speed (other ports have none).
    if (serialLink()) {
        const auto read = printValue("/par/cur/term/rate");
        if (!read || read->empty())
            return false;
        saved.termRate = *read;
    }
    if (SendAndWait("%%print,/par/out", timing_.commandMs) != TReply::RE)
        return false;
    // The chain stops the port's messages (a base's corrections to its radio, say); leaving
    // starts them again.
    std::ostringstream outputs;
    if (!SavePortMessages(outputs, "/dev/ser/" + p))
        return false;
    std::istringstream lines(outputs.str());
    for (std::string line; std::getline(lines, line);)
        if (!line.empty())
            saved.outputs.push_back(line);
    saved_ = saved;
    up_ = true; // from here on a failure puts back what was changed
    speed_ = speed;
    const std::string s = std::to_string(speed);
    bool ok = !serialLink() || setTermRate(s);
    ok = ok && command("%%dm,/dev/ser/" + p) && command("%%set," + dev + "/rtscts,off");
    ok = ok && pause(timing_.rtsctsMs, false) && command("%%set," + dev + "/rate," + s);
    ok = ok && command("%%set,/par/cur/term/imode,cmd") &&
         command("%%set,/par/cur/term/echo,/dev/ser/" + p) &&
         command("%%set," + dev + "/imode,echo") && command("%%set," + dev + "/echo,/cur/term") &&
         command("%%set,/par/cur/term/imode,echo");
    if (!ok) {
        leave();
        return false;
    }
    inputEvents(false);
    pause(timing_.settleMs, false);
    purge();
    return true;
}

bool TRadioChain::leave() {
    if (!CurrentConnection || !saved_)
        return false;
    inputEvents(true);
    const TSaved saved = *saved_;
    const std::string dev = "/par/dev/ser/" + std::string(1, port_);
    bool ok =
        CurrentConnection->WriteRaw(eoff_ + "\r\n") && CurrentConnection->WriteRaw(eoff_ + "\r\n");
    // Brings the dialogue back in step; the echo may have eaten parts of the lines before.
    SendAndWait("##\n%%", timing_.syncMs);
    ok = command("%%set," + dev + "/imode,cmd") && ok;
    if (serialLink())
        ok = setTermRate(saved.termRate) && ok;
    ok = command("%%set,/par/cur/term/imode,cmd") && ok;
    ok = command("%%set,/par/cur/term/echo,/dev/null") && ok;
    ok = command("%%set," + dev + "/imode," + saved.imode) && ok;
    ok = command("%%set," + dev + "/rate," + saved.rate) && ok;
    ok = command("%%set," + dev + "/rtscts," + saved.rtscts) && ok;
    ok = command("%%set," + dev + "/echo," + saved.echo) && ok;
    for (const std::string& line : saved.outputs)
        ok = command(line) && ok;
    if (ok) {
        up_ = false;
        saved_.reset();
    }
    return ok;
}

std::optional<std::vector<std::uint8_t>>
TRadioChain::ModemCommand(std::uint8_t command, const std::vector<std::uint8_t>& data,
                          std::size_t replyLength, int timeoutMs) {
    if (!CurrentConnection)
        return std::nullopt;
    purge();
    const std::vector<std::uint8_t> request = modemRequest(command, data);
    const int count = static_cast<int>(request.size());
    if (CurrentConnection->Write(request.data(), count) != count)
        return std::nullopt;
    pause(timing_.settleMs, false);
    std::vector<std::uint8_t> reply(replyLength + 3);
    const int got = CurrentConnection->ReadTimed(reply.data(), static_cast<int>(reply.size()),
                                                 static_cast<std::uint32_t>(timeoutMs));
    return modemReplyData(reply.data(), static_cast<std::size_t>(std::max(got, 0)), command,
                          replyLength);
}

bool TRadioChain::modemStatus(std::uint8_t command, const std::vector<std::uint8_t>& data,
                              int timeoutMs) {
    const auto reply = ModemCommand(command, data, 1, timeoutMs);
    return reply && (*reply)[0] == 0;
}

} // namespace telvor
