// Real USB devices behind the driver stand-in, through libusb-1.0.
#pragma once

#include "DriverStandIn.h"

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace zt40::driver {

// The connected devices with one of the vendor/product pairs, in bus order. The same device
// keeps the same object while it stays connected; a device that comes back, at any address,
// is a new one. Empty when libusb is not available.
std::vector<std::shared_ptr<Device>>
libusbDevices(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& served);

// True while a real transfer is in flight; waits then run libusb's event handling.
bool libusbBusy();
void handleLibusbEvents(std::uint32_t maxMs);

// What the backend holds: devices of the last enumeration, libusb devices referenced at all
// (also by handles still open on a device that has gone), handles waiting for cancelled
// transfers before they close, transfers in flight.
struct LibusbStats {
    std::size_t devices = 0;
    std::size_t referenced = 0;
    std::size_t closingHandles = 0;
    std::size_t transfersInFlight = 0;
};
LibusbStats libusbStats();

} // namespace zt40::driver
