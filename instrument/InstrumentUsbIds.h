// The gloss meter's USB identity, and the interface class under which the generic USB driver
// publishes the devices it serves: one definition for the instrument channel, the driver
// stand-in and the tests.
#pragma once

#include <cstdint>

namespace zt40::InstrumentUsb {

inline constexpr std::uint16_t VendorId = 0x0C70;
inline constexpr std::uint16_t ProductId = 0x074C;
inline constexpr std::uint8_t InEndpoint = 0x81;
inline constexpr std::uint8_t OutEndpoint = 0x02;

// {325DDF96-938C-11D3-9E34-0080C82727F4}, in the fields of a GUID.
struct InterfaceClassId {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};
inline constexpr InterfaceClassId DriverInterfaceClass = {
    0x325DDF96, 0x938C, 0x11D3, {0x9E, 0x34, 0x00, 0x80, 0xC8, 0x27, 0x27, 0xF4}};

} // namespace zt40::InstrumentUsb
