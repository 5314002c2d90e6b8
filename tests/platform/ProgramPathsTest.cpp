// Which mode the program starts in, and where its files are then.
#include "ProgramPaths.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace zt40::test {

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
    // A Windows installation: the program and its data in one folder, with the uninstaller.
    QTemporaryDir windowsInstallation;
    touch(windowsInstallation.filePath("CTRUK.ICO"));
    touch(windowsInstallation.filePath("Uninstall.exe"));
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
        {"in the installation's own folder", windowsInstallation.path(),
         windowsInstallation.path(), true},
        {"a copy of the program's folder", withFlags.path(), withFlags.path(), false},
    };
    for (const Case& c : cases) {
        const platform::ProgramPaths paths = platform::programPaths(c.working, c.installed);
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

// Sets environment variables for one scope and puts them back afterwards.
class EnvironmentOverride {
public:
    void set(const char* name, const QString& value) {
        saved_.emplace_back(name, qgetenv(name));
        qputenv(name, value.toLocal8Bit());
    }
    ~EnvironmentOverride() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second.isNull())
                qunsetenv(it->first);
            else
                qputenv(it->first, it->second);
        }
    }

private:
    std::vector<std::pair<const char*, QByteArray>> saved_;
};

TEST(ProgramPaths, AnInstalledProgramSavesIntoDocumentsOrElseTheHomeFolder) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows takes the user's folders from its shell folders, not from the HOME and XDG variables the test sets";
#endif
    QTemporaryDir working;
    QTemporaryDir installation;
    touch(installation.filePath("CTRUK.ICO"));
    const struct {
        const char* what;
        const char* documents; // "": none, "/": a folder, anything else: a file
        const char* expected;  // relative to the home folder
    } cases[] = {
        {"no documents folder", "", ""},
        {"a documents folder", "/", "/Documents"},
        {"a file where the documents folder would be", "x", ""},
    };
    for (const auto& c : cases) {
        QTemporaryDir home;
        EnvironmentOverride environment;
        environment.set("HOME", home.path());
        environment.set("XDG_CONFIG_HOME", home.filePath("config")); // no user-dirs.dirs
        if (QByteArray(c.documents) == "/") {
            ASSERT_TRUE(QDir(home.path()).mkdir("Documents"));
        } else if (*c.documents != 0) {
            touch(home.filePath("Documents"));
        }
        const platform::ProgramPaths paths =
            platform::programPaths(working.path(), installation.path());
        ASSERT_TRUE(paths.installed) << c.what;
        EXPECT_EQ(paths.saveDirectory, home.path() + c.expected) << c.what;
    }
}

} // namespace
} // namespace zt40

} // namespace zt40::test

