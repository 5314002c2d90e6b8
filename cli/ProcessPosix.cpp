#include "Process.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace zt40::cli {

namespace {

constexpr int EndSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The self-pipe: signal handlers write the signal's number, other threads a zero.
int wakePipe[2] = {-1, -1};

void onSignal(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    (void)!::write(wakePipe[1], &byte, 1);
    errno = saved;
}

sigset_t handledSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : EndSignals) {
        sigaddset(&set, signal);
    }
    sigaddset(&set, SIGUSR1);
    return set;
}

} // namespace

bool makeStandardDescriptorsSafe() {
    bool outputClosed = false;
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            outputClosed = outputClosed || fd == STDOUT_FILENO;
            // The lowest free number: this one, as those below are open.
            (void)::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        }
    }
    return outputClosed;
}

int openOutputFile(const char* path, int flags) {
    return ::open(path, flags | O_CLOEXEC, 0666);
}

long long readAt(int fd, char* buffer, std::size_t size, long long offset) {
    return ::pread(fd, buffer, size, static_cast<off_t>(offset));
}

void setEnvironment(const char* name, const char* value) {
    if (value != nullptr) {
        ::setenv(name, value, 1);
    } else {
        ::unsetenv(name);
    }
}

std::size_t writeAll(int fd, const std::string& bytes, int& error) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

MainLoopSleep::~MainLoopSleep() {
    for (int& fd : wakePipe) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

Outcome MainLoopSleep::open() {
    if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return Outcome::failed(QStringLiteral("cannot make a pipe: %1")
                                   .arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : EndSignals) {
        sigaction(signal, &action, nullptr);
    }
    sigaction(SIGUSR1, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    return {};
}

void MainLoopSleep::wake() {
    const char byte = 0;
    (void)!::write(wakePipe[1], &byte, 1);
}

Wakeup MainLoopSleep::sleep(std::optional<std::chrono::milliseconds> timeout, int watched) {
    // A pipe whose reader went away reports an error without being asked.
    pollfd fds[2] = {{wakePipe[0], POLLIN, 0}, {watched, 0, 0}};
    const int limit =
        timeout ? static_cast<int>(std::clamp<long long>(timeout->count(), 0, 60000)) : -1;
    Wakeup woken;
    if (::poll(fds, 2, limit) <= 0) {
        return woken;
    }
    woken.readerGone = (fds[1].revents & (POLLERR | POLLHUP)) != 0;
    char bytes[64];
    ssize_t n = 0;
    while ((n = ::read(wakePipe[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            if (bytes[i] == SIGUSR1) {
                woken.reopen = true;
            } else if (bytes[i] != 0) {
                woken.endSignal = bytes[i];
            }
        }
    }
    return woken;
}

void withSignalsBlocked(const std::function<void()>& start) {
    const sigset_t handled = handledSignals();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &handled, &previous);
    start();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

const char* signalName(int signal) {
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "a signal";
    }
}

void endProcessNow(int status) {
    ::_exit(status);
}

} // namespace zt40::cli
