// Lines for whoever looks after the machine: why a connected instrument cannot be used (no
// access to its device node, interface held by another program, kernel driver in the way).
// The program installs a sink that writes them to its log; without one they are dropped.
#pragma once

#include <functional>
#include <string>

namespace zt40::driver {

using DiagnosticSink = std::function<void(const std::string& line)>;

// Replaces the sink; an empty function drops the lines.
void setDiagnosticSink(DiagnosticSink sink);
void diagnose(const std::string& line);

} // namespace zt40::driver
