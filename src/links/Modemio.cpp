#include "links/Modemio.h"

#include <cstdlib>

namespace telvor {
namespace {

std::uint32_t parseBaud(const std::string& text) {
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || end == text.c_str() || *end != '\0' || value == 0 || value > 0xFFFFFFFFul)
        return 115200;
    return static_cast<std::uint32_t>(value);
}

} // namespace

TRadioModemConnection::TRadioModemConnection(const std::string& portName, bool infrared,
                                             const std::string& baud)
    : TAbstractModemConnection(portName, infrared), baud_(parseBaud(baud)) {
    if (!ErrorText().empty())
        return;
    InitModem();
    if (ErrorText().empty())
        ResumeThread();
}

TRadioModemConnection::~TRadioModemConnection() {
    StopThread();
}

void TRadioModemConnection::InitModem() {
    TAbstractModemConnection::InitModem();
    SetSpeed(baud_);
    WriteRaw(kStartupText);
    // The modem's answer only tells that it is there; it is not needed.
    std::uint8_t answer[50];
    ReadTimed(answer, sizeof answer, 100);
}

} // namespace telvor
