#pragma once

// windows.h for the Windows halves of the platform layer, without the macros that would rename
// this layer's own functions (CopyFile, ReplaceFile, MessageBox) or clash with the standard
// library (min, max).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
// clang-format on

#undef CopyFile
#undef ReplaceFile
#undef MessageBox
#undef CreateService
#undef DeleteFile
#undef GetCurrentTime
#undef OpenService
#undef SetConsoleTitle
#undef LoadString
