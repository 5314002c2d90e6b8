// On Windows the instrument's own driver serves the real devices, through Windows' own calls:
// the stand-in there serves simulated and published devices only, and has no USB library.
#include "LibusbBackend.h"

namespace zt40::driver {

std::vector<std::shared_ptr<Device>>
libusbDevices(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& /*served*/) {
    return {};
}

bool libusbBusy() {
    return false;
}

void handleLibusbEvents(std::uint32_t /*maxMs*/) {}

LibusbStats libusbStats() {
    return {};
}

} // namespace zt40::driver
