#include "message_loop.h"

#include <thread>

#include "windows_message_api.h"

namespace standin {

size_t RunPendingMessages() {
  size_t dispatched = 0;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
    DispatchMessageW(&message);
    ++dispatched;
  }
  return dispatched;
}

bool RunMessagesUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (RunPendingMessages() > 0) continue;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    // Posts from other threads arrive at any moment; a short sleep keeps
    // the wait cheap without a wake-up channel of its own.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace standin
