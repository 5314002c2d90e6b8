#include "ProgramPaths.h"

#include <QDir>

namespace zt40 {

ProgramPaths programPaths() {
    ProgramPaths paths;
    paths.programDirectory = QDir::currentPath() + QLatin1Char('/');
    paths.settingsFile = paths.programDirectory + QStringLiteral("zt40.ini");
    paths.dataDirectory = paths.programDirectory;
    paths.userDataDirectory = paths.programDirectory;
    paths.saveDirectory = paths.programDirectory;
    return paths;
}

} // namespace zt40
