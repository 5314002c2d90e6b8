#include "AtomicFile.h"

#include <QSaveFile>

namespace zt40::platform {

FileWriteResult writeFileAtomically(const QString& path, std::string_view bytes) {
    // QSaveFile writes to a temporary file in the target's folder, syncs it on commit and
    // renames it over the target; without commit the temporary file is removed.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return {FileWriteResult::Failure::Create, file.errorString()};
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(bytes.data(), size) != size) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return {FileWriteResult::Failure::Write, reason};
    }
    if (!file.commit()) {
        return {FileWriteResult::Failure::Write, file.errorString()};
    }
    return {};
}

} // namespace zt40::platform
