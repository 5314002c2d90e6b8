// Handing files and links to the desktop: help files, the maker's web site and mail link,
// the spreadsheet program. Paths and links are Windows-1252 bytes.
#pragma once

#include <string>

namespace zt40::platform {

// Opens a document (a help file) with the program the desktop associates with it.
bool openDocument(const std::string& path);

// Whether the desktop has a program for this kind of file (by its name), so that
// openDocument can show it.
bool desktopOpens(const std::string& path);

// Opens a web address or a mailto: link.
bool openUrl(const std::string& url);

// Starts the spreadsheet program (on Linux desktops the desktop's default one, else
// LibreOffice Calc or Gnumeric); false when none could be started.
bool startSpreadsheet();

} // namespace zt40::platform
