#pragma once
// The USB device layer on libusb-1.0.
#include "links/Usbio.h"

namespace telvor {

// Created on first use and kept for the program's life; enumerates nothing (and says so) when
// libusb cannot start.
TUsbBackend& libusbBackend();

} // namespace telvor
