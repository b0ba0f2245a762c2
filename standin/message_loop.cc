#include "message_loop.h"

#include <thread>

#include "windows_message_api.h"

namespace standin {

namespace {

bool DispatchOne() {
  MSG message;
  if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) == 0) return false;
  DispatchMessageW(&message);
  return true;
}

}  // namespace

size_t RunPendingMessages() {
  size_t dispatched = 0;
  while (dispatched < kMaxMessagesAtOnce && DispatchOne()) ++dispatched;
  return dispatched;
}

bool RunMessagesUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (DispatchOne()) continue;
    // Posts from other threads arrive at any moment; a short sleep keeps
    // the wait cheap without a wake-up channel of its own.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace standin
