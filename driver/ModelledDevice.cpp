#include "ModelledDevice.h"

#include <algorithm>
#include <cstring>

namespace zt40::driver {

namespace {

constexpr std::uint8_t DescriptorDevice = 1;
constexpr std::uint8_t DescriptorConfiguration = 2;

void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

DWORD copyOut(const std::uint8_t* source, std::size_t length, std::uint8_t* out, std::uint32_t size,
              std::uint32_t& returned) {
    returned = static_cast<std::uint32_t>(std::min<std::size_t>(length, size));
    std::memcpy(out, source, returned);
    return 0;
}

} // namespace

std::array<std::uint8_t, 18> makeDeviceDescriptor(std::uint16_t vendorId, std::uint16_t productId,
                                                  std::uint16_t deviceRelease) {
    std::array<std::uint8_t, 18> d{};
    d[0] = 18;
    d[1] = DescriptorDevice;
    put16(&d[2], 0x0110); // USB 1.1, full speed
    d[4] = 0;             // class per interface
    d[7] = 8;             // control endpoint packet size
    put16(&d[8], vendorId);
    put16(&d[10], productId);
    put16(&d[12], deviceRelease);
    d[14] = 1; // manufacturer string
    d[15] = 2; // product string
    d[16] = 3; // serial number string
    d[17] = 1; // one configuration
    return d;
}

std::vector<std::uint8_t> makeConfigurationDescriptor(const std::vector<EndpointInfo>& endpoints) {
    const std::size_t total = 9 + 9 + 7 * endpoints.size();
    std::vector<std::uint8_t> c(total, 0);
    c[0] = 9;
    c[1] = DescriptorConfiguration;
    put16(&c[2], static_cast<std::uint16_t>(total));
    c[4] = 1;    // one interface
    c[5] = 1;    // configuration value
    c[7] = 0x80; // bus powered
    c[8] = 50;   // 100 mA
    std::uint8_t* i = &c[9];
    i[0] = 9;
    i[1] = 4; // interface
    i[4] = static_cast<std::uint8_t>(endpoints.size());
    i[5] = 0xFF; // vendor-specific class
    std::uint8_t* e = &c[18];
    for (const auto& ep : endpoints) {
        e[0] = 7;
        e[1] = 5; // endpoint
        e[2] = ep.address;
        e[3] = ep.attributes;
        put16(&e[4], ep.maxPacketSize);
        e[6] = ep.interval;
        e += 7;
    }
    return c;
}

ModelledDevice::ModelledDevice(std::uint16_t vendorId, std::uint16_t productId,
                               std::vector<EndpointInfo> endpoints)
    : vendorId_(vendorId), productId_(productId), endpoints_(std::move(endpoints)) {}

DWORD ModelledDevice::getDescriptor(std::uint32_t recipient, std::uint8_t type, std::uint8_t index,
                                    std::uint16_t /*languageId*/, std::uint8_t* out,
                                    std::uint32_t size, std::uint32_t& returned) {
    returned = 0;
    if (recipient != 0) {
        return ERROR_GEN_FAILURE; // the device stalls requests to other recipients
    }
    if (type == DescriptorDevice && index == 0) {
        const auto d = makeDeviceDescriptor(vendorId_, productId_, 0x0100);
        return copyOut(d.data(), d.size(), out, size, returned);
    }
    if (type == DescriptorConfiguration && index == 0) {
        const auto c = makeConfigurationDescriptor(endpoints_);
        return copyOut(c.data(), c.size(), out, size, returned);
    }
    return ERROR_GEN_FAILURE;
}

DWORD ModelledDevice::setConfiguration(std::uint16_t configurationIndex,
                                       const std::vector<InterfaceChoice>& interfaces) {
    if (configurationIndex != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    for (const auto& choice : interfaces) {
        if (choice.interfaceIndex != 0 || choice.alternateSetting != 0) {
            return ERROR_INVALID_PARAMETER;
        }
    }
    configuration_ = interfaces;
    return 0;
}

DWORD ModelledDevice::bindPipe(std::uint8_t endpointAddress) {
    const bool known =
        std::any_of(endpoints_.begin(), endpoints_.end(),
                    [&](const EndpointInfo& e) { return e.address == endpointAddress; });
    return known ? 0 : ERROR_INVALID_PARAMETER;
}

} // namespace zt40::driver
