#pragma once
// How the program reaches the receiver, as stored in Comm/ConnectionType. The input thread
// routes by it, the factory builds the link by it, the settings store keeps it.

namespace telvor {

// Unscoped so that the stored number and the mode compare and convert without casts.
enum TConnectionMode : int {
    cmDirect = 0,
    cmInternetClient = 1,
    cmInternetServer = 2,
    cmRadioModem = 3,
    // Accepted from the file; only the status text differs ("Connected").
    cmConnected = 4
};

} // namespace telvor
