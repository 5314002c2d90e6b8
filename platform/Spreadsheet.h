// Finding a spreadsheet program on systems without Excel.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace zt40::platform {

struct SpreadsheetCommand {
    QString program; // full path
    QStringList arguments;
};

// The first spreadsheet program found in the given folders (the PATH when empty), in the
// order LibreOffice Calc, its stand-alone starters, Gnumeric; nullopt when none is there.
std::optional<SpreadsheetCommand> findSpreadsheet(const QStringList& folders = {});

// The desktop's default program for spreadsheets (OpenDocument, then Excel files), from its
// MIME associations; nullopt when it names none that is installed.
std::optional<SpreadsheetCommand> defaultSpreadsheet();

} // namespace zt40::platform
