// Setting and removing environment variables in tests, on POSIX systems and on Windows alike.
#pragma once

#include <cstdlib>

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

} // namespace zt40::test
