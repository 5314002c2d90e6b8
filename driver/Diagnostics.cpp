#include "Diagnostics.h"

#include "UsbDiagnosticSink.h"

#include <mutex>
#include <utility>

namespace zt40 {

namespace {

std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}

UsbDiagnosticSink& currentSink() {
    static UsbDiagnosticSink sink;
    return sink;
}

} // namespace

void setUsbDiagnosticSink(UsbDiagnosticSink sink) {
    std::lock_guard lock(sinkMutex());
    currentSink() = std::move(sink);
}

void driver::diagnose(const std::string& line) {
    UsbDiagnosticSink sink;
    {
        std::lock_guard lock(sinkMutex());
        sink = currentSink();
    }
    if (sink) {
        sink(line);
    }
}

} // namespace zt40
