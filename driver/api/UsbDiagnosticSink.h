// Where the layer below the USB classes tells why a connected instrument cannot be used (no
// access to its device node, its interface held by another program, a kernel driver in the
// way), for whoever looks after the machine. The driver stand-in tells through this sink; on
// Windows the driver itself has nothing to tell here and the sink is never called.
#pragma once

#include <functional>
#include <string>

namespace zt40 {

using UsbDiagnosticSink = std::function<void(const std::string& line)>;

// Replaces the sink; an empty function drops the lines. Lines may come from any thread.
void setUsbDiagnosticSink(UsbDiagnosticSink sink);

} // namespace zt40
