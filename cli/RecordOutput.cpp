#include "RecordOutput.h"

#include "FileSync.h"
#include "OutputLock.h"
#include "Process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zt40::cli {

namespace {

// A record is a short line; the last line of a file is looked for this far back.
constexpr off_t LongestLine = 64 * 1024;

QString reasonOf(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// What failed, with the system's reason for it.
Outcome failed(const QString& what, int error) {
    return Outcome::failed(what + QStringLiteral(": ") + reasonOf(error));
}

} // namespace

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
    } else if (Outcome opened = openFile(path); !opened.ok()) {
        return opened;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        return failed(QStringLiteral("cannot examine %1").arg(name_), errno);
    }
    regular_ = S_ISREG(info.st_mode);
    pipe_ = S_ISFIFO(info.st_mode);
#ifdef S_ISSOCK
    pipe_ = pipe_ || S_ISSOCK(info.st_mode);
#endif
    if (!file_.open(fd_, QIODevice::WriteOnly | QIODevice::Unbuffered,
                    QFileDevice::DontCloseHandle)) {
        return Outcome::failed(QStringLiteral("cannot use %1: %2").arg(name_, file_.errorString()));
    }
    // A regular file given as standard output is written at the shell's position: it counts as
    // new output like a pipe.
    if (!regular_ || !ownFd_) {
        return {};
    }
    if (Outcome locked = lockOutput(fd_, name_); !locked.ok()) {
        return locked;
    }
    empty_ = info.st_size == 0;
    return empty_ || !unreadable_.isEmpty() ? Outcome() : inspectTail();
}

Outcome RecordOutput::openFile(const std::string& path) {
    name_ = QString::fromLocal8Bit(path);
    // Made here, or there already: a new file's folder entry is synced, an existing file is
    // opened for reading too when it is a regular one, to look at its last line.
    bool created = false;
    for (int attempt = 0; attempt < 2 && fd_ < 0; ++attempt) {
        fd_ = openOutputFile(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_EXCL);
        created = fd_ >= 0;
        if (created || errno != EEXIST) {
            break;
        }
        struct stat info {};
        const bool regular = ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
        fd_ = openOutputFile(path.c_str(), (regular ? O_RDWR : O_WRONLY) | O_APPEND);
        if (fd_ < 0 && regular && errno == EACCES) {
            const int readError = errno;
            fd_ = openOutputFile(path.c_str(), O_WRONLY | O_APPEND);
            unreadable_ = fd_ >= 0 ? reasonOf(readError) : QString();
        }
        // Removed in between: made anew.
        if (fd_ >= 0 || errno != ENOENT) {
            break;
        }
    }
    if (fd_ < 0) {
        return failed(QStringLiteral("cannot open %1").arg(name_), errno);
    }
    ownFd_ = true;
    if (created && !platform::syncFolder(name_)) {
        return failed(QStringLiteral("cannot write the folder of %1").arg(name_), errno);
    }
    return {};
}

bool RecordOutput::isAt(const std::string& path) const {
    struct stat named {};
    struct stat open {};
    return ::stat(path.c_str(), &named) == 0 && ::fstat(fd_, &open) == 0 &&
           named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

Outcome RecordOutput::inspectTail() {
    const off_t size = ::lseek(fd_, 0, SEEK_END);
    if (size < 0) {
        return failed(QStringLiteral("cannot examine %1").arg(name_), errno);
    }
    // The end of the file, as far back as a record could reach.
    const off_t start = std::max<off_t>(size - LongestLine, 0);
    std::string tail(static_cast<std::size_t>(size - start), '\0');
    if (readAt(fd_, tail.data(), tail.size(), start) != static_cast<long long>(tail.size())) {
        return failed(QStringLiteral("cannot read %1").arg(name_), errno != 0 ? errno : EIO);
    }
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
    // The last whole line, without its line end, unless its start is out of reach.
    tail.pop_back();
    const std::size_t lineEnd = tail.rfind('\n');
    if (lineEnd != std::string::npos || start == 0) {
        lastLine_ = tail.substr(lineEnd == std::string::npos ? 0 : lineEnd + 1);
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
        readerGone_ = error == EPIPE;
        return failed(QStringLiteral("cannot write %1").arg(name_), error);
    }
    // Pipes and terminals have nothing to force to disk.
    if (regular_ && !platform::syncData(file_)) {
        return failed(QStringLiteral("cannot write %1").arg(name_), errno);
    }
    return {};
}

} // namespace zt40::cli
