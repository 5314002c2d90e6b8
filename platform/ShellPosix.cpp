// The desktop's handlers through Qt: xdg-open behind QDesktopServices on Linux desktops.
#include "Cp1252.h"
#include "Shell.h"
#include "Spreadsheet.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <array>

namespace zt40::platform {

std::optional<SpreadsheetCommand> findSpreadsheet(const QStringList& folders) {
    struct Candidate {
        const char* name;
        const char* argument;
    };
    static constexpr std::array<Candidate, 6> candidates = {
        {{"libreoffice", "--calc"},
         {"localc", nullptr},
         {"soffice", "--calc"},
         {"gnumeric", nullptr},
         {"calligrasheets", nullptr},
         {"onlyoffice-desktopeditors", nullptr}}};
    for (const Candidate& c : candidates) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(c.name), folders);
        if (path.isEmpty())
            continue;
        SpreadsheetCommand command{path, {}};
        if (c.argument != nullptr)
            command.arguments << QString::fromLatin1(c.argument);
        return command;
    }
    return std::nullopt;
}

bool openDocument(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(fromCp1252(path)));
}

bool openUrl(const std::string& url) {
    return QDesktopServices::openUrl(QUrl(fromCp1252(url), QUrl::TolerantMode));
}

bool startSpreadsheet() {
    const std::optional<SpreadsheetCommand> command = findSpreadsheet();
    if (!command)
        return false;
    return QProcess::startDetached(command->program, command->arguments);
}

} // namespace zt40::platform
