#include "ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef ZT40_DATA_FROM_BINDIR
#define ZT40_DATA_FROM_BINDIR "../share/zt40"
#endif

namespace zt40::platform {
namespace {

// Every program directory and every installation holds this flag icon: the English one,
// which the program needs on a first start.
constexpr const char* MarkerFile = "CTRUK.ICO";
// What the Windows installer leaves in the folder it installed, beside the program.
constexpr const char* InstallationFile = "Uninstall.exe";

QString& dataDirectoryOverride() {
    static QString directory;
    return directory;
}

QString withSlash(const QString& directory) {
    return directory.endsWith(QLatin1Char('/')) ? directory : directory + QLatin1Char('/');
}

bool holdsMarker(const QString& directory) {
    return !directory.isEmpty() && QFileInfo::exists(QDir(directory).filePath(MarkerFile));
}

} // namespace

QString installedDataDirectory() {
    if (!dataDirectoryOverride().isEmpty())
        return dataDirectoryOverride();
    // Relative to the program, so that an installation can be moved as a whole.
    return QDir::cleanPath(QDir(QCoreApplication::applicationDirPath())
                               .filePath(QStringLiteral(ZT40_DATA_FROM_BINDIR)));
}

void setInstalledDataDirectory(const QString& directory) {
    dataDirectoryOverride() = directory;
}

ProgramPaths programPaths(const QString& workingDirectory, const QString& installedData) {
    ProgramPaths paths;
    paths.programDirectory = withSlash(workingDirectory);
    const bool workingInInstallation =
        QFileInfo::exists(QDir(workingDirectory).filePath(InstallationFile));
    paths.installed = (!holdsMarker(workingDirectory) || workingInInstallation) &&
                      holdsMarker(installedData);
    if (!paths.installed) {
        paths.settingsFile = paths.programDirectory + QStringLiteral("zt40.ini");
        paths.dataDirectory = paths.programDirectory;
        paths.userDataDirectory = paths.programDirectory;
        paths.saveDirectory = paths.programDirectory;
        return paths;
    }
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    paths.settingsFile = config + QStringLiteral("/zt40/zt40.ini");
    paths.dataDirectory = withSlash(QDir::cleanPath(installedData));
    paths.userDataDirectory = data + QStringLiteral("/zt40/");
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    paths.saveDirectory = QFileInfo(documents).isDir() ? documents : QDir::homePath();
    return paths;
}

ProgramPaths programPaths() {
    return programPaths(QDir::currentPath(), installedDataDirectory());
}

} // namespace zt40::platform
