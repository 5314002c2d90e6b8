// What zt40-log needs of its process and the system's signals, kept apart from the rest so that
// another system's variant can sit beside this one (ProcessPosix.cpp).
#pragma once

#include "Outcome.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace zt40::cli {

// Opens the null device on each of the standard descriptors 0 to 2 that is closed, so that no
// file opened later takes its number and receives what was meant for another. Called first;
// true when standard output was one of them.
bool makeStandardDescriptorsSafe();

// Writes the bytes to the descriptor, going on after interruptions; the number written, and
// the error that stopped it short.
std::size_t writeAll(int fd, const std::string& bytes, int& error);

// Why the main loop woke up.
struct Wakeup {
    int endSignal = 0;       // a signal that ends the run; 0: none
    bool reopen = false;     // the output file is to be reopened
    bool readerGone = false; // the watched output has no reader any more
};

// The main loop's sleep: broken by the signals that end the run (INT, TERM, HUP), by the one
// that reopens the output (USR1), by other threads and by the reader of a pipe going away.
// A pipe without a reader, and a file grown past its size limit, fail their writes instead of
// ending the process.
class MainLoopSleep {
public:
    MainLoopSleep() = default;
    MainLoopSleep(const MainLoopSleep&) = delete;
    MainLoopSleep& operator=(const MainLoopSleep&) = delete;
    ~MainLoopSleep();

    Outcome open();
    // Ends the current or the next sleep; from any thread.
    static void wake();
    // Sleeps until woken or `timeout` has passed (none: for ever). `watched` is a descriptor
    // whose reader may go away, or -1.
    Wakeup sleep(std::optional<std::chrono::milliseconds> timeout, int watched);
};

// Runs `start`, which starts threads, with the signals blocked that the main loop handles, so
// that the threads are born with them blocked: only the main thread sees a signal, and no
// transfer or wait on another thread is broken off by one.
void withSignalsBlocked(const std::function<void()>& start);

// The name of a signal that ends the run, as the status lines tell it.
const char* signalName(int signal);

// Ends the process at once with this status, while other threads still wait on something
// that will not come back in time.
[[noreturn]] void endProcessNow(int status);

} // namespace zt40::cli
