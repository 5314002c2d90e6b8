// Which mode the program starts in, and where its files are then.
#include "ProgramPaths.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zt40 {
namespace {

void touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

TEST(ProgramPaths, ThePlacesOfTheFlagIconsDecideTheMode) {
    QTemporaryDir withFlags;
    QTemporaryDir withoutFlags;
    QTemporaryDir installation;
    touch(withFlags.filePath("CTRUK.ICO"));
    touch(installation.filePath("CTRUK.ICO"));
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);

    struct Case {
        const char* what;
        QString working;
        QString installed;
        bool installedMode;
    } cases[] = {
        {"program directory, installed too", withFlags.path(), installation.path(), false},
        {"program directory, not installed", withFlags.path(), withoutFlags.path(), false},
        {"elsewhere, installed", withoutFlags.path(), installation.path(), true},
        {"elsewhere, not installed", withoutFlags.path(), QString(), false},
    };
    for (const Case& c : cases) {
        const ProgramPaths paths = programPaths(c.working, c.installed);
        EXPECT_EQ(paths.installed, c.installedMode) << c.what;
        EXPECT_EQ(paths.programDirectory, c.working + '/') << c.what;
        if (c.installedMode) {
            EXPECT_EQ(paths.settingsFile, config + "/zt40/zt40.ini") << c.what;
            EXPECT_EQ(paths.dataDirectory, c.installed + '/') << c.what;
        } else {
            // Everything from the working directory, whatever is installed.
            EXPECT_EQ(paths.settingsFile, c.working + "/zt40.ini") << c.what;
            EXPECT_EQ(paths.dataDirectory, c.working + '/') << c.what;
            EXPECT_EQ(paths.userDataDirectory, c.working + '/') << c.what;
            EXPECT_EQ(paths.saveDirectory, c.working + '/') << c.what;
        }
    }
}

} // namespace
} // namespace zt40
