#include "OutputLock.h"

#include <io.h>
#include <windows.h>

namespace zt40::cli {

namespace {

// Windows' locks are mandatory: a lock over the records would keep every other program from
// reading them while the run goes on. One byte far past any data the file will hold serves as
// the sign that it is being written to instead.
constexpr DWORD LockOffsetHigh = 0x7fffffff;

} // namespace

Outcome lockOutput(int fd, const QString& name) {
    const auto file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    OVERLAPPED where{};
    where.OffsetHigh = LockOffsetHigh;
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &where)) {
        return {};
    }
    const DWORD error = GetLastError();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_SHARING_VIOLATION) {
        return Outcome::failed(
            QStringLiteral("cannot lock %1: system error %2").arg(name).arg(error));
    }
    // Windows does not tell who holds a lock.
    return Outcome::failed(QStringLiteral("cannot append to %1: another program is writing to it "
                                          "(it holds the file's lock)")
                               .arg(name));
}

} // namespace zt40::cli
