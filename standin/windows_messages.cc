// Stand-ins for the Windows messaging functions on systems without the
// Windows API: window classes keyed by instance and name, windows that
// belong to the thread that made them, and one queue of posted messages per
// thread, emptied by that thread's PeekMessageW.
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "windows_message_api.h"

namespace {

struct Window {
  size_t window_class;  // index into Registry::classes
  WNDPROC procedure;
  std::thread::id thread;
  LONG_PTR user_data;
};

struct WindowClass {
  HINSTANCE instance;
  std::u16string name;
  WNDPROC procedure;
};

struct Registry {
  std::mutex mutex;
  std::vector<WindowClass> classes;
  std::map<HWND, Window> windows;
  std::map<std::thread::id, std::deque<MSG>> queues;
  uintptr_t next_window = 0x1000;
};

Registry& registry() {
  static auto* instance = new Registry();
  return *instance;
}

constexpr size_t kNoClass = static_cast<size_t>(-1);

// Found without making a string, so that making a window allocates only
// the window's own record.
size_t FindClass(const Registry& r, HINSTANCE instance, LPCWSTR name) {
  for (size_t i = 0; i < r.classes.size(); ++i) {
    if (r.classes[i].instance == instance && r.classes[i].name == name) {
      return i;
    }
  }
  return kNoClass;
}

}  // namespace

extern "C" {

ATOM RegisterClassW(const WNDCLASSW* window_class) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (FindClass(r, window_class->hInstance, window_class->lpszClassName) !=
      kNoClass) {
    return 0;  // already registered for this instance
  }
  r.classes.push_back(WindowClass{window_class->hInstance,
                                  window_class->lpszClassName,
                                  window_class->lpfnWndProc});
  return static_cast<ATOM>(r.classes.size());
}

HWND CreateWindowExW(DWORD, LPCWSTR class_name, LPCWSTR, DWORD, int, int, int,
                     int, HWND, void*, HINSTANCE instance, void*) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  const size_t window_class = FindClass(r, instance, class_name);
  if (window_class == kNoClass) return nullptr;
  HWND window = reinterpret_cast<HWND>(r.next_window);
  r.next_window += 0x10;
  r.windows[window] = Window{window_class, r.classes[window_class].procedure,
                             std::this_thread::get_id(), 0};
  return window;
}

BOOL DestroyWindow(HWND window) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  const auto found = r.windows.find(window);
  // Only the thread that made a window may destroy it.
  if (found == r.windows.end() ||
      found->second.thread != std::this_thread::get_id()) {
    return 0;
  }
  r.windows.erase(found);
  return 1;
}

LRESULT DefWindowProcW(HWND, UINT, WPARAM, LPARAM) { return 0; }

BOOL PostMessageW(HWND window, UINT message, WPARAM w_param, LPARAM l_param) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  const auto found = r.windows.find(window);
  if (found == r.windows.end()) return 0;
  r.queues[found->second.thread].push_back(
      MSG{window, message, w_param, l_param, 0, POINT{0, 0}});
  return 1;
}

LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  const auto found = r.windows.find(window);
  if (found == r.windows.end() || index != GWLP_USERDATA) return 0;
  return std::exchange(found->second.user_data, value);
}

LONG_PTR GetWindowLongPtrW(HWND window, int index) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  const auto found = r.windows.find(window);
  if (found == r.windows.end() || index != GWLP_USERDATA) return 0;
  return found->second.user_data;
}

// Takes the calling thread's oldest message, whatever its window; only
// removal is supported, which is all the message loops here use.
BOOL PeekMessageW(MSG* message, HWND, UINT, UINT, UINT) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  const auto queue = r.queues.find(std::this_thread::get_id());
  if (queue == r.queues.end() || queue->second.empty()) return 0;
  *message = queue->second.front();
  queue->second.pop_front();
  return 1;
}

// A message for a window destroyed since it was posted goes nowhere.
LRESULT DispatchMessageW(const MSG* message) {
  WNDPROC procedure = nullptr;
  {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto found = r.windows.find(message->hwnd);
    if (found == r.windows.end()) return 0;
    procedure = found->second.procedure;
  }
  return procedure(message->hwnd, message->message, message->wParam,
                   message->lParam);
}

// Every window here is message-only: the next after `after` whose class has
// that name, whatever instance registered it.
HWND FindWindowExW(HWND, HWND after, LPCWSTR class_name, LPCWSTR) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = after == nullptr ? r.windows.begin() : r.windows.upper_bound(after);
  for (; it != r.windows.end(); ++it) {
    if (r.classes[it->second.window_class].name == class_name) return it->first;
  }
  return nullptr;
}

}  // extern "C"
