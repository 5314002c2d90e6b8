// Real USB devices behind the driver stand-in, through libusb-1.0.
#pragma once

#include "DriverStandIn.h"

#include <memory>
#include <utility>
#include <vector>

namespace zt40::driver::usbhost {

// The connected devices with one of the vendor/product pairs, in bus order. The same device
// keeps the same object while it stays connected. Empty when libusb is not available.
std::vector<std::shared_ptr<Device>>
devices(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& served);

// True while a real transfer is in flight; waits then run libusb's event handling.
bool busy();
void handleEvents(std::uint32_t maxMs);

} // namespace zt40::driver::usbhost
