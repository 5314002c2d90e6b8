// The instrument channel: finds the gloss meter among the driver's device interfaces,
// configures it, binds its two pipes and exchanges 8-byte frames with it.
#pragma once

#include "CUsbIo.h"
#include "CUsbIoPipe.h"
#include "InstrumentProtocol.h"

namespace zt40 {

// {325DDF96-938C-11D3-9E34-0080C82727F4}, the interface class of the driver's devices.
inline constexpr GUID UsbioInterfaceClass = {
    0x325DDF96, 0x938C, 0x11D3, {0x9E, 0x34, 0x00, 0x80, 0xC8, 0x27, 0x27, 0xF4}};

namespace InstrumentUsb {
inline constexpr int InstancesTried = 127; // 0 to 126
inline constexpr std::uint16_t VendorId = 0x0C70;
inline constexpr std::uint16_t ProductId = 0x074C;
inline constexpr std::uint8_t InEndpoint = 0x81;
inline constexpr std::uint8_t OutEndpoint = 0x02;
inline constexpr DWORD FrameLength = 8;
inline constexpr DWORD TimeLimitMs = 5000;
} // namespace InstrumentUsb

class InstrumentLink {
public:
    // True when the instrument was found, configured and both pipes are bound.
    bool Open();
    // Sends the frame's 8 bytes, then receives the 8-byte reply into the same frame.
    bool Exchange(InstrumentFrame& frame);
    // Closes the IN pipe, the OUT pipe and the device; always true.
    bool Close();

    const CUsbIo& device() const { return Device_; }
    const CUsbIoPipe& inPipe() const { return InPipe_; }
    const CUsbIoPipe& outPipe() const { return OutPipe_; }

private:
    bool OpenInstrumentAt(int instance, HDEVINFO deviceList, const ConfigurationRequest& config);

    CUsbIo Device_;
    CUsbIoPipe InPipe_;
    CUsbIoPipe OutPipe_;
};

} // namespace zt40
