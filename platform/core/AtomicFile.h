// Writing a whole file by atomic replace: the bytes go to a temporary file beside the target,
// are flushed to disk, and the temporary file is then renamed over the target. A failed write
// leaves the target as it was and removes the temporary file.
#pragma once

#include "Outcome.h"

#include <QString>
#include <string_view>

namespace zt40::platform {

// Writes the bytes unchanged (no line-end conversion, no byte-order mark). A failure names the
// whole path and the system's reason, in the program's one wording for every language:
// "Datei "<path>" kann nicht erstellt werden. <reason>" when the file could not be created
// (folder missing or read-only, the name is a folder), "... kann nicht geschrieben werden. ..."
// when writing, flushing or replacing the target failed. The settings file and the .dat
// export alike.
Outcome writeFileAtomically(const QString& path, std::string_view bytes);

} // namespace zt40::platform
