#include "Diagnostics.h"

#include <mutex>
#include <utility>

namespace zt40::driver {

namespace {

std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}

DiagnosticSink& currentSink() {
    static DiagnosticSink sink;
    return sink;
}

} // namespace

void setDiagnosticSink(DiagnosticSink sink) {
    std::lock_guard lock(sinkMutex());
    currentSink() = std::move(sink);
}

void diagnose(const std::string& line) {
    DiagnosticSink sink;
    {
        std::lock_guard lock(sinkMutex());
        sink = currentSink();
    }
    if (sink) {
        sink(line);
    }
}

} // namespace zt40::driver
