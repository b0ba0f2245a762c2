// The engine's thread, as the host and plugin tests drive it: posted tasks
// and other window messages run only while the thread that made the
// registrar pumps its messages, as an application's message loop would.
//
//   KelmorPluginCApiRegisterWithRegistrar(registrar);
//   StartWorkOnAnotherThread();
//   standin::RunMessagesUntil([&] { return done; }, std::chrono::seconds(5));
#ifndef STANDIN_MESSAGE_LOOP_H_
#define STANDIN_MESSAGE_LOOP_H_

#include <chrono>
#include <cstddef>
#include <functional>

namespace standin {

// Dispatches the calling thread's waiting messages, those posted while it
// runs included, up to kMaxMessagesAtOnce, so that a worker that keeps
// posting cannot hold it forever; gives how many it dispatched.
constexpr size_t kMaxMessagesAtOnce = 10000;
size_t RunPendingMessages();

// Dispatches the calling thread's messages until `done` holds, checking it
// after each message and before each wait, or until `timeout` passes. Gives
// whether `done` held.
bool RunMessagesUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout);

}  // namespace standin

#endif  // STANDIN_MESSAGE_LOOP_H_
