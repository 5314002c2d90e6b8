// A run of zt40-log: the poll thread, the output, the status lines, signals and the end.
#pragma once

#include "Options.h"

namespace zt40::cli {

// Exit statuses, as the manual page states them.
inline constexpr int ExitNormal = 0;
inline constexpr int ExitBadArguments = 1;
inline constexpr int ExitNoInstrument = 2;
inline constexpr int ExitOutputFailed = 3;
inline constexpr int ExitReaderGone = 4;

// Runs until the count or the duration is reached, a signal arrives, the instrument did not
// appear in time or the output fails or loses its reader; returns the exit status. May end the
// process itself when the poll thread hangs in a transfer or the output takes no more.
// `outputWasClosed`: the process started with standard output closed.
int runLogger(const Options& options, bool outputWasClosed);

} // namespace zt40::cli
