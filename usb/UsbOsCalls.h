// The operating-system calls of the USB layer, in one place.
//
// The USB classes make every call through one table, chosen once before the first device list
// is taken: on Windows the real Win32 and SetupAPI functions, or the driver stand-in's when
// ZT40_SIMULATOR asks for the simulated instrument (for demonstrations and the Windows tests);
// elsewhere always the driver stand-in, which provides the same names, types, constants and
// error codes.
#pragma once

#include "Win32Api.h"

namespace zt40 {

struct UsbOsCalls {
    HDEVINFO(WINAPI* SetupDiGetClassDevsA)(const GUID*, PCSTR, HWND, DWORD);
    BOOL(WINAPI* SetupDiEnumDeviceInterfaces)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD,
                                              PSP_DEVICE_INTERFACE_DATA);
    BOOL(WINAPI* SetupDiGetDeviceInterfaceDetailA)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA,
                                                   PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD,
                                                   PDWORD, PSP_DEVINFO_DATA);
    BOOL(WINAPI* SetupDiDestroyDeviceInfoList)(HDEVINFO);
    HANDLE(WINAPI* CreateFileA)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    BOOL(WINAPI* CloseHandle)(HANDLE);
    HANDLE(WINAPI* CreateEventA)(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR);
    DWORD(WINAPI* WaitForSingleObject)(HANDLE, DWORD);
    BOOL(WINAPI* DeviceIoControl)(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD,
                                  LPOVERLAPPED);
    BOOL(WINAPI* ReadFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* WriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* GetOverlappedResult)(HANDLE, LPOVERLAPPED, LPDWORD, BOOL);
    BOOL(WINAPI* CancelIo)(HANDLE);
    void(WINAPI* InitializeCriticalSection)(LPCRITICAL_SECTION);
    void(WINAPI* EnterCriticalSection)(LPCRITICAL_SECTION);
    void(WINAPI* LeaveCriticalSection)(LPCRITICAL_SECTION);
    void(WINAPI* DeleteCriticalSection)(LPCRITICAL_SECTION);
    DWORD(WINAPI* GetLastError)();
};

// The table in use. On Windows the first call makes the choice, from ZT40_SIMULATOR, unless
// setUsbOsCalls came first.
const UsbOsCalls& usbOs();
// The driver stand-in's table: simulated and published devices (and, where libusb serves
// them, real ones).
const UsbOsCalls& standInOsCalls();
// Chooses the table; before the first device is opened, and not again while one is open.
void setUsbOsCalls(const UsbOsCalls& calls);

} // namespace zt40
