#pragma once
// `telvor-cli radio`: the RFM96 modem behind one of the receiver's serial ports, read or
// programmed through the daisy chain as the RFM96 window does.
#include "cli/Commands.h"

namespace telvor {

// "radio get" prints the modem's identity, channels and every parameter, "Name: value" a line;
// "radio set NAME VALUE..." changes those rows, programs the modem and prints "OK". 1 when the
// modem was not found or refused, 2 for an unknown name or value.
int runRadio(TCliContext& ctx);

} // namespace telvor
