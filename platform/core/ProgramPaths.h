#pragma once

#include <QString>

namespace zt40::platform {

// Where the program's files live.
//
// Program-directory mode: the program runs from a folder of its own (the build tree's bin
// folder or a copied folder). Settings file, flag icons, help files and the save dialog's
// first folder are all taken from the working directory at start-up.
//
// Installed mode: an installation's data directory (share/zt40 beside the program's bin
// folder; on Windows the program's own folder) holds the flag icons, and the working directory
// holds none or is itself an installation (on Windows: the folder holds the installer's
// Uninstall.exe, as when the program is started from its Start-menu shortcut). Read-only data come from that
// data directory; the settings file lives in the user's configuration folder
// (~/.config/zt40/zt40.ini; on Windows %LOCALAPPDATA%\zt40\zt40.ini), what the program keeps
// for the user in the user's data folder (~/.local/share/zt40/; on Windows %LOCALAPPDATA%\zt40\),
// and the save dialog starts in the user's documents folder. Nothing
// is written outside the user's own folders. Folders are created by whoever first writes
// into them.
struct ProgramPaths {
    bool installed = false;
    QString programDirectory;  // the working directory at start-up, ending in '/'
    QString settingsFile;      // zt40.ini
    QString dataDirectory;     // flag icons and help files, ending in '/'
    QString userDataDirectory; // what the program keeps for the user (journal), ending in '/'
    QString saveDirectory;     // the save dialog's first folder
};

// Decided once from the working directory and the installation at start-up.
ProgramPaths programPaths();

// The same decision for a given working directory and installed data directory.
ProgramPaths programPaths(const QString& workingDirectory, const QString& installedData);

// The data directory of an installation: share/zt40 relative to the folder of the running
// program, or the folder set below.
QString installedDataDirectory();

// Makes installedDataDirectory() answer `directory` (empty: back to the default). For tests
// that start the program as if it were installed.
void setInstalledDataDirectory(const QString& directory);

} // namespace zt40::platform
