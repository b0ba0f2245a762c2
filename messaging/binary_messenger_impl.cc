#include "flutter/binary_messenger_impl.h"

#include <atomic>
#include <iostream>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "flutter/callback_guard.h"

namespace flutter {

namespace {

using HandlerTable = std::map<std::string, BinaryMessageHandler>;

// The caller's reply, owned by the engine's pending send until it answers.
struct PendingReply {
  BinaryReply reply;
};

void OnEngineReply(const uint8_t* data, size_t data_size,
                   void* user_data) noexcept {
  std::unique_ptr<PendingReply> pending(static_cast<PendingReply*>(user_data));
  try {
    pending->reply(data, data_size);
  } catch (...) {
    ReportCaughtException("reply callback");
  }
}

// Holds the engine messenger's lock for one scope; it is given back also
// when what runs under it throws, or every later reply would wait forever.
class MessengerLock {
 public:
  explicit MessengerLock(FlutterDesktopMessengerRef messenger)
      : locked_(FlutterDesktopMessengerLock(messenger)) {}
  ~MessengerLock() {
    if (locked_ != nullptr) FlutterDesktopMessengerUnlock(locked_);
  }

  MessengerLock(const MessengerLock&) = delete;
  MessengerLock& operator=(const MessengerLock&) = delete;

 private:
  FlutterDesktopMessengerRef locked_;
};

// Small blocks kept for reuse. Every message's reply needs two, its shared
// state and the std::function's own copy of its responder; kept here, a
// round trip allocates neither once a few messages have gone by. Any thread
// may take or give a block: each slot is taken and filled by one atomic
// operation, so no lock is held and no slot is read through a pointer that
// another thread may just have reused.
class ReplyBlocks {
 public:
  static constexpr size_t kSize = 32;

  static void* Take() {
    for (std::atomic<void*>& slot : slots_) {
      if (slot.load(std::memory_order_relaxed) == nullptr) continue;
      if (void* block = slot.exchange(nullptr, std::memory_order_acquire)) {
        return block;
      }
    }
    return ::operator new(kSize);
  }

  static void Give(void* block) {
    for (std::atomic<void*>& slot : slots_) {
      void* empty = nullptr;
      if (slot.load(std::memory_order_relaxed) == nullptr &&
          slot.compare_exchange_strong(empty, block, std::memory_order_release,
                                       std::memory_order_relaxed)) {
        return;
      }
    }
    ::operator delete(block);
  }

 private:
  // Enough for the replies of a burst of messages; more go back to the heap.
  // Never destroyed: replies may go during the program's exit.
  static constexpr size_t kSlots = 16;
  static inline std::atomic<void*> slots_[kSlots] = {};
};

// Objects whose blocks come from ReplyBlocks.
template <typename T>
struct FromReplyBlocks {
  static void* operator new(size_t size) {
    static_assert(sizeof(T) <= ReplyBlocks::kSize, "too large for the blocks");
    return size <= ReplyBlocks::kSize ? ReplyBlocks::Take()
                                      : ::operator new(size);
  }
  static void operator delete(void* block, size_t size) {
    if (size <= ReplyBlocks::kSize) {
      ReplyBlocks::Give(block);
    } else {
      ::operator delete(block);
    }
  }
};

// What every copy of one message's reply shares: a reference on the engine
// messenger, released by whichever copy goes last, and the response handle,
// which only the first answer gets.
class ResponseState : public FromReplyBlocks<ResponseState> {
 public:
  // Takes the reference; nothing after it can throw, so it is always given
  // back when the last copy lets go.
  ResponseState(FlutterDesktopMessengerRef messenger,
                const FlutterDesktopMessageResponseHandle* response_handle)
      : messenger_(FlutterDesktopMessengerAddRef(messenger)),
        response_handle_(response_handle) {}
  ~ResponseState() { FlutterDesktopMessengerRelease(messenger_); }

  ResponseState(const ResponseState&) = delete;
  ResponseState& operator=(const ResponseState&) = delete;

