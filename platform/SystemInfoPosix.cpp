// System information on POSIX systems: /etc/os-release, uname, the account database and the
// environment. There is no registry; the version is the one the program was built with.
#include "Cp1252.h"
#include "SystemInfo.h"
#include "SystemInfoText.h"

#include <QFile>
#include <QString>

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace zt40::platform {
namespace {

std::string fromLocal(const char* text) {
    return platform::toCp1252(QString::fromLocal8Bit(text));
}

class PosixSystemInfo final : public SystemInfo {
public:
    OsVersionInfo osVersion() const override {
        OsVersionInfo info;
        info.platformId = PlatformPosix;
        std::string distribution;
        for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
            QFile file(QString::fromLatin1(path));
            if (file.open(QIODevice::ReadOnly)) {
                const QByteArray content = file.read(64 * 1024);
                distribution = platform::toCp1252(QString::fromUtf8(
                    QByteArray::fromStdString(osReleaseName(content.toStdString()))));
                break;
            }
        }
        utsname uts{};
        std::string kernelName;
        std::string kernelRelease;
        if (uname(&uts) == 0) {
            kernelName = fromLocal(uts.sysname);
            kernelRelease = fromLocal(uts.release);
            // The kernel release's leading numbers, for whoever wants them.
            unsigned* parts[] = {&info.majorVersion, &info.minorVersion, &info.buildNumber};
            const char* p = uts.release;
            for (unsigned* part : parts) {
                char* end = nullptr;
                const unsigned long n = std::strtoul(p, &end, 10);
                if (end == p)
                    break;
                *part = static_cast<unsigned>(n);
                if (*end != '.')
                    break;
                p = end + 1;
            }
        }
        info.systemText = systemText(distribution, kernelName, kernelRelease);
        return info;
    }

    std::optional<RegisteredUser> registryUser(const std::string&) const override {
        return std::nullopt;
    }

    std::optional<std::string> accountFullName() const override {
        long size = sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
        passwd entry{};
        passwd* found = nullptr;
        if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
            found == nullptr)
            return std::nullopt;
        std::string name = fullNameFromGecos(found->pw_gecos != nullptr ? found->pw_gecos : "");
        // Without a full name the login name still says who is logged in.
        if (name.empty() && found->pw_name != nullptr)
            name = found->pw_name;
        if (name.empty())
            return std::nullopt;
        return fromLocal(name.c_str());
    }

    std::optional<std::string> environmentOrganization() const override {
        const char* value = std::getenv("ORGANIZATION");
        if (value == nullptr || *value == '\0')
            return std::nullopt;
        return fromLocal(value);
    }

    std::optional<ProgramVersion> programVersion() const override { return builtInVersion(); }
};

} // namespace

const SystemInfo& systemInfo() {
    static const PosixSystemInfo info;
    return info;
}

std::string loginName() {
    const long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_name != nullptr) {
        return fromLocal(found->pw_name);
    }
    const char* user = std::getenv("USER");
    return user != nullptr ? fromLocal(user) : std::string();
}

} // namespace zt40::platform
