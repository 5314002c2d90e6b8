#include "InstrumentLink.h"

#include <cstring>

namespace zt40 {

namespace {

std::uint16_t little16(const DeviceDescriptor& d, std::size_t offset) {
    return static_cast<std::uint16_t>(d[offset] | (d[offset + 1] << 8));
}

// The device list lives for one search only.
class DeviceListGuard {
public:
    explicit DeviceListGuard(HDEVINFO list) : list_(list) {}
    ~DeviceListGuard() { ReleaseDeviceList(list_); }
    DeviceListGuard(const DeviceListGuard&) = delete;
    DeviceListGuard& operator=(const DeviceListGuard&) = delete;

private:
    HDEVINFO list_;
};

} // namespace

bool InstrumentLink::Open() {
    ConfigurationRequest config;
    std::memset(&config, 0, sizeof config);
    config.configurationIndex = 0;
    config.interfaceCount = 1;
    config.settings[0] = {0, 0, FrameLength};

    HDEVINFO list = GetDeviceList(&UsbioInterfaceClass);
    if (list == nullptr) {
        return false;
    }
    DeviceListGuard guard(list);

    for (int instance = 0; instance < InstancesTried; ++instance) {
        if (Device_.Open(instance, list, &UsbioInterfaceClass) != UsbStatus::Success) {
            return false;
        }
        DeviceDescriptor descriptor{};
        const bool isInstrument = Device_.ReadDeviceDescriptor(descriptor) == UsbStatus::Success &&
                                  little16(descriptor, 8) == InstrumentUsb::VendorId &&
                                  little16(descriptor, 10) == InstrumentUsb::ProductId;
        if (isInstrument) {
            return OpenInstrumentAt(instance, list, config);
        }
        Device_.Close();
    }
    return false;
}

bool InstrumentLink::OpenInstrumentAt(int instance, HDEVINFO list,
                                      const ConfigurationRequest& config) {
    if (Device_.Configure(config) == UsbStatus::Success &&
        InPipe_.BindEndpoint(instance, InstrumentUsb::InEndpoint, list, &UsbioInterfaceClass) ==
            UsbStatus::Success &&
        OutPipe_.BindEndpoint(instance, InstrumentUsb::OutEndpoint, list, &UsbioInterfaceClass) ==
            UsbStatus::Success) {
        return true;
    }
    // Found but not usable: leave all three closed, so the next Open starts afresh.
    Close();
    return false;
}

bool InstrumentLink::Exchange(InstrumentFrame& frame) {
    DWORD count = FrameLength;
    if (OutPipe_.TimedWrite(frame.data(), count, TimeLimitMs) != UsbStatus::Success ||
        count != FrameLength) {
        return false;
    }
    count = FrameLength;
    return InPipe_.TimedRead(frame.data(), count, TimeLimitMs) == UsbStatus::Success &&
           count == FrameLength;
}

bool InstrumentLink::Close() {
    InPipe_.Close();
    OutPipe_.Close();
    Device_.Close();
    return true;
}

} // namespace zt40
