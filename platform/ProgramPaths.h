#pragma once

#include <QString>

namespace zt40 {

// Where the program's files live. Started from its program directory (the folder that holds
// the program's flag icons, as the build tree's bin folder or a copied folder does), every
// file is taken from that directory. Installed, read-only data comes from the data directory
// and what the program writes goes into the user's own folders.
struct ProgramPaths {
    bool installed = false;
    QString programDirectory;  // the working directory at start-up, ending in '/'
    QString settingsFile;      // zt40.ini
    QString dataDirectory;     // flag icons and help files, ending in '/'
    QString userDataDirectory; // what the program keeps for the user (journal), ending in '/'
    QString saveDirectory;     // the save dialog's first folder
};

// Decided once from the working directory and the environment at start-up.
ProgramPaths programPaths();

} // namespace zt40
