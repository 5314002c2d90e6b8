// The instrument channel: finds the gloss meter among the driver's device interfaces,
// configures it, binds its two pipes and exchanges 8-byte frames with it.
#pragma once

#include "CUsbIo.h"
#include "CUsbIoPipe.h"
#include "InstrumentProtocol.h"
#include "InstrumentUsbIds.h"

namespace zt40 {

// The interface class of the driver's devices.
inline constexpr GUID UsbioInterfaceClass = {
    InstrumentUsb::DriverInterfaceClass.data1,
    InstrumentUsb::DriverInterfaceClass.data2,
    InstrumentUsb::DriverInterfaceClass.data3,
    {InstrumentUsb::DriverInterfaceClass.data4[0], InstrumentUsb::DriverInterfaceClass.data4[1],
     InstrumentUsb::DriverInterfaceClass.data4[2], InstrumentUsb::DriverInterfaceClass.data4[3],
     InstrumentUsb::DriverInterfaceClass.data4[4], InstrumentUsb::DriverInterfaceClass.data4[5],
     InstrumentUsb::DriverInterfaceClass.data4[6], InstrumentUsb::DriverInterfaceClass.data4[7]}};

class InstrumentLink {
public:
    static constexpr int InstancesTried = 127; // 0 to 126
    static constexpr DWORD FrameLength = 8;
    static constexpr DWORD TimeLimitMs = 5000;

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
