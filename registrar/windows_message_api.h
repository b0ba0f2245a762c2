// The part of the Windows messaging functions the task runner uses: a
// message-only window, posted messages and the window procedure that takes
// them. On Windows these come from <windows.h>; elsewhere this declares the
// same names, and whoever hosts the machinery provides the functions (the
// stand-in engine does, with a message queue per thread).
#ifndef REGISTRAR_WINDOWS_MESSAGE_API_H_
#define REGISTRAR_WINDOWS_MESSAGE_API_H_

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <cstdint>

using BOOL = int32_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using ATOM = uint16_t;
using WCHAR = char16_t;
using LPCWSTR = const WCHAR*;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LONG_PTR = intptr_t;
using HWND = struct HWND__*;
using HINSTANCE = struct HINSTANCE__*;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

#define CALLBACK

struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  void* hIcon;
  void* hCursor;
  void* hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
};

struct POINT {
  int32_t x;
  int32_t y;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

#define HWND_MESSAGE (reinterpret_cast<HWND>(static_cast<intptr_t>(-3)))
constexpr int GWLP_USERDATA = -21;
constexpr UINT WM_APP = 0x8000;
constexpr UINT PM_REMOVE = 0x0001;

extern "C" {
ATOM RegisterClassW(const WNDCLASSW* window_class);
HWND CreateWindowExW(DWORD extended_style, LPCWSTR class_name,
                     LPCWSTR window_name, DWORD style, int x, int y, int width,
                     int height, HWND parent, void* menu, HINSTANCE instance,
                     void* parameter);
BOOL DestroyWindow(HWND window);
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM w_param,
                       LPARAM l_param);
BOOL PostMessageW(HWND window, UINT message, WPARAM w_param, LPARAM l_param);
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrW(HWND window, int index);
BOOL PeekMessageW(MSG* message, HWND window, UINT first, UINT last,
                  UINT remove);
HWND FindWindowExW(HWND parent, HWND after, LPCWSTR class_name,
                   LPCWSTR window_name);
LRESULT DispatchMessageW(const MSG* message);
}
#endif

#endif  // REGISTRAR_WINDOWS_MESSAGE_API_H_
