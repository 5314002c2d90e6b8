// Writing a whole file by atomic replace: the bytes go to a temporary file beside the target,
// are flushed to disk, and the temporary file is then renamed over the target. A failed write
// leaves the target as it was and removes the temporary file.
#pragma once

#include <QString>
#include <string_view>

namespace zt40::platform {

struct FileWriteResult {
    enum class Failure {
        None,   // written
        Create, // the file could not be created (folder missing or read-only, name is a folder)
        Write,  // created, but writing, flushing or replacing the target failed
    };
    Failure failure = Failure::None;
    QString reason; // the system's reason text when something failed

    bool ok() const { return failure == Failure::None; }
};

// Writes the bytes unchanged (no line-end conversion, no byte-order mark).
FileWriteResult writeFileAtomically(const QString& path, std::string_view bytes);

} // namespace zt40::platform
