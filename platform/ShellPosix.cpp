// The desktop's handlers through Qt: xdg-open behind QDesktopServices on Linux desktops.
#include "Cp1252.h"
#include "DesktopApplications.h"
#include "Shell.h"
#include "Spreadsheet.h"

#include <QDesktopServices>
#include <QMimeDatabase>
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
    return QDesktopServices::openUrl(QUrl::fromLocalFile(platform::fromCp1252(path)));
}

bool desktopOpens(const std::string& path) {
    const QMimeType type =
        QMimeDatabase().mimeTypeForFile(platform::fromCp1252(path), QMimeDatabase::MatchExtension);
    return !defaultApplicationFor(type.name()).isEmpty();
}

std::optional<SpreadsheetCommand> defaultSpreadsheet() {
    for (const char* type : {"application/vnd.oasis.opendocument.spreadsheet",
                             "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet",
                             "application/vnd.ms-excel"}) {
        const QString entry = defaultApplicationFor(QString::fromLatin1(type));
        if (!entry.isEmpty())
            return commandOfDesktopEntry(entry);
    }
    return std::nullopt;
}

bool openUrl(const std::string& url) {
    return QDesktopServices::openUrl(QUrl(platform::fromCp1252(url), QUrl::TolerantMode));
}

bool startSpreadsheet() {
    std::optional<SpreadsheetCommand> command = defaultSpreadsheet();
    if (!command)
        command = findSpreadsheet();
    if (!command)
        return false;
    return QProcess::startDetached(command->program, command->arguments);
}

} // namespace zt40::platform
