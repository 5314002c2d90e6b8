// What zt40-log needs of its process and the system's signals, kept apart from the rest:
// ProcessPosix.cpp, and ProcessWindows.cpp, where the console's events (Ctrl+C, Ctrl+Break,
// closing the console, logoff, shutdown) take the place of the signals that end the run and no
// event reopens the output.
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

// Opens a file for the records with these flags (O_APPEND, O_CREAT, ...): not inherited by
// programs started later, written byte for byte, made readable and writable for all the
// system lets. The descriptor, or -1 with errno set.
int openOutputFile(const char* path, int flags);

// Reads `size` bytes at `offset` without a care for the file's position; the number read, or
// -1 with errno set.
long long readAt(int fd, char* buffer, std::size_t size, long long offset);

// Sets a variable of this process's environment, as the C library's getenv sees it; removes it
// when `value` is null.
void setEnvironment(const char* name, const char* value);

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

#ifdef _WIN32
// What the console's control routine does with an event (CTRL_C_EVENT ...): the events that
// end the run wake the main loop; for those after which the system ends the process (close,
// logoff, shutdown) it returns only when the run is over, or when time is nearly up. False
// for other events.
bool consoleEvent(unsigned long event);
#endif

// The name of a signal that ends the run, as the status lines tell it.
const char* signalName(int signal);

// Ends the process at once with this status, while other threads still wait on something
// that will not come back in time.
[[noreturn]] void endProcessNow(int status);

} // namespace zt40::cli
