// The desktop's choice of program for a kind of file, from its MIME associations
// (mimeapps.list and the desktop entries' mimeinfo.cache in the XDG folders), as xdg-mime
// and the desktops' file managers read them.
#pragma once

#include "Spreadsheet.h"

#include <QString>
#include <optional>

namespace zt40::platform {

// The desktop entry file of the default program for `mimeType`: the first installed entry
// named under [Default Applications], else under [Added Associations], else in a
// mimeinfo.cache; empty when there is none.
QString defaultApplicationFor(const QString& mimeType);

// The command line of a desktop entry, its field codes left out; nullopt when the entry is
// hidden, cannot be read, or its program is not installed.
std::optional<SpreadsheetCommand> commandOfDesktopEntry(const QString& path);

} // namespace zt40::platform
