#include "OutputLock.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

namespace zt40::cli {

Outcome lockOutput(int fd, const QString& name) {
    // A record lock of the whole file, owned by this process: the system tells others its id.
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    while (::fcntl(fd, F_SETLK, &lock) != 0) {
        if (errno == EINTR) {
            continue;
        }
        if (errno != EACCES && errno != EAGAIN) {
            return Outcome::failed(QStringLiteral("cannot lock %1: %2")
                                       .arg(name, QString::fromLocal8Bit(std::strerror(errno))));
        }
        struct flock holder {};
        holder.l_type = F_WRLCK;
        holder.l_whence = SEEK_SET;
        if (::fcntl(fd, F_GETLK, &holder) == 0 && holder.l_type != F_UNLCK && holder.l_pid > 0) {
            return Outcome::failed(
                QStringLiteral("cannot append to %1: process %2 is writing to it (it holds the "
                               "file's lock)")
                    .arg(name)
                    .arg(holder.l_pid));
        }
        return Outcome::failed(
            QStringLiteral("cannot append to %1: another program is writing to it (it holds "
                           "the file's lock)")
                .arg(name));
    }
    return {};
}

} // namespace zt40::cli
