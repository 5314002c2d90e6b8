#include "UsbDiagnostics.h"

#ifndef _WIN32
#include "Diagnostics.h"
#endif

namespace zt40 {

Q_LOGGING_CATEGORY(lcUsb, "zt40.usb")

void installUsbDiagnostics() {
#ifndef _WIN32
    // Only the stand-in for the USB driver has something to tell; on Windows the real one is used.
    driver::setDiagnosticSink([](const std::string& line) {
        qCWarning(lcUsb).noquote() << QString::fromStdString(line);
    });
#endif
}

} // namespace zt40
