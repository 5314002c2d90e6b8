// Where the program reports why a connected instrument cannot be used: the logging category
// "zt40.usb" (standard error, and the system journal where Qt logs there).
#pragma once

#include <QLoggingCategory>

namespace zt40 {

Q_DECLARE_LOGGING_CATEGORY(lcUsb)

// Routes the USB layer's diagnostics to lcUsb as warnings, for the lifetime of the program.
void installUsbDiagnostics();

} // namespace zt40
