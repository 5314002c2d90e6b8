// Links, documents and the spreadsheet program handed to the desktop.
#include "Shell.h"
#include "Spreadsheet.h"

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

namespace zt40::platform {
namespace {

// Receives what QDesktopServices hands to a registered scheme handler.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class Shell : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* scheme : {"https", "mailto", "file"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &recorder, "open");
    }
    void TearDown() override {
        for (const char* scheme : {"https", "mailto", "file"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    UrlRecorder recorder;
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

TEST(Spreadsheet, StartsTheProgramFoundOnThePath) {
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
} // namespace zt40::platform

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "ShellTest.moc"
