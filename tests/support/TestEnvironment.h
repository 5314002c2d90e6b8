// Setting and removing environment variables in tests, on POSIX systems and on Windows alike.
#pragma once

#include <cstdlib>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace zt40::test {

inline void setEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

inline void unsetEnvironment(const char* name) {
#ifdef _WIN32
    // An empty value removes the variable on Windows.
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

// True when the Windows build runs under Wine, which tells itself by an export of its ntdll.
inline bool runningUnderWine() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

} // namespace zt40::test

// Skips a test that cannot run under Wine, saying why; the README lists them.
#define ZT40_SKIP_UNDER_WINE(reason)                                                               \
    do {                                                                                           \
        if (::zt40::test::runningUnderWine())                                                      \
            GTEST_SKIP() << "not under Wine: " << (reason);                                        \
    } while (false)
