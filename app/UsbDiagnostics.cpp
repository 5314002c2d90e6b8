#include "UsbDiagnostics.h"

#include "UsbDiagnosticSink.h"

namespace zt40 {

Q_LOGGING_CATEGORY(lcUsb, "zt40.usb")

void installUsbDiagnostics() {
    setUsbDiagnosticSink([](const std::string& line) {
        qCWarning(lcUsb).noquote() << QString::fromStdString(line);
    });
}

} // namespace zt40
