// The Windows branches of platform/, run on Windows (under Wine in CI): data flushed with
// FlushFileBuffers, the login name, the system's version, and the registry's owner key.
#include "FileSync.h"
#include "SystemInfo.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

namespace zt40::test {
namespace {

TEST(WindowsPlatform, DataIsFlushedThroughTheFilesOwnHandle) {
    QTemporaryDir dir;
    QFile file(dir.filePath("journal"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write("record\r\n"), 8);
    ASSERT_TRUE(file.flush());
    std::vector<bool> seen;
    platform::setSyncObserver([&](const QString&, bool ok) { seen.push_back(ok); });
    EXPECT_TRUE(platform::syncData(file));
    file.close();
    // A closed file has no handle left to flush: the failure is told, not hidden.
    EXPECT_FALSE(platform::syncData(file));
    platform::setSyncObserver({});
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));
}

TEST(WindowsPlatform, TheLoginNameIsTheAccountWindowsReports) {
    char expected[257] = {};
    ASSERT_GT(GetEnvironmentVariableA("USERNAME", expected, sizeof expected), 0u);
    EXPECT_EQ(platform::loginName(), std::string(expected));
}

TEST(WindowsPlatform, TheVersionIsWindowsNtsAndTheOwnerKeyOpens) {
    const platform::OsVersionInfo version = platform::systemInfo().osVersion();
    EXPECT_GE(version.majorVersion, 6u);
    EXPECT_EQ(version.platformId, 2u); // VER_PLATFORM_WIN32_NT
    EXPECT_TRUE(platform::systemInfo()
                    .registryUser("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion")
                    .has_value());
}

} // namespace
} // namespace zt40::test
