#include "FileSync.h"

#include <QFile>
#include <QFileDevice>
#include <QFileInfo>

#include <utility>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zt40::platform {
namespace {

SyncObserver& observer() {
    static SyncObserver hook;
    return hook;
}

bool observed(const QString& path, bool ok) {
    if (observer()) {
        observer()(path, ok);
    }
    return ok;
}

} // namespace

void setSyncObserver(SyncObserver hook) {
    observer() = std::move(hook);
}

bool syncData(QFileDevice& file) {
#ifdef _WIN32
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    const bool ok = handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) != 0;
#else
    const bool ok = ::fdatasync(file.handle()) == 0;
#endif
    return observed(file.fileName(), ok);
}

bool syncFolder(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
#ifdef _WIN32
    // NTFS journals a folder's entries itself; Windows has no call to flush them.
    return observed(folder, true);
#else
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        return observed(folder, false);
    }
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return observed(folder, ok);
#endif
}

} // namespace zt40::platform
