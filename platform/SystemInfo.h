// What the About dialog reads from the system: the operating system's version, the registered
// owner and organisation, and the program's own version. All texts are Windows-1252 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace zt40::platform {

// Platform identifiers as the Windows version query reports them.
inline constexpr std::uint32_t PlatformWin9x = 1;   // Windows 95/98/Me
inline constexpr std::uint32_t PlatformWinNT = 2;   // the NT family
inline constexpr std::uint32_t PlatformPosix = 100; // not Windows at all

struct OsVersionInfo {
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t buildNumber = 0;
    std::uint32_t platformId = 0;
    std::string csdVersion; // service pack text, as the system reports it
    std::string systemText; // elsewhere than Windows: the system's own name and version
};

// The owner and organisation registered with the system; a missing value reads as "".
struct RegisteredUser {
    std::string owner;
    std::string organization;
};

// The program's product version: four 16-bit numbers, most significant first.
using ProgramVersion = std::array<std::uint16_t, 4>;

// Registry keys under HKEY_LOCAL_MACHINE that hold the registered owner.
inline constexpr const char* RegistryKeyWin9x = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
inline constexpr const char* RegistryKeyWinNT = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

class SystemInfo {
public:
    virtual ~SystemInfo() = default;

    // The operating system's version; all zero and empty when it cannot be asked.
    virtual OsVersionInfo osVersion() const = 0;

    // RegisteredOwner and RegisteredOrganization of a key under HKEY_LOCAL_MACHINE, the key
    // created when it does not exist; nullopt when the key cannot be opened.
    virtual std::optional<RegisteredUser> registryUser(const std::string& key) const = 0;

    // Elsewhere than Windows: the user's full name from the account database and an
    // organisation from the environment; each nullopt when there is none.
    virtual std::optional<std::string> accountFullName() const = 0;
    virtual std::optional<std::string> environmentOrganization() const = 0;

    // The program's own product version; nullopt when it cannot be read.
    virtual std::optional<ProgramVersion> programVersion() const = 0;
};

// The running system.
const SystemInfo& systemInfo();

// The login name of the user running the program (Windows-1252); "" when it cannot be read.
std::string loginName();

// The version compiled in from the project version.
ProgramVersion builtInVersion();

} // namespace zt40::platform
