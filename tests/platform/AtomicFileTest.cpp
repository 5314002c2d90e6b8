#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace zt40::test {

namespace {

struct AtomicFileFixture : ::testing::Test {
    QTemporaryDir dir;
    QString target = dir.filePath("export.dat");

    QByteArray contents(const QString& path) const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    QStringList entries(const QString& path) const {
        return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    // A failure names the whole path, says what failed and gives the system's reason after it.
    static void expectFailure(const Outcome& result, const QString& path, const char* what) {
        ASSERT_FALSE(result.ok());
        const QString start = "Datei \"" +
                              QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()) +
                              "\" kann nicht " + what + " werden. ";
        EXPECT_TRUE(result.reason().startsWith(start)) << result.reason().toStdString();
        EXPECT_GT(result.reason().size(), start.size()) << result.reason().toStdString();
    }
    void writeOld() {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old contents\r\n");
    }
};

} // namespace

TEST_F(AtomicFileFixture, WritesTheBytesUnchangedAndLeavesNoTemporaryFile) {
    const std::string bytes("\tDate\r\n1\t\xE4\x00x\r\n", 12);
    const Outcome result = platform::writeFileAtomically(target, bytes);
    ASSERT_TRUE(result.ok()) << result.reason().toStdString();
    EXPECT_EQ(contents(target), QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    EXPECT_EQ(entries(dir.path()), QStringList{"export.dat"});
}

TEST_F(AtomicFileFixture, ReplacesAnExistingFileWholly) {
    writeOld();
    ASSERT_TRUE(platform::writeFileAtomically(target, "new").ok());
    EXPECT_EQ(contents(target), "new");
    ASSERT_TRUE(platform::writeFileAtomically(target, "").ok());
    EXPECT_EQ(contents(target), "");
    EXPECT_EQ(entries(dir.path()), QStringList{"export.dat"});
}

TEST_F(AtomicFileFixture, MissingFolderCannotBeCreated) {
    const QString path = dir.filePath("no such folder/export.dat");
    expectFailure(platform::writeFileAtomically(path, "data"), path, "erstellt");
    EXPECT_TRUE(entries(dir.path()).isEmpty());
}

TEST_F(AtomicFileFixture, PathThatIsAFolderIsLeftAlone) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("export.dat"));
    QFile inside(dir.filePath("export.dat/keep.txt"));
    ASSERT_TRUE(inside.open(QIODevice::WriteOnly));
    inside.close();

    expectFailure(platform::writeFileAtomically(target, "data"), target, "erstellt");
    EXPECT_TRUE(QFileInfo(target).isDir());
    EXPECT_EQ(entries(target), QStringList{"keep.txt"});
    EXPECT_EQ(entries(dir.path()), QStringList{"export.dat"});
}

TEST_F(AtomicFileFixture, ReadOnlyFolderKeepsTheExistingFile) {
#ifdef _WIN32
    GTEST_SKIP() << "a Windows folder has no permission bit that keeps files from being made";
#else
    if (geteuid() == 0) {
        GTEST_SKIP() << "file permissions do not bind the superuser";
    }
#endif
    writeOld();
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    const Outcome result = platform::writeFileAtomically(target, "new");
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    expectFailure(result, target, "erstellt");
    EXPECT_EQ(contents(target), "old contents\r\n");
    EXPECT_EQ(entries(dir.path()), QStringList{"export.dat"});
}

TEST_F(AtomicFileFixture, FailedWriteKeepsTheExistingFileIntact) {
    // A file size limit makes the write itself fail, as a full disk would.
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file size limit for a process";
#else
    writeOld();
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

    const std::string big(256 * 1024, 'x');
    const Outcome result = platform::writeFileAtomically(target, big);

    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    expectFailure(result, target, "geschrieben");
    EXPECT_EQ(contents(target), "old contents\r\n");
    EXPECT_EQ(entries(dir.path()), QStringList{"export.dat"});
#endif
}

} // namespace zt40::test
