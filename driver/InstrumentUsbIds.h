// The gloss meter's USB identity as the stand-in serves and simulates it.
#pragma once

#include <cstdint>

namespace zt40::driver {

inline constexpr std::uint16_t InstrumentVendorId = 0x0C70;
inline constexpr std::uint16_t InstrumentProductId = 0x074C;
inline constexpr std::uint8_t InstrumentInEndpoint = 0x81;
inline constexpr std::uint8_t InstrumentOutEndpoint = 0x02;

} // namespace zt40::driver
