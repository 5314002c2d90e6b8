// The Windows shell: ShellExecuteA with the verb "open".
#include "Shell.h"

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

namespace zt40::platform {
namespace {

// ShellExecuteA reports success with a value above 32.
bool shellOpen(const char* file) {
    const HINSTANCE result = ShellExecuteA(nullptr, "open", file, nullptr, nullptr, SW_SHOW);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

} // namespace

bool openDocument(const std::string& path) {
    return shellOpen(path.c_str());
}

// Windows opens .chm files with its own help viewer.
bool desktopOpens(const std::string& /*path*/) {
    return true;
}

bool openUrl(const std::string& url) {
    return shellOpen(url.c_str());
}

bool startSpreadsheet() {
    return shellOpen("Excel.exe");
}

} // namespace zt40::platform