  void Hold() { holders_.fetch_add(1, std::memory_order_relaxed); }
  void LetGo() {
    if (holders_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }

  void Answer(const uint8_t* reply, size_t reply_size) {
    MessengerLock lock(messenger_);
    if (!FlutterDesktopMessengerIsAvailable(messenger_)) return;
    // Taken, not read: of copies answering at once on several threads, one
    // gets the handle even if the engine's lock did not keep them apart.
    const FlutterDesktopMessageResponseHandle* handle =
        response_handle_.exchange(nullptr);
    if (handle == nullptr) {
      std::cerr << "Error: Response can be set only once. Ignoring "
                   "duplicate response."
                << std::endl;
      return;
    }
    FlutterDesktopMessengerSendResponse(messenger_, handle, reply, reply_size);
  }

 private:
  FlutterDesktopMessengerRef messenger_;
  std::atomic<const FlutterDesktopMessageResponseHandle*> response_handle_;
  std::atomic<int> holders_{1};
};

// The reply to one incoming message. Its copies share one ResponseState, so
// the engine gets at most one response however many copies answer.
class MessageResponder : public FromReplyBlocks<MessageResponder> {
 public:
  // Takes over the state's first hold.
  explicit MessageResponder(ResponseState* state) : state_(state) {}
  MessageResponder(const MessageResponder& other) : state_(other.state_) {
    state_->Hold();
  }
  MessageResponder(MessageResponder&& other) noexcept
      : state_(std::exchange(other.state_, nullptr)) {}
  MessageResponder& operator=(const MessageResponder&) = delete;
  ~MessageResponder() {
    if (state_ != nullptr) state_->LetGo();
  }

  void operator()(const uint8_t* reply, size_t reply_size) const {
    state_->Answer(reply, reply_size);
  }

 private:
  ResponseState* state_;
};

// Answers a message for which no reply could be made (memory ran out).
void RespondEmpty(FlutterDesktopMessengerRef messenger,
                  const FlutterDesktopMessageResponseHandle* handle) {
  if (handle == nullptr) return;
  MessengerLock lock(messenger);
  if (FlutterDesktopMessengerIsAvailable(messenger)) {
    FlutterDesktopMessengerSendResponse(messenger, handle, nullptr, 0);
  }
}

// A handler while it runs. The handler is moved out of its map entry for the
// call, so that the handler may replace or remove itself (or another running
// one) without destroying the code it runs in: a running handler that was
// replaced or removed is destroyed when it returns, otherwise it goes back.
class RunningHandler {
 public:
  explicit RunningHandler(BinaryMessageHandler* slot)
      : slot_(slot), outer_(innermost_) {
    if (const RunningHandler* running = Find(slot)) {
      nested_ = &running->handler_;  // a message delivered from within it
    } else {
      handler_ = std::move(*slot);
      *slot = nullptr;
      nested_ = &handler_;
    }
    innermost_ = this;
  }

  ~RunningHandler() {
    innermost_ = outer_;
    if (nested_ == &handler_ && !retired_) *slot_ = std::move(handler_);
  }

  RunningHandler(const RunningHandler&) = delete;
  RunningHandler& operator=(const RunningHandler&) = delete;

  const BinaryMessageHandler& handler() const { return *nested_; }

  // The map entry `slot` gets a new handler or goes away: a handler running
  // from it stays alive until it returns, then is destroyed.
  static void Retire(const BinaryMessageHandler* slot) {
    for (RunningHandler* running = innermost_; running;
         running = running->outer_) {
      if (running->slot_ == slot) running->retired_ = true;
    }
  }

 private:
  static RunningHandler* Find(const BinaryMessageHandler* slot) {
    for (RunningHandler* running = innermost_; running;
         running = running->outer_) {
      // A retired frame's slot holds a newer handler, which takes the call.
      if (running->slot_ == slot && !running->retired_ &&
          running->nested_ == &running->handler_) {
        return running;
      }
    }
    return nullptr;
  }

  // Handlers run on the engine's platform thread; the stack is per thread so
  // that a stand-in engine on another thread cannot see it.
  static thread_local RunningHandler* innermost_;

