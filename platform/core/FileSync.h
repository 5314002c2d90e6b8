// Forcing written bytes to disk, so that what a program has written survives a crash or a
// power cut: the data of an open file, and the entries of a folder (a file made, renamed or
// removed in it).
#pragma once

#include <QString>

#include <functional>

class QFileDevice;

namespace zt40::platform {

// Forces the file's written data to disk (fdatasync, _commit on Windows). False with errno
// set when the system refuses.
bool syncData(QFileDevice& file);
// Forces the entries of the folder that holds `path` to disk. Windows keeps folder entries in
// its own metadata journal: there it does nothing and succeeds.
bool syncFolder(const QString& path);

// Tests watch every sync through this hook: it is called with the file's name or the folder's
// path after the sync, with its result. An empty function removes the hook.
using SyncObserver = std::function<void(const QString& path, bool ok)>;
void setSyncObserver(SyncObserver observer);

} // namespace zt40::platform
