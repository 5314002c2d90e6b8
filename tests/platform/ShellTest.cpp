// Links, documents and the spreadsheet program handed to the desktop.
#include "Shell.h"
#include "DesktopApplications.h"
#include "Spreadsheet.h"
#include "UrlRecorder.h"

#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <cstdlib>

#include <gtest/gtest.h>

namespace zt40::test {
using namespace platform;
namespace {

// Links and documents reach the desktop through its scheme handlers, recorded here.
class Shell : public ::testing::Test {
protected:
    test::UrlRecorder recorder{{"https", "mailto", "file"}};
};

TEST_F(Shell, WebAndMailLinksReachTheDesktopUnchanged) {
    EXPECT_TRUE(openUrl("https://www.tarvelon.example/"));
    EXPECT_TRUE(openUrl("mailto:support@tarvelon.example"));
    ASSERT_EQ(recorder.urls.size(), 2);
    EXPECT_EQ(recorder.urls[0].toString(), "https://www.tarvelon.example/");
    EXPECT_EQ(recorder.urls[1].toString(), "mailto:support@tarvelon.example");
}

TEST_F(Shell, DocumentsOpenByPathIncludingWindows1252Names) {
    EXPECT_TRUE(openDocument("/opt/zt40/hilfe_e.chm"));
    EXPECT_TRUE(openDocument("/tmp/M\xFC"
                             "ller/hilfe.chm")); // "ü" as one Windows-1252 byte
    ASSERT_EQ(recorder.urls.size(), 2);
    EXPECT_EQ(recorder.urls[0].toLocalFile(), "/opt/zt40/hilfe_e.chm");
    EXPECT_EQ(recorder.urls[1].toLocalFile(), QString::fromUtf8("/tmp/M\xC3\xBCller/hilfe.chm"));
}

// A folder of stand-in programs: each writes its arguments into a file named after it.
class FakePrograms {
public:
    QString path() const { return dir_.path(); }
    QString marker(const QString& program) const { return dir_.filePath(program + ".ran"); }
    void add(const QString& program) {
        QFile file(dir_.filePath(program));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("#!/bin/sh\necho \"$@\" > '%1'\n").arg(marker(program)).toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

private:
    QTemporaryDir dir_;
};

TEST(Spreadsheet, PrefersLibreOfficeThenItsStartersThenGnumeric) {
    FakePrograms bin;
    EXPECT_FALSE(findSpreadsheet({bin.path()}).has_value());

    bin.add("gnumeric");
    auto found = findSpreadsheet({bin.path()});
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->program, bin.path() + "/gnumeric");
    EXPECT_TRUE(found->arguments.isEmpty());

    bin.add("localc");
    found = findSpreadsheet({bin.path()});
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->program, bin.path() + "/localc");

    bin.add("libreoffice");
    found = findSpreadsheet({bin.path()});
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->program, bin.path() + "/libreoffice");
    EXPECT_EQ(found->arguments, QStringList{"--calc"});
}

TEST(Spreadsheet, AFileThatIsNotExecutableIsNoProgram) {
    FakePrograms bin;
    QFile file(bin.path() + "/libreoffice");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_FALSE(findSpreadsheet({bin.path()}).has_value());
}

// Runs with PATH set to the given folder and puts it back afterwards.
class PathOverride {
public:
    explicit PathOverride(const QString& folder) {
        if (const char* p = std::getenv("PATH"))
            saved_ = p;
        setenv("PATH", folder.toLocal8Bit().constData(), 1);
    }
    ~PathOverride() { setenv("PATH", saved_.c_str(), 1); }

private:
    std::string saved_;
};

// The XDG folders of a desktop of the test's own: user configuration, user data, system data.
class XdgFolders {
public:
    XdgFolders() {
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME",
                                 "XDG_DATA_DIRS", "XDG_CURRENT_DESKTOP"}) {
            saved_.emplace_back(name, qgetenv(name));
            QDir(root_.path()).mkpath(QString(name) + "/applications");
            qputenv(name, root_.filePath(name).toLocal8Bit());
        }
        qunsetenv("XDG_CURRENT_DESKTOP");
        // The system's MIME database stays, to tell the kind of a file by its name.
        QFile::link("/usr/share/mime", root_.filePath("XDG_DATA_DIRS/mime"));
    }
    ~XdgFolders() {
        for (const auto& [name, value] : saved_) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }
    void write(const QString& file, const QString& text) {
        QFile out(root_.filePath(file));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly)) << file.toStdString();
        out.write(text.toUtf8());
    }
    QString path(const QString& file) const { return root_.filePath(file); }

private:
    QTemporaryDir root_;
    std::vector<std::pair<const char*, QByteArray>> saved_;
};

