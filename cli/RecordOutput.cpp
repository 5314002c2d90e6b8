#include "RecordOutput.h"

#include "FileSync.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zt40::cli {

namespace {

constexpr std::size_t ChunkBytes = 4096;

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

bool RecordOutput::fail(const QString& what, int error) {
    error_ = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
    return false;
}

bool RecordOutput::open(const std::string& path) {
    if (path.empty()) {
        fd_ = STDOUT_FILENO;
        name_ = QStringLiteral("standard output");
    } else {
        name_ = QString::fromLocal8Bit(path);
        // Read access to look at the last line; appending, so that every write lands at the end.
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            return fail(QStringLiteral("cannot open %1").arg(name_), errno);
        }
        ownFd_ = true;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        return fail(QStringLiteral("cannot examine %1").arg(name_), errno);
    }
    regular_ = S_ISREG(info.st_mode);
    // A regular file given as standard output is written at the shell's position: it counts as
    // new output like a pipe.
    if (!file_.open(fd_, QIODevice::WriteOnly | QIODevice::Unbuffered,
                    QFileDevice::DontCloseHandle)) {
        error_ = QStringLiteral("cannot use %1: %2").arg(name_, file_.errorString());
        return false;
    }
    if (regular_ && ownFd_ && info.st_size > 0) {
        return inspectTail();
    }
    return true;
}

bool RecordOutput::inspectTail() {
    const off_t size = ::lseek(fd_, 0, SEEK_END);
    if (size < 0) {
        return fail(QStringLiteral("cannot examine %1").arg(name_), errno);
    }
    // Read backwards until the line end before the last line, or the start of the file.
    std::string tail; // the bytes from `start` to the end
    off_t start = size;
    std::size_t lineEnds = 0;
    while (start > 0) {
        const auto chunk = static_cast<off_t>(std::min<off_t>(start, ChunkBytes));
        std::string bytes(static_cast<std::size_t>(chunk), '\0');
        if (::pread(fd_, bytes.data(), bytes.size(), start - chunk) != chunk) {
            return fail(QStringLiteral("cannot read %1").arg(name_), errno != 0 ? errno : EIO);
        }
        start -= chunk;
        tail.insert(0, bytes);
        // The last byte's own line end does not count: one more shows where the last line
        // starts; behind an incomplete line, two more.
        lineEnds = static_cast<std::size_t>(std::count(tail.begin(), tail.end() - 1, '\n'));
        if (lineEnds >= 2 || (tail.back() == '\n' && lineEnds >= 1)) {
            break;
        }
    }

    if (tail.back() != '\n') {
        // An interrupted write or someone else's partial line: cut it off, so the next record
        // starts on a line of its own and the fragment is never read as a record.
        const std::size_t lineStart =
            tail.rfind('\n') == std::string::npos ? 0 : tail.rfind('\n') + 1;
        removedTail_ = tail.substr(lineStart);
        const off_t keep = start + static_cast<off_t>(lineStart);
        if (::ftruncate(fd_, keep) != 0) {
            return fail(QStringLiteral("cannot remove the incomplete last line of %1").arg(name_),
                        errno);
        }
        if (!platform::syncData(file_)) {
            return fail(QStringLiteral("cannot write %1").arg(name_), errno);
        }
        tail.resize(lineStart);
        empty_ = keep == 0;
    } else {
        empty_ = false;
    }
    if (empty_ || tail.empty()) {
        return true;
    }
    // The last whole line, without its line end.
    tail.pop_back();
    const std::size_t lineStart = tail.rfind('\n') == std::string::npos ? 0 : tail.rfind('\n') + 1;
    const std::string_view last(tail.data() + lineStart, tail.size() - lineStart);
    unsigned long long number = 0;
    std::size_t digits = 0;
    while (digits < last.size() && last[digits] >= '0' && last[digits] <= '9' && digits < 19) {
        number = number * 10 + static_cast<unsigned long long>(last[digits] - '0');
        ++digits;
    }
    if (digits > 0 && digits < last.size() && last[digits] == '\t') {
        lastRowNumber_ = number;
    }
    return true;
}

bool RecordOutput::write(const std::string& bytes) {
    // Our own file is appended to: what was there before the write is its size.
    struct stat info {};
    const off_t before = regular_ && ownFd_ && ::fstat(fd_, &info) == 0 ? info.st_size : -1;
    int error = 0;
    if (const std::size_t done = writeAll(fd_, bytes, error); done < bytes.size()) {
        // A part of a record would be read as a record: it goes again.
        if (done > 0 && before >= 0) {
            (void)::ftruncate(fd_, before);
        }
        return fail(QStringLiteral("cannot write %1").arg(name_), error);
    }
    // Pipes and terminals have nothing to force to disk.
    if (regular_ && !platform::syncData(file_)) {
        return fail(QStringLiteral("cannot write %1").arg(name_), errno);
    }
    return true;
}

} // namespace zt40::cli
