// The Windows version test the plugin uses: VerSetConditionMask and
// VerifyVersionInfoW with OSVERSIONINFOEXW. On Windows these come from
// <windows.h>; elsewhere this declares the same names, and whoever hosts the
// plugin provides the two functions.
#ifndef PLUGIN_WINDOWS_VERSION_API_H_
#define PLUGIN_WINDOWS_VERSION_API_H_

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using ULONGLONG = uint64_t;
using DWORDLONG = uint64_t;
using BOOL = int32_t;
using WCHAR = char16_t;

struct OSVERSIONINFOEXW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
};
static_assert(sizeof(OSVERSIONINFOEXW) == 284, "the Windows layout");

constexpr DWORD VER_MINORVERSION = 0x0000001;
constexpr DWORD VER_MAJORVERSION = 0x0000002;
constexpr DWORD VER_SERVICEPACKMAJOR = 0x0000020;
constexpr BYTE VER_GREATER_EQUAL = 3;

extern "C" {
ULONGLONG VerSetConditionMask(ULONGLONG condition_mask, DWORD type_mask,
                              BYTE condition);
BOOL VerifyVersionInfoW(OSVERSIONINFOEXW* version_info, DWORD type_mask,
                        DWORDLONG condition_mask);
}
#endif

#endif  // PLUGIN_WINDOWS_VERSION_API_H_