TEST(DesktopDefaults, TheUsersChoiceComesFirstAndOnlyInstalledProgramsCount) {
    FakePrograms bin;
    bin.add("calc");
    bin.add("gnum");
    XdgFolders xdg;
    const QString ods = "application/vnd.oasis.opendocument.spreadsheet";
    const QString apps = "XDG_DATA_DIRS/applications/";
    xdg.write(apps + "calc.desktop",
              "[Desktop Entry]\nName=Calc\nExec=" + bin.path() + "/calc --calc %U\n");
    xdg.write(apps + "gnum.desktop", "[Desktop Entry]\nExec=\"" + bin.path() + "/gnum\" %F\n");
    xdg.write(apps + "hidden.desktop",
              "[Desktop Entry]\nExec=" + bin.path() + "/calc\nHidden=true\n");
    xdg.write(apps + "gone.desktop", "[Desktop Entry]\nExec=/nonexistent/program\n");
    xdg.write(apps + "mimeinfo.cache", "[MIME Cache]\n" + ods + "=gone.desktop;gnum.desktop;\n");
    EXPECT_FALSE(desktopOpens("/opt/zt40/hilfe.chm"));

    struct Step {
        const char* what;
        const char* file;
        QString content;
        const char* desktop;
        const char* expected;
    } steps[] = {
        {"the desktop entries' cache", nullptr, {}, nullptr, "gnum.desktop"},
        {"the system's default, a missing entry skipped",
         "XDG_DATA_DIRS/applications/mimeapps.list",
         "[Default Applications]\n" + ods + "=missing.desktop;calc.desktop\n", nullptr,
         "calc.desktop"},
        {"the user's default, a hidden entry skipped", "XDG_CONFIG_HOME/mimeapps.list",
         "[Added Associations]\n" + ods + "=calc.desktop\n[Default Applications]\n" + ods +
             "=hidden.desktop;gnum.desktop\n",
         nullptr, "gnum.desktop"},
        {"the desktop's own list", "XDG_CONFIG_HOME/test-mimeapps.list",
         "[Default Applications]\n" + ods + "=calc.desktop\n", "X-Other:Test", "calc.desktop"},
    };
    for (const Step& step : steps) {
        if (step.file != nullptr)
            xdg.write(step.file, step.content);
        if (step.desktop != nullptr)
            qputenv("XDG_CURRENT_DESKTOP", step.desktop);
        EXPECT_EQ(defaultApplicationFor(ods), xdg.path(apps + step.expected)) << step.what;
    }

    const auto calc = commandOfDesktopEntry(xdg.path(apps + "calc.desktop"));
    ASSERT_TRUE(calc.has_value());
    EXPECT_EQ(calc->program, bin.path() + "/calc");
    EXPECT_EQ(calc->arguments, QStringList{"--calc"}); // without the field code
    EXPECT_FALSE(commandOfDesktopEntry(xdg.path(apps + "gone.desktop")).has_value());

    xdg.write("XDG_DATA_HOME/applications/mimeapps.list",
              "[Default Applications]\napplication/vnd.ms-htmlhelp=gnum.desktop\n");
    EXPECT_TRUE(desktopOpens("/opt/zt40/hilfe.chm"));
}

TEST(DesktopEntries, FieldCodesAreLeftOutAndADoublePercentIsAPercent) {
    FakePrograms bin;
    bin.add("calc");
    QTemporaryDir dir;
    const struct {
        const char* exec; // after the program
        QStringList arguments;
    } cases[] = {
        {" --calc %U", {"--calc"}},
        {" %%", {"%"}},
        {" --scale=50%% %f", {"--scale=50%"}},
        {" \"a b\" %F --new-window", {"a b", "--new-window"}},
        {" 100%%%% %%u", {"100%%", "%u"}},
    };
    for (const auto& c : cases) {
        const QString entry = dir.filePath("calc.desktop");
        QFile file(entry);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("[Desktop Entry]\nExec=" + bin.path() + "/calc" + c.exec + "\n").toUtf8());
        file.close();
        const auto command = commandOfDesktopEntry(entry);
        ASSERT_TRUE(command.has_value()) << c.exec;
        EXPECT_EQ(command->program, bin.path() + "/calc") << c.exec;
        EXPECT_EQ(command->arguments, c.arguments) << c.exec;
    }
}

// Waits for a stand-in program's mark and returns its arguments.
QByteArray argumentsOf(const FakePrograms& bin, const QString& program) {
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(bin.marker(program)) && waited.elapsed() < 10000)
        QThread::msleep(20);
    QFile mark(bin.marker(program));
    if (!mark.open(QIODevice::ReadOnly))
        return "(did not run)";
    return mark.readAll().trimmed();
}

TEST(Spreadsheet, TheDesktopsDefaultComesBeforeThePath) {
    FakePrograms bin;
    bin.add("libreoffice");
    bin.add("mycalc");
    XdgFolders xdg;
    xdg.write("XDG_DATA_HOME/applications/mycalc.desktop",
              "[Desktop Entry]\nExec=mycalc --from-desktop %F\n");
    xdg.write("XDG_CONFIG_HOME/mimeapps.list",
              "[Default Applications]\napplication/vnd.ms-excel=mycalc.desktop\n");
    {
        PathOverride path(bin.path());
        ASSERT_TRUE(startSpreadsheet());
    }
    EXPECT_EQ(argumentsOf(bin, "mycalc"), "--from-desktop");
    EXPECT_FALSE(QFile::exists(bin.marker("libreoffice")));
}

TEST(Spreadsheet, StartsTheProgramFoundOnThePath) {
    XdgFolders xdg; // a desktop without a default spreadsheet program
    FakePrograms bin;
    bin.add("libreoffice");
    {
        PathOverride path(bin.path());
        ASSERT_TRUE(startSpreadsheet());
    }
    // The program runs detached; wait for its mark.
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(bin.marker("libreoffice")) && waited.elapsed() < 10000)
        QThread::msleep(20);
    QFile mark(bin.marker("libreoffice"));
    ASSERT_TRUE(mark.open(QIODevice::ReadOnly));
    EXPECT_EQ(mark.readAll().trimmed(), "--calc");
}

TEST(Spreadsheet, NoneOnThePathIsReportedAsFalse) {
    FakePrograms empty;
    PathOverride path(empty.path());
    EXPECT_FALSE(startSpreadsheet());
}

} // namespace
} // namespace zt40::test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
