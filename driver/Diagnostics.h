// The stand-in's side of the USB diagnostic sink: lines for whoever looks after the machine.
// The program installs the sink through usb/'s UsbDiagnosticSink.h; without one they are
// dropped.
#pragma once

#include <string>

namespace zt40::driver {

void diagnose(const std::string& line);

} // namespace zt40::driver
