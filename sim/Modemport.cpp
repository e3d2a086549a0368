// The echo between this port and another one, and the radio modem behind that other port: what
// makes the daisy chain of the radio configuration work.
#include "sim/Engine.h"

#include <chrono>

namespace telvorsim {
namespace {

std::int64_t wallMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string unquoted(std::string text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

} // namespace

bool TEngine::echoing() const {
    return params_.get("/par" + port_ + "/imode") == "echo";
}

void TEngine::echoByte(char c) {
    const std::string target = params_.get("/par" + port_ + "/echo").value_or("/dev/null");
    if (modem_ && target == options_.modemPort)
        toModem(std::string(1, c));
    if (c != '\r' && c != '\n') {
        if (echoLine_.size() < 256)
            echoLine_.push_back(c);
        return;
    }
    // The echo-off line hands the port back to commands.
    const std::string off = unquoted(params_.get("/par" + port_ + "/eoff").value_or(""));
    if (!off.empty() && echoLine_ == off) {
        params_.force("/par" + port_ + "/imode", "cmd");
        log("echo off");
    }
    echoLine_.clear();
}

void TEngine::toModem(const std::string& bytes) {
    const std::int64_t now = wallMs();
    const std::string portRate = params_.get("/par" + options_.modemPort + "/rate").value_or("");
    // At another rate than the modem's the bytes are noise on both sides.
    if (portRate != std::to_string(modem_->rate(now)))
        return;
    std::string answer = modem_->receive(bytes, now);
    if (answer.empty() || params_.get("/par" + options_.modemPort + "/imode") != "echo")
        return;
    const std::string back = params_.get("/par" + options_.modemPort + "/echo").value_or("");
    if (back == "/cur/term" || back == port_)
        host_.send(std::move(answer), true);
}

} // namespace telvorsim
