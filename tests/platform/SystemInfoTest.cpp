// What the About dialog learns from a POSIX system: distribution, kernel, account, version.
#include "SystemInfo.h"
#include "SystemInfoText.h"

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>

#include <gtest/gtest.h>

namespace zt40::test {
using namespace platform;
namespace {

TEST(OsRelease, PrettyNameWinsAndQuotesAreRemoved) {
    EXPECT_EQ(osReleaseName("NAME=\"Debian GNU/Linux\"\nVERSION=\"12 (bookworm)\"\n"
                            "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n"),
              "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(osReleaseName("PRETTY_NAME='Fedora Linux 40'"), "Fedora Linux 40");
    EXPECT_EQ(osReleaseName("PRETTY_NAME=Alpine\n"), "Alpine");
    EXPECT_EQ(osReleaseName("PRETTY_NAME=\"Say \\\"hi\\\" OS\"\n"), "Say \"hi\" OS");
}

TEST(OsRelease, NameAndVersionWithoutPrettyName) {
    EXPECT_EQ(osReleaseName("# comment\nNAME=Arch\r\nVERSION=rolling\r\n"), "Arch rolling");
    EXPECT_EQ(osReleaseName("NAME=Arch\n"), "Arch");
    EXPECT_EQ(osReleaseName("PRETTY_NAME=\"\"\nNAME=Void\n"), "Void");
}

TEST(OsRelease, NothingUsableGivesEmptyText) {
    EXPECT_EQ(osReleaseName(""), "");
    EXPECT_EQ(osReleaseName("garbage without equals\n=value\nID=x\n"), "");
    EXPECT_EQ(osReleaseName("PRETTY_NAME=\"unterminated\n"), "\"unterminated");
}

TEST(Gecos, FullNameIsTheFirstField) {
    EXPECT_EQ(fullNameFromGecos("Erika Mustermann,Room 12,555-1234,,"), "Erika Mustermann");
    EXPECT_EQ(fullNameFromGecos("  Max M\xFCller  "), "Max M\xFCller");
    EXPECT_EQ(fullNameFromGecos(",,,"), "");
    EXPECT_EQ(fullNameFromGecos(""), "");
}

TEST(SystemText, JoinsWhatIsKnown) {
    EXPECT_EQ(systemText("Debian GNU/Linux 12 (bookworm)", "Linux", "6.1.0-18-amd64"),
              "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64");
    EXPECT_EQ(systemText("", "Linux", "6.1.0"), "Linux 6.1.0");
    EXPECT_EQ(systemText("Debian", "", ""), "Debian");
    EXPECT_EQ(systemText("", "", ""), "");
}

TEST(RunningSystem, ReportsItselfAsNotWindowsWithKernelRelease) {
    const OsVersionInfo v = systemInfo().osVersion();
    EXPECT_NE(v.platformId, PlatformWin9x);
    EXPECT_NE(v.platformId, PlatformWinNT);
    EXPECT_TRUE(v.csdVersion.empty());
    utsname uts{};
    ASSERT_EQ(uname(&uts), 0);
    EXPECT_NE(v.systemText.find(uts.release), std::string::npos) << v.systemText;
    EXPECT_EQ(std::to_string(v.majorVersion),
              std::string(uts.release).substr(0, std::to_string(v.majorVersion).size()));
    EXPECT_FALSE(systemInfo().registryUser(RegistryKeyWinNT).has_value());
}

TEST(RunningSystem, AccountNameFromThePasswordDatabase) {
    const passwd* pw = getpwuid(getuid());
    ASSERT_NE(pw, nullptr);
    std::string expected = fullNameFromGecos(pw->pw_gecos != nullptr ? pw->pw_gecos : "");
    if (expected.empty())
        expected = pw->pw_name;
    const std::optional<std::string> name = systemInfo().accountFullName();
    ASSERT_TRUE(name.has_value());
    EXPECT_EQ(*name, expected);
}

TEST(RunningSystem, OrganisationOnlyFromANonEmptyEnvironmentVariable) {
    const char* saved = std::getenv("ORGANIZATION");
    const std::string keep = saved != nullptr ? saved : "";
    unsetenv("ORGANIZATION");
    EXPECT_FALSE(systemInfo().environmentOrganization().has_value());
    setenv("ORGANIZATION", "", 1);
    EXPECT_FALSE(systemInfo().environmentOrganization().has_value());
    setenv("ORGANIZATION", "M\xC3\xBCller & S\xC3\xB6hne", 1); // UTF-8 in the environment
    EXPECT_EQ(systemInfo().environmentOrganization(),
              std::optional<std::string>("M\xFCller & S\xF6hne"));
    if (saved != nullptr)
        setenv("ORGANIZATION", keep.c_str(), 1);
    else
        unsetenv("ORGANIZATION");
}

TEST(RunningSystem, ProgramVersionIsTheBuiltInOne) {
    const std::optional<ProgramVersion> v = systemInfo().programVersion();
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(*v, builtInVersion());
    EXPECT_EQ(*v, (ProgramVersion{ZT40_TEST_VERSION_MAJOR, ZT40_TEST_VERSION_MINOR,
                                  ZT40_TEST_VERSION_PATCH, 0}));
}

} // namespace
} // namespace zt40::test
