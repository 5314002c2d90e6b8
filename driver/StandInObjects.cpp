// Handles on devices, events and critical sections.
#include "StandInInternals.h"

namespace zt40::driver {

HANDLE CreateFileA(LPCSTR lpFileName, DWORD /*dwDesiredAccess*/, DWORD /*dwShareMode*/,
                   LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE /*hTemplateFile*/) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (lpFileName == nullptr) {
        lastError = ERROR_INVALID_PARAMETER;
        return INVALID_HANDLE_VALUE;
    }
    auto it = s.entries.find(lpFileName);
    if (it == s.entries.end() || !it->second->device->present()) {
        lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    if (dwCreationDisposition != OPEN_EXISTING ||
        (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) == 0) {
        lastError = ERROR_INVALID_PARAMETER; // overlapped handles only
        return INVALID_HANDLE_VALUE;
    }
    const std::shared_ptr<DeviceEntry> entry = it->second;
    if (const DWORD error = entry->device->open(); error != 0) {
        lastError = error;
        return INVALID_HANDLE_VALUE;
    }
    ++entry->handles;
    ++s.counters.filesOpen;
    record({DeviceCall::Kind::Open, entry->device->name()});
    return newHandle(FileObject{entry});
}

BOOL CloseHandle(HANDLE hObject) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.objects.find(reinterpret_cast<std::uintptr_t>(hObject));
    if (it == s.objects.end() || std::holds_alternative<ListObject>(it->second)) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (auto* file = std::get_if<FileObject>(&it->second)) {
        FileObject closing = *file;
        StandInAccess::closeFile(hObject, closing);
        --s.counters.filesOpen;
    } else {
        StandInAccess::abandonEvent(hObject);
        --s.counters.eventsOpen;
    }
    s.objects.erase(reinterpret_cast<std::uintptr_t>(hObject));
    return TRUE;
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES /*lpEventAttributes*/, BOOL bManualReset,
                    BOOL bInitialState, LPCSTR lpName) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (lpName != nullptr) {
        lastError = ERROR_NOT_SUPPORTED; // unnamed events only
        return nullptr;
    }
    if (s.eventFault) {
        if (const DWORD error = s.eventFault(); error != 0) {
            lastError = error;
            return nullptr;
        }
    }
    ++s.counters.eventsCreated;
    ++s.counters.eventsOpen;
    return newHandle(EventObject{bInitialState != FALSE, bManualReset != FALSE});
}

#ifdef _WIN32
// Windows' own critical sections serve the stand-in there too.
void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    ::InitializeCriticalSection(lpCriticalSection);
}

void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    ::EnterCriticalSection(lpCriticalSection);
}

void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    ::LeaveCriticalSection(lpCriticalSection);
}

void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    ::DeleteCriticalSection(lpCriticalSection);
}
#else
void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    lpCriticalSection->impl = new std::recursive_mutex;
}

void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    static_cast<std::recursive_mutex*>(lpCriticalSection->impl)->lock();
}

void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    static_cast<std::recursive_mutex*>(lpCriticalSection->impl)->unlock();
}

void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    delete static_cast<std::recursive_mutex*>(lpCriticalSection->impl);
    lpCriticalSection->impl = nullptr;
}
#endif

} // namespace zt40::driver
