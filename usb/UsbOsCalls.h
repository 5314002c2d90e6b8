// The operating-system calls of the USB layer, in one place.
//
// On Windows these are the real Win32 and SetupAPI functions; elsewhere the driver stand-in
// provides the same names, types, constants and error codes.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: setupapi.h relies on its types.
#include <setupapi.h>
#else
#include "Win32Api.h"
#endif
