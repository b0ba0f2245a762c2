#include "message_window_task_runner.h"

#include <iostream>
#include <utility>

#include "flutter/callback_guard.h"

#ifdef _WIN32
extern "C" IMAGE_DOS_HEADER __ImageBase;
#define KELMOR_WIDE(text) L##text
#else
#define KELMOR_WIDE(text) u##text
#endif

namespace flutter {

namespace {

// In the range Windows leaves to an application's own window classes.
constexpr UINT kRunTasksMessage = WM_APP + 0x4B;
constexpr WCHAR kWindowClass[] = KELMOR_WIDE("KelmorTaskRunnerWindow");

// This module's instance: each library holding a copy of the machinery
// registers the window class under its own instance, so two plugin
// libraries never share, or unload, each other's window procedure.
HINSTANCE ModuleInstance() {
#ifdef _WIN32
  return reinterpret_cast<HINSTANCE>(&__ImageBase);
#else
  static const char marker = 0;
  return reinterpret_cast<HINSTANCE>(const_cast<char*>(&marker));
#endif
}

LRESULT CALLBACK TaskWindowProc(HWND window, UINT message, WPARAM w_param,
                                LPARAM l_param) {
  if (message == kRunTasksMessage) {
    auto* runner = reinterpret_cast<MessageWindowTaskRunner*>(
        GetWindowLongPtrW(window, GWLP_USERDATA));
    if (runner != nullptr) runner->RunQueuedTasks();
    return 0;
  }
  return DefWindowProcW(window, message, w_param, l_param);
}

HWND CreateTaskWindow() {
  static const bool registered = [] {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = TaskWindowProc;
    window_class.hInstance = ModuleInstance();
    window_class.lpszClassName = kWindowClass;
    return RegisterClassW(&window_class) != 0;
  }();
  if (!registered) return nullptr;
  return CreateWindowExW(0, kWindowClass, kWindowClass, 0, 0, 0, 0, 0,
                         HWND_MESSAGE, nullptr, ModuleInstance(), nullptr);
}

}  // namespace

MessageWindowTaskRunner::MessageWindowTaskRunner()
    : thread_(std::this_thread::get_id()) {}

std::shared_ptr<MessageWindowTaskRunner> MessageWindowTaskRunner::Create() {
  std::shared_ptr<MessageWindowTaskRunner> runner(
      new MessageWindowTaskRunner());
  runner->window_ = CreateTaskWindow();
  if (runner->window_ == nullptr) {
    std::cerr << "Unable to create the window that runs posted tasks"
              << std::endl;
  } else {
    SetWindowLongPtrW(runner->window_, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(runner.get()));
  }
  return runner;
}

MessageWindowTaskRunner::~MessageWindowTaskRunner() = default;

bool MessageWindowTaskRunner::RunsTasksOnCurrentThread() const {
  return std::this_thread::get_id() == thread_;
}

bool MessageWindowTaskRunner::Post(Task task) {
  if (!task) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_ && window_ != nullptr) {
      queue_.push_back(std::move(task));
      if (!wake_posted_) {
        // Close destroys the window only after taking this lock.
        wake_posted_ = PostMessageW(window_, kRunTasksMessage, 0, 0) != 0;
      }
      return true;
    }
  }
  return false;  // the refused task is destroyed outside the lock
}

void MessageWindowTaskRunner::RunQueuedTasks() {
  const std::shared_ptr<MessageWindowTaskRunner> keep = shared_from_this();
  size_t budget = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wake_posted_ = false;
    budget = queue_.size();
  }
  for (; budget > 0; --budget) {
    Task task;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      // A task may close the runner, dropping the rest.
      if (queue_.empty()) return;
      task = std::move(queue_.front());
      queue_.pop_front();
    }
    try {
      task();
    } catch (...) {
      ReportCaughtException("posted task");
    }
  }
}

void MessageWindowTaskRunner::Close() {
  std::deque<Task> dropped;
  HWND window = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
    dropped.swap(queue_);
    std::swap(window, window_);
  }
  // Destroyed outside the lock: a task's destructor may post again, and is
  // refused.
  dropped.clear();
  if (window != nullptr) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
  }
}

}  // namespace flutter
