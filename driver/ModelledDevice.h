// Common ground of the devices the stand-in models in software (the simulated instrument and
// the scripted test devices): a USB device with one configuration of one interface whose
// endpoints are given, and standard descriptors built from that.
#pragma once

#include "DriverStandIn.h"

#include <array>
#include <cstdint>
#include <vector>

namespace zt40::driver {

struct EndpointInfo {
    std::uint8_t address = 0;       // bit 7 set = IN
    std::uint8_t attributes = 0x03; // transfer type: 2 bulk, 3 interrupt
    std::uint16_t maxPacketSize = 8;
    std::uint8_t interval = 10;
};

// The 18-byte USB 2.0 standard device descriptor.
std::array<std::uint8_t, 18> makeDeviceDescriptor(std::uint16_t vendorId, std::uint16_t productId,
                                                  std::uint16_t deviceRelease);
// Configuration 1 with interface 0, alternate setting 0 and the endpoints.
std::vector<std::uint8_t> makeConfigurationDescriptor(const std::vector<EndpointInfo>& endpoints);

class ModelledDevice : public Device {
public:
    ModelledDevice(std::uint16_t vendorId, std::uint16_t productId,
                   std::vector<EndpointInfo> endpoints);

    DWORD getDescriptor(std::uint32_t recipient, std::uint8_t type, std::uint8_t index,
                        std::uint16_t languageId, std::uint8_t* out, std::uint32_t size,
                        std::uint32_t& returned) override;
    // Accepts configuration index 0 with interface 0, alternate setting 0.
    DWORD setConfiguration(std::uint16_t configurationIndex,
                           const std::vector<InterfaceChoice>& interfaces) override;
    DWORD bindPipe(std::uint8_t endpointAddress) override;

    // The last configuration accepted.
    const std::vector<InterfaceChoice>& configuration() const { return configuration_; }

protected:
    std::uint16_t vendorId_;
    std::uint16_t productId_;
    std::vector<EndpointInfo> endpoints_;
    std::vector<InterfaceChoice> configuration_;
};

} // namespace zt40::driver
