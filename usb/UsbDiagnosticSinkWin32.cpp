// On Windows the USB classes talk to the real driver, which reports nothing through the sink.
#include "UsbDiagnosticSink.h"

namespace zt40 {

void setUsbDiagnosticSink(UsbDiagnosticSink /*sink*/) {}

} // namespace zt40
