#include "RecordOutput.h"

#include "FileSync.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace zt40::cli {

namespace {

// A record is a short line; the last line of a file is looked for this far back.
constexpr off_t LongestLine = 64 * 1024;

// What failed, with the system's reason for it.
Outcome failed(const QString& what, int error) {
    return Outcome::failed(what + QStringLiteral(": ") +
                           QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

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

RecordOutput::~RecordOutput() {
    file_.close();
    if (ownFd_ && fd_ >= 0) {
        ::close(fd_);
    }
}

Outcome RecordOutput::open(const std::string& path) {
    if (path.empty()) {
        fd_ = STDOUT_FILENO;
        name_ = QStringLiteral("standard output");
    } else {
        name_ = QString::fromLocal8Bit(path);
        // Read access to look at the last line; appending, so that every write lands at the end.
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            return failed(QStringLiteral("cannot open %1").arg(name_), errno);
        }
        ownFd_ = true;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        return failed(QStringLiteral("cannot examine %1").arg(name_), errno);
    }
    regular_ = S_ISREG(info.st_mode);
    // A regular file given as standard output is written at the shell's position: it counts as
    // new output like a pipe.
    if (!file_.open(fd_, QIODevice::WriteOnly | QIODevice::Unbuffered,
                    QFileDevice::DontCloseHandle)) {
        return Outcome::failed(QStringLiteral("cannot use %1: %2").arg(name_, file_.errorString()));
    }
    if (regular_ && ownFd_ && info.st_size > 0) {
        return inspectTail();
    }
    return {};
}

Outcome RecordOutput::inspectTail() {
    const off_t size = ::lseek(fd_, 0, SEEK_END);
    if (size < 0) {
        return failed(QStringLiteral("cannot examine %1").arg(name_), errno);
    }
    // The end of the file, as far back as a record could reach.
    const off_t start = std::max<off_t>(size - LongestLine, 0);
    std::string tail(static_cast<std::size_t>(size - start), '\0');
    if (::pread(fd_, tail.data(), tail.size(), start) != static_cast<ssize_t>(tail.size())) {
        return failed(QStringLiteral("cannot read %1").arg(name_), errno != 0 ? errno : EIO);
    }
    empty_ = false;
    if (tail.back() != '\n') {
        const std::size_t lineEnd = tail.rfind('\n');
        if (lineEnd == std::string::npos && start > 0) {
            // Far longer than any record: someone else's data, which is not ours to cut off.
            return Outcome::failed(
                QStringLiteral("cannot append to %1: it does not end in a line of records")
                    .arg(name_));
        }
        // An interrupted write or someone else's partial line: cut it off, so the next record
        // starts on a line of its own and the fragment is never read as a record.
        const std::size_t lineStart = lineEnd == std::string::npos ? 0 : lineEnd + 1;
        removedTail_ = tail.substr(lineStart);
        const off_t keep = start + static_cast<off_t>(lineStart);
        if (::ftruncate(fd_, keep) != 0) {
            return failed(QStringLiteral("cannot remove the incomplete last line of %1").arg(name_),
                          errno);
        }
        if (!platform::syncData(file_)) {
            return failed(QStringLiteral("cannot write %1").arg(name_), errno);
        }
        tail.resize(lineStart);
        empty_ = keep == 0;
    }
    if (tail.empty()) {
        return {};
    }
    // The last whole line, without its line end: a .dat file's starts with its row number.
    tail.pop_back();
    const std::size_t lineEnd = tail.rfind('\n');
    if (lineEnd == std::string::npos && start > 0) {
        return {}; // its start is out of reach: no row number of ours
    }
    const char* end = tail.data() + tail.size();
    unsigned long long number = 0;
    const auto [next, error] = std::from_chars(
        tail.data() + (lineEnd == std::string::npos ? 0 : lineEnd + 1), end, number);
    if (error == std::errc() && next != end && *next == '\t') {
        lastRowNumber_ = number;
    }
    return {};
}

Outcome RecordOutput::write(const std::string& bytes) {
    // Our own file is appended to: what was there before the write is its size.
    struct stat info {};
    const off_t before = regular_ && ownFd_ && ::fstat(fd_, &info) == 0 ? info.st_size : -1;
    int error = 0;
    if (const std::size_t done = writeAll(fd_, bytes, error); done < bytes.size()) {
        // A part of a record would be read as a record: it goes again.
        if (done > 0 && before >= 0) {
            (void)::ftruncate(fd_, before);
        }
        return failed(QStringLiteral("cannot write %1").arg(name_), error);
    }
    // Pipes and terminals have nothing to force to disk.
    if (regular_ && !platform::syncData(file_)) {
        return failed(QStringLiteral("cannot write %1").arg(name_), errno);
    }
    return {};
}

} // namespace zt40::cli
