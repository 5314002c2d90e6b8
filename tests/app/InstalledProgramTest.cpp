// The installed program started by a user from a folder of their own: flags and help from the
// installation, the language from the user's own settings file, nothing written elsewhere.
#include "AppTestSupport.h"

#include "Languages.h"
#include "ProgramPaths.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace zt40::test {

namespace {

// Starts the program; an error box coming up on the way is a failure, and is closed.
std::unique_ptr<Program> startWithoutErrorBox() {
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            ADD_FAILURE() << "error box: "
                          << box->findChild<QLabel*>("qt_msgbox_label")->text().toStdString();
            box->close();
        }
    });
    guard.start(1000);
    return startProgram();
}

// Every file below a folder, relative to it.
QStringList filesBelow(const QString& root) {
    QStringList files;
    QDir dir(root);
    for (const QString& entry : dir.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (QFileInfo(dir.filePath(entry)).isDir()) {
            for (const QString& inner : filesBelow(dir.filePath(entry)))
                files << entry + '/' + inner;
        } else {
            files << entry;
        }
    }
    return files;
}

// An installation (share/zt40 with green flags and both help files) and one user's home.
class InstalledProgram : public ::testing::Test {
protected:
    void SetUp() override {
        useSimulator(false);
        QDir(installation.path()).mkpath("share/zt40");
        for (const char* flag : {"CTRUK.ICO", "CTRGERM.ICO", "CTRFRAN.ICO"}) {
            QImage image(32, 32, QImage::Format_ARGB32);
            image.fill(Qt::green);
            ASSERT_TRUE(image.save(data(flag), "ICO"));
        }
        writeFile(data("hilfe.chm"), "de");
        writeFile(data("hilfe_e.chm"), "en");
        platform::setInstalledDataDirectory(data(""));
        QDir::setCurrent(start.path()); // a folder of the user's, not a program directory
    }
    void TearDown() override {
        platform::setInstalledDataDirectory({});
        QDir::setCurrent(previous);
    }
    QString data(const char* name) const {
        return installation.filePath(QStringLiteral("share/zt40/") + name);
    }
    // Makes `home` the user's home for the rest of the test.
    void logIn(ScopedEnvironment& env, const QTemporaryDir& home) {
        env.set("HOME", home.path());
        env.set("XDG_CONFIG_HOME", home.filePath(".config"));
        env.set("XDG_DATA_HOME", home.filePath(".local/share"));
        QDir(home.path()).mkpath("Documents");
    }

    QString previous = QDir::currentPath();
    QTemporaryDir installation;
    QTemporaryDir start;
};

TEST_F(InstalledProgram, EachUserKeepsTheirOwnLanguageAndTheDataComeFromTheInstallation) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows takes the user's folders from its shell folders, not from the HOME and XDG variables the test sets";
#endif
    QTemporaryDir first;
    QTemporaryDir second;
    {
        ScopedEnvironment env;
        logIn(env, first);
        QDir(first.path()).mkpath(".config/zt40");
        writeFile(first.filePath(".config/zt40/zt40.ini"), "[Config]\r\nLanguage=1\r\n");

        const platform::ProgramPaths paths = platform::programPaths();
        EXPECT_TRUE(paths.installed);
        EXPECT_EQ(paths.dataDirectory, data(""));
        EXPECT_EQ(paths.saveDirectory, first.filePath("Documents"));
        EXPECT_EQ(paths.userDataDirectory, first.filePath(".local/share/zt40/"));

        auto program = startWithoutErrorBox();
        TMainForm& form = *program->MainForm;
        EXPECT_EQ(form.messen->text(), "Messen");
        EXPECT_EQ(form.langFlag->pixmap().toImage().pixelColor(16, 16), QColor(Qt::green));
        EXPECT_EQ(form.windowTitle(), "DORVANEX II ZT 40  (USB)");
        EXPECT_TRUE(QFile::exists(paths.dataDirectory +
                                  QString::fromStdString(helpFileName(ActiveLanguage))));
    }
    {
        ScopedEnvironment env;
        logIn(env, second);
        auto program = startWithoutErrorBox();
        TMainForm& form = *program->MainForm;
        EXPECT_EQ(form.messen->text(), "Measure"); // the first user's choice is not theirs
        onModal([](QWidget* dialog) {
            dialog->findChild<QRadioButton*>("RadioItem2")->click();
            clickButton(dialog, "OK");
        });
        form.langButtonClick();
        EXPECT_EQ(form.messen->text(), "Mesurer");
    }
    EXPECT_EQ(readFile(second.filePath(".config/zt40/zt40.ini")), "[Config]\r\nLanguage=2\r\n");
    EXPECT_EQ(readFile(first.filePath(".config/zt40/zt40.ini")), "[Config]\r\nLanguage=1\r\n");
    // Nothing written into the folder it was started from, nor into the installation.
    EXPECT_EQ(filesBelow(start.path()), QStringList());
    EXPECT_EQ(
        filesBelow(installation.path()),
        QStringList({"share/zt40/CTRFRAN.ICO", "share/zt40/CTRGERM.ICO", "share/zt40/CTRUK.ICO",
                     "share/zt40/hilfe.chm", "share/zt40/hilfe_e.chm"}));
}

} // namespace

} // namespace zt40::test

