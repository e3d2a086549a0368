#pragma once
// A receiver behind a radio modem on a serial port: a serial link with a start-up exchange.
#include "links/Serialconnection.h"

#include <string>

namespace telvor {

class TAbstractModemConnection : public TSerialConnection {
public:
    TAbstractModemConnection(const std::string& portName, bool infrared)
        : TSerialConnection(portName, false, infrared) {}
    virtual void InitModem() {}
};

class TRadioModemConnection : public TAbstractModemConnection {
public:
    // `baud` is Comm/baud; 115200 when it is not a number.
    TRadioModemConnection(const std::string& portName, bool infrared, const std::string& baud);
    ~TRadioModemConnection() override;

    void InitModem() override;

    static constexpr const char* kStartupText = "%%print,/par/version/main\n";

private:
    std::uint32_t baud_;
};

} // namespace telvor
