#include "Process.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>

namespace zt40::cli {

namespace {

// Set by wake() and by the console's control routine; the main loop waits for it.
HANDLE wakeEvent = nullptr;
// Set when the run has written all it could: the routine may let the system end the process.
HANDLE finishedEvent = nullptr;
// The console event that ends the run, plus one (0: none yet).
std::atomic<int> endRequest{0};

// The system ends the process this long after a close, logoff or shutdown event at the latest;
// the routine waits a little less for the run to finish its writing.
constexpr DWORD FinishLimit = 4500;

BOOL WINAPI onConsoleControl(DWORD event) {
    return consoleEvent(event) ? TRUE : FALSE;
}

} // namespace

bool consoleEvent(unsigned long event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        break;
    default:
        return false;
    }
    endRequest = static_cast<int>(event) + 1;
    if (wakeEvent != nullptr) {
        SetEvent(wakeEvent);
    }
    // The process ends when the routine returns from these: not before the readings are out.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && finishedEvent != nullptr) {
        WaitForSingleObject(finishedEvent, FinishLimit);
    }
    return true;
}

bool makeStandardDescriptorsSafe() {
    bool outputClosed = false;
    for (int fd = 0; fd <= 2; ++fd) {
        // Closed, or open without a handle behind it (a program started without a console).
        const intptr_t handle = _get_osfhandle(fd);
        if (handle == -1 || handle == -2) {
            outputClosed = outputClosed || fd == 1;
            const int null = _open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
            if (null >= 0 && null != fd) {
                _dup2(null, fd);
                _close(null);
            }
        }
    }
    // The records and status lines leave byte for byte, as elsewhere: no line end translation.
    _setmode(1, _O_BINARY);
    _setmode(2, _O_BINARY);
    return outputClosed;
}

int openOutputFile(const char* path, int flags) {
    return _open(path, flags | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

long long readAt(int fd, char* buffer, std::size_t size, long long offset) {
    if (_lseeki64(fd, offset, SEEK_SET) < 0) {
        return -1;
    }
    std::size_t done = 0;
    while (done < size) {
        const int n = _read(fd, buffer + done, static_cast<unsigned>(size - done));
        if (n <= 0) {
            return n < 0 ? -1 : static_cast<long long>(done);
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long long>(done);
}

void setEnvironment(const char* name, const char* value) {
    // An empty value removes the variable.
    _putenv_s(name, value != nullptr ? value : "");
}

std::size_t writeAll(int fd, const std::string& bytes, int& error) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const unsigned chunk =
            static_cast<unsigned>(std::min<std::size_t>(bytes.size() - done, 1 << 30));
        SetLastError(ERROR_SUCCESS);
        const int n = _write(fd, bytes.data() + done, chunk);
        if (n <= 0) {
            // A pipe whose reader went away: the same as elsewhere.
            const DWORD system = GetLastError();
            error = system == ERROR_NO_DATA || system == ERROR_BROKEN_PIPE ? EPIPE
                    : n < 0                                                ? errno
                                                                           : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

MainLoopSleep::~MainLoopSleep() {
    SetConsoleCtrlHandler(onConsoleControl, FALSE);
    if (finishedEvent != nullptr) {
        SetEvent(finishedEvent);
    }
    // The events stay: a control routine still running may be about to use them.
}

Outcome MainLoopSleep::open() {
    endRequest = 0;
    if (wakeEvent == nullptr) {
        wakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }
    if (finishedEvent == nullptr) {
        finishedEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    if (wakeEvent == nullptr || finishedEvent == nullptr) {
        return Outcome::failed(
            QStringLiteral("cannot make an event: system error %1").arg(GetLastError()));
    }
    ResetEvent(finishedEvent);
    if (!SetConsoleCtrlHandler(onConsoleControl, TRUE)) {
        return Outcome::failed(
            QStringLiteral("cannot watch the console: system error %1").arg(GetLastError()));
    }
    return {};
}

void MainLoopSleep::wake() {
    if (wakeEvent != nullptr) {
        SetEvent(wakeEvent);
    }
}

Wakeup MainLoopSleep::sleep(std::optional<std::chrono::milliseconds> timeout, int /*watched*/) {
    // A pipe's reader going away shows in the next write, which fails: Windows tells it no
    // sooner.
    const DWORD limit =
        timeout ? static_cast<DWORD>(std::clamp<long long>(timeout->count(), 0, 60000)) : INFINITE;
    WaitForSingleObject(wakeEvent, limit);
    Wakeup woken;
    woken.endSignal = endRequest.exchange(0);
    return woken;
}

void withSignalsBlocked(const std::function<void()>& start) {
    // The console's control routine runs on a thread of its own: nothing to block.
    start();
}

const char* signalName(int signal) {
    switch (signal - 1) {
    case CTRL_C_EVENT:
        return "Ctrl+C";
    case CTRL_BREAK_EVENT:
        return "Ctrl+Break";
    case CTRL_CLOSE_EVENT:
        return "console closed";
    case CTRL_LOGOFF_EVENT:
        return "user logged off";
    case CTRL_SHUTDOWN_EVENT:
        return "system shutting down";
    default:
        return "a console event";
    }
}

void endProcessNow(int status) {
    std::_Exit(status);
}

} // namespace zt40::cli
