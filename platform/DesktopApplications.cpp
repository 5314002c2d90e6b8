#include "DesktopApplications.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>

namespace zt40::platform {
namespace {

// The values of `key` in group `group` of a desktop-entry style file; empty when absent.
QString readKey(const QString& path, const QString& group, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QTextStream in(&file);
    bool inGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1Char('[') + group + QLatin1Char(']');
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inGroup && equals > 0 && line.left(equals).trimmed() == key)
            return line.mid(equals + 1).trimmed();
    }
    return {};
}

// Desktop-specific lists first (gnome-mimeapps.list for XDG_CURRENT_DESKTOP=GNOME), then the
// common one, folder by folder in order of precedence.
QStringList mimeappsLists() {
    QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    folders += QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP")
                                     .toLower()
                                     .split(QLatin1Char(':'), Qt::SkipEmptyParts);
    QStringList lists;
    for (const QString& folder : folders) {
        for (const QString& desktop : desktops)
            lists << folder + QLatin1Char('/') + desktop + QStringLiteral("-mimeapps.list");
        lists << folder + QStringLiteral("/mimeapps.list");
    }
    return lists;
}

QString installedEntry(const QString& id) {
    const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
    if (path.isEmpty() || !commandOfDesktopEntry(path))
        return {};
    return path;
}

// The first installed entry of a ';'-separated list of desktop ids.
QString firstInstalled(const QString& ids) {
    for (const QString& id : ids.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (const QString path = installedEntry(id.trimmed()); !path.isEmpty())
            return path;
    }
    return {};
}

} // namespace

QString defaultApplicationFor(const QString& mimeType) {
    if (mimeType.isEmpty())
        return {};
    const QStringList lists = mimeappsLists();
    for (const char* group : {"Default Applications", "Added Associations"}) {
        for (const QString& list : lists) {
            const QString path = firstInstalled(readKey(list, QLatin1String(group), mimeType));
            if (!path.isEmpty())
                return path;
        }
    }
    for (const QString& folder :
         QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        const QString path = firstInstalled(readKey(folder + QStringLiteral("/mimeinfo.cache"),
                                                    QStringLiteral("MIME Cache"), mimeType));
        if (!path.isEmpty())
            return path;
    }
    return {};
}

std::optional<SpreadsheetCommand> commandOfDesktopEntry(const QString& path) {
    const QString group = QStringLiteral("Desktop Entry");
    if (readKey(path, group, QStringLiteral("Hidden")) == QLatin1String("true"))
        return std::nullopt;
    const QString tryExec = readKey(path, group, QStringLiteral("TryExec"));
    if (!tryExec.isEmpty() && QStandardPaths::findExecutable(tryExec).isEmpty())
        return std::nullopt;
    QStringList words = QProcess::splitCommand(readKey(path, group, QStringLiteral("Exec")));
    QStringList arguments;
    for (QString word : words) {
        // Field codes stand for files and URLs to open; the program is started with none.
        if (word.size() == 2 && word.startsWith(QLatin1Char('%')) && word != QLatin1String("%%"))
            continue;
        arguments << word.replace(QLatin1String("%%"), QLatin1String("%"));
    }
    if (arguments.isEmpty())
        return std::nullopt;
    const QString program = QStandardPaths::findExecutable(arguments.takeFirst());
    if (program.isEmpty())
        return std::nullopt;
    return SpreadsheetCommand{program, arguments};
}

} // namespace zt40::platform