  BinaryMessageHandler* slot_;
  RunningHandler* outer_;
  BinaryMessageHandler handler_;
  const BinaryMessageHandler* nested_;
  bool retired_ = false;
};

thread_local RunningHandler* RunningHandler::innermost_ = nullptr;

void OnEngineMessage(FlutterDesktopMessengerRef messenger,
                     const FlutterDesktopMessage* message,
                     void* user_data) noexcept {
  bool reply_made = false;
  try {
    // The reply owns the one reference taken here; it is released when the
    // last copy of the reply goes, whether the handler keeps one or not.
    BinaryReply reply = MessageResponder(
        new ResponseState(messenger, message->response_handle));
    reply_made = true;
    RunningHandler running(static_cast<BinaryMessageHandler*>(user_data));
    running.handler()(message->message, message->message_size,
                      std::move(reply));
  } catch (...) {
    // Only for the diagnostic: the handler is found by its address.
    const char* channel = message->channel ? message->channel : "";
    internal::ReportException("message handler on channel ", channel,
                              internal::CaughtExceptionText());
    // Without a reply nobody else can answer: an empty response, so that
    // the sender is not left waiting.
    if (!reply_made) {
      try {
        RespondEmpty(messenger, message->response_handle);
      } catch (...) {
        // Thrown inside a handler of a function that may not throw, it
        // would end the application.
        ReportCaughtException("empty reply");
      }
    }
  }
}

// Sends on the engine's thread; an empty reply asks for no answer.
void SendNow(FlutterDesktopMessengerRef engine_messenger,
             const std::string& channel, const uint8_t* message,
             size_t message_size, BinaryReply reply) {
  if (!reply) {
    FlutterDesktopMessengerSend(engine_messenger, channel.c_str(), message,
                                message_size);
    return;
  }
  auto pending = std::make_unique<PendingReply>(PendingReply{std::move(reply)});
  if (FlutterDesktopMessengerSendWithReply(engine_messenger, channel.c_str(),
                                           message, message_size,
                                           &OnEngineReply, pending.get())) {
    pending.release();  // OnEngineReply frees it
  }
}

// Moves the channel's handler out of the table, leaving its entry in place,
// empty. A running handler is not in its entry: it goes when it returns.
BinaryMessageHandler TakeHandler(HandlerTable& handlers,
                                 const std::string& channel) {
  const auto entry = handlers.find(channel);
  if (entry == handlers.end()) return nullptr;
  RunningHandler::Retire(&entry->second);
  BinaryMessageHandler taken = std::move(entry->second);
  entry->second = nullptr;
  return taken;
}

// Points the engine's callback for the channel at the handler the table holds
// for it, or clears it when there is none.
void TellEngine(FlutterDesktopMessengerRef engine_messenger,
                HandlerTable& handlers, const std::string& channel) {
  const auto entry = handlers.find(channel);
  if (entry == handlers.end()) {
    FlutterDesktopMessengerSetCallback(engine_messenger, channel.c_str(),
                                       nullptr, nullptr);
  } else {
    FlutterDesktopMessengerSetCallback(engine_messenger, channel.c_str(),
                                       &OnEngineMessage, &entry->second);
  }
}

}  // namespace

BinaryMessengerImpl::~BinaryMessengerImpl() {
  // One entry at a time, each out of the table before its handler goes, so
  // that a handler's destructor that uses this messenger finds a whole
  // table (and what it installs goes in turn).
  while (!handlers_.empty()) {
    auto entry = handlers_.extract(handlers_.begin());
    RunningHandler::Retire(&entry.mapped());
  }
}

void BinaryMessengerImpl::SendToChannel(const std::string& channel,
                                        const uint8_t* message,
                                        size_t message_size,
                                        BinaryReply reply) const {
  if (task_runner_ && !task_runner_->RunsTasksOnCurrentThread()) {
    // The engine takes messages on its own thread only: the message goes
    // there as a task, after this thread's earlier ones. Refused once the
    // registrar is gone, the task and its reply are destroyed unsent.
    task_runner_->PostTask([engine_messenger = engine_messenger_, channel,
                            bytes = std::vector<uint8_t>(
                                message, message + message_size),
                            reply = std::move(reply)]() mutable {
      SendNow(engine_messenger, channel, bytes.empty() ? nullptr : bytes.data(),
              bytes.size(), std::move(reply));
    });
    return;
  }
  SendNow(engine_messenger_, channel, message, message_size, std::move(reply));
}

void BinaryMessengerImpl::SetChannelHandler(const std::string& channel,
                                            BinaryMessageHandler handler) {
  {
    // The handler being replaced or removed goes first, while its entry (the
    // address the engine holds) stays: its destructor may use the messenger,
    // and this call's change then stands over what it did to this channel.
    BinaryMessageHandler replaced = TakeHandler(handlers_, channel);
  }
  // A handler that destructor installed here gives way too, and goes last,
  // once the engine agrees with the table: its own destructor's calls each
  // bring the engine into line again.
  BinaryMessageHandler displaced = TakeHandler(handlers_, channel);
  if (handler) {
    handlers_[channel] = std::move(handler);
  } else {
    handlers_.erase(channel);
  }
  TellEngine(engine_messenger_, handlers_, channel);
}

}  // namespace flutter
