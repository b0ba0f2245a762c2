// BinaryMessengerImpl: the BinaryMessenger over the engine's C messenger.
//
// Each incoming message reaches its channel's handler with a reply that keeps
// the engine messenger referenced until its last copy goes, and answers under
// the engine messenger's lock, so it may be called later and on any thread.
// All copies of one reply share its one answer: the first call through any
// of them sends, every later one is refused.
//
// Threads: SendToChannel from any thread. The engine takes messages on its
// own thread only, so a send from another thread goes there through the
// registrar's task runner, after that thread's earlier sends; once the
// registrar is gone it is dropped, and its reply destroyed uncalled. The
// reply to a send comes on the engine's thread. Replies to incoming
// messages may be called from any thread. Everything else (construction,
// SetChannelHandler, destruction) on the engine's thread.
//
// A handler may replace or remove its own channel's handler, or another's,
// while it runs: a running handler is destroyed only after it returns, and
// the next message reaches the new one. Messages are delivered on one
// thread, the engine's platform thread, as handlers are installed: a
// running handler is held outside its map entry while it runs.
//
// A replaced or removed handler is destroyed before the new one is put in
// (or the channel cleared), so its destructor may use the messenger and the
// call's own change stands over what it did to that channel. Whatever a
// destructor does, afterwards the engine delivers on each channel to the
// handler the messenger holds for it, or to none.
//
// Failure: an exception from a handler or a reply callable stops at the
// engine's callback, as the line "Exception in message handler on channel "
// with the channel name (or "Exception in reply callback"), then ": " and
// the exception's text. A reply called again (through any copy), or for a
// message without a response handle, writes "Error: Response can be set
// only once. Ignoring duplicate response." and sends nothing; a reply after
// the engine became unavailable is dropped silently; a send the engine
// refuses never calls its reply. A reply whose diagnostic or engine call
// throws passes the exception to its caller, with the engine messenger's
// lock given back.
#ifndef FLUTTER_BINARY_MESSENGER_IMPL_H_
#define FLUTTER_BINARY_MESSENGER_IMPL_H_

#include <map>
#include <memory>
#include <string>

#include "flutter/binary_messenger.h"
#include "flutter/task_runner.h"
#include "flutter_desktop_api.h"

namespace flutter {

class BinaryMessengerImpl : public BinaryMessenger {
 public:
  // `engine_messenger` is borrowed; the engine keeps it alive while it can
  // deliver messages through this object. With a `task_runner`, a send from
  // any other thread than the runner's goes through it to the engine's
  // thread; without one every send goes to the engine on the caller's
  // thread.
  explicit BinaryMessengerImpl(
      FlutterDesktopMessengerRef engine_messenger,
      std::shared_ptr<TaskRunner> task_runner = nullptr)
      : engine_messenger_(engine_messenger),
        task_runner_(std::move(task_runner)) {}

  // Destroys the handlers without telling the engine: the owner destroys the
  // messenger only once the engine will deliver nothing more through it. A
  // handler running at that moment is destroyed when it returns.
  ~BinaryMessengerImpl() override;

  BinaryMessengerImpl(const BinaryMessengerImpl&) = delete;
  BinaryMessengerImpl& operator=(const BinaryMessengerImpl&) = delete;

  void SendToChannel(const std::string& channel, const uint8_t* message,
                     size_t message_size, BinaryReply reply) const override;
  void SetChannelHandler(const std::string& channel,
                         BinaryMessageHandler handler) override;

  FlutterDesktopMessengerRef engine_messenger() const {
    return engine_messenger_;
  }

  // The registrar's task runner, which carries sends over to the engine's
  // thread; null when there is none.
  const std::shared_ptr<TaskRunner>& task_runner() const {
    return task_runner_;
  }

 private:
  FlutterDesktopMessengerRef engine_messenger_;
  std::shared_ptr<TaskRunner> task_runner_;
  // Node-based: the engine holds the address of each stored handler.
  std::map<std::string, BinaryMessageHandler> handlers_;
};

}  // namespace flutter

#endif  // FLUTTER_BINARY_MESSENGER_IMPL_H_
