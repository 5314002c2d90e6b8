// One writer per output file: the file is locked for as long as the run keeps it open, so that
// a second run on the same file is refused instead of interleaving its records. Kept apart
// from the rest: OutputLockPosix.cpp, OutputLockWindows.cpp.
#pragma once

#include "Outcome.h"

#include <QString>

namespace zt40::cli {

// Locks the file open for writing on `fd`; the lock ends when the descriptor is closed. Fails,
// naming the holder where the system tells it, when another process holds the lock.
Outcome lockOutput(int fd, const QString& name);

} // namespace zt40::cli
