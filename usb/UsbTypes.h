// Status codes of the USB layer and the byte layouts of the requests sent to the driver.
#pragma once

#include "UsbOsCalls.h"

#include <bit>
#include <cstdint>

namespace zt40 {

static_assert(std::endian::native == std::endian::little,
              "the driver's request layouts are little-endian");

// Statuses of the USB layer besides 0 (success) and the Windows error codes passed on.
namespace UsbStatus {
inline constexpr DWORD Success = 0;
inline constexpr DWORD OutOfResources = 0xE0000100;   // memory or an event not available
inline constexpr DWORD OpenFailed = 0xE0001100;       // the device path could not be opened
inline constexpr DWORD NotOpen = 0xE0001102;          // the object is not open
inline constexpr DWORD NoSuchInstance = 0xE0001104;   // no interface with this instance
inline constexpr DWORD InvalidParameter = 0xE0001105; // no interface class given
inline constexpr DWORD Timeout = 0xE000100C;          // a transfer's time limit expired
inline constexpr DWORD VersionMismatch = 0xE000101C;  // driver interface is not 0x0141
} // namespace UsbStatus

// The driver interface version this program is written for.
inline constexpr std::uint16_t DriverInterfaceVersion = 0x0141;

// Device I/O control codes: device type 0x8094, any access.
constexpr DWORD usbioControlCode(DWORD function, DWORD method) {
    return (DWORD{0x8094} << 16) | (function << 2) | method;
}
namespace UsbRequest {
inline constexpr DWORD GetDriverInfo = usbioControlCode(0x81B, 0);    // 0x8094206C, buffered
inline constexpr DWORD GetDescriptor = usbioControlCode(0x801, 2);    // 0x80942006, out direct
inline constexpr DWORD SetConfiguration = usbioControlCode(0x809, 0); // 0x80942024, buffered
inline constexpr DWORD BindPipe = usbioControlCode(0x81E, 0);         // 0x80942078, buffered
} // namespace UsbRequest

struct DriverVersionReply {
    std::uint16_t interfaceVersion;
    std::uint8_t driverInfo[10]; // not evaluated
};
static_assert(sizeof(DriverVersionReply) == 12);

struct DescriptorRequest {
    std::uint32_t recipient; // 0 = the device
    std::uint8_t type;       // 1 = device descriptor
    std::uint8_t index;
    std::uint16_t languageId;
};
static_assert(sizeof(DescriptorRequest) == 8);

struct InterfaceSetting {
    std::uint16_t interfaceIndex;
    std::uint16_t alternateSettingIndex;
    std::uint32_t maximumTransferSize;
};
static_assert(sizeof(InterfaceSetting) == 8);

inline constexpr int MaxInterfaceSettings = 32;

struct ConfigurationRequest {
    std::uint16_t configurationIndex;
    std::uint16_t interfaceCount; // valid entries of settings
    InterfaceSetting settings[MaxInterfaceSettings];
};
static_assert(sizeof(ConfigurationRequest) == 260);

struct PipeBindRequest {
    std::uint8_t endpointAddress; // bit 7 set = IN
};
static_assert(sizeof(PipeBindRequest) == 1);

inline constexpr DWORD DeviceDescriptorSize = 18;

} // namespace zt40
