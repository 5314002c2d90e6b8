#include "AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace zt40::platform {

namespace {

Outcome failed(const char* message, const QString& path, const QString& reason) {
    return Outcome::failed(QString::fromLatin1(message).arg(
        QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), reason));
}

} // namespace

Outcome writeFileAtomically(const QString& path, std::string_view bytes) {
    constexpr const char* CannotCreate = "Datei \"%1\" kann nicht erstellt werden. %2";
    constexpr const char* CannotWrite = "Datei \"%1\" kann nicht geschrieben werden. %2";
    // QSaveFile writes to a temporary file in the target's folder, syncs it on commit and
    // renames it over the target; without commit the temporary file is removed.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return failed(CannotCreate, path, file.errorString());
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(bytes.data(), size) != size) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failed(CannotWrite, path, reason);
    }
    if (!file.commit()) {
        return failed(CannotWrite, path, file.errorString());
    }
    return {};
}

} // namespace zt40::platform
