// System information on Windows: GetVersionExA, the registry under HKEY_LOCAL_MACHINE and the
// executable's own version resource.
#include "SystemInfo.h"

#include "Cp1252.h"

#include <QString>

#include <windows.h>
#include <winver.h>

#include <vector>

namespace zt40::platform {
namespace {

// A text value of an open key; a missing or non-text value reads as "".
std::string readText(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
        return {};
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = size;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got) !=
        ERROR_SUCCESS)
        return {};
    return platform::toCp1252(QString::fromWCharArray(buffer.data()));
}

// The full path of the running executable, however long.
std::string executablePath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size())
            return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

class WindowsSystemInfo final : public SystemInfo {
public:
    OsVersionInfo osVersion() const override {
        OsVersionInfo info;
        OSVERSIONINFOA v{};
        v.dwOSVersionInfoSize = sizeof(v); // 148 bytes, the basic record
        if (GetVersionExA(&v) == FALSE)
            return info;
        info.majorVersion = v.dwMajorVersion;
        info.minorVersion = v.dwMinorVersion;
        info.buildNumber = v.dwBuildNumber;
        info.platformId = v.dwPlatformId;
        info.csdVersion = v.szCSDVersion;
        return info;
    }

    std::optional<RegisteredUser> registryUser(const std::string& key) const override {
        HKEY handle = nullptr;
        const std::wstring path = platform::fromCp1252(key).toStdWString();
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_READ, nullptr, &handle, nullptr) != ERROR_SUCCESS)
            return std::nullopt;
        RegisteredUser user{readText(handle, L"RegisteredOwner"),
                            readText(handle, L"RegisteredOrganization")};
        RegCloseKey(handle);
        return user;
    }

    std::optional<std::string> accountFullName() const override { return std::nullopt; }
    std::optional<std::string> environmentOrganization() const override { return std::nullopt; }

    std::optional<ProgramVersion> programVersion() const override {
        const std::string path = executablePath();
        if (path.empty())
            return std::nullopt;
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
        if (size == 0)
            return std::nullopt;
        std::vector<char> data(size);
        if (GetFileVersionInfoA(path.c_str(), 0, size, data.data()) == FALSE)
            return std::nullopt;
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        if (VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) == FALSE ||
            fixed == nullptr || length < sizeof(VS_FIXEDFILEINFO))
            return std::nullopt;
        // The product version, not the file version.
        return ProgramVersion{HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
                              HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS)};
    }
};

} // namespace

const SystemInfo& systemInfo() {
    static const WindowsSystemInfo info;
    return info;
}

std::string loginName() {
    char name[257] = {}; // UNLEN + 1
    DWORD size = sizeof(name);
    return GetUserNameA(name, &size) != FALSE ? std::string(name) : std::string();
}

} // namespace zt40::platform
