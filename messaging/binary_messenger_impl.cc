#include "flutter/binary_messenger_impl.h"

#include <iostream>
#include <memory>
#include <utility>

namespace flutter {

namespace {

// The caller's reply, owned by the engine's pending send until it answers.
struct PendingReply {
  BinaryReply reply;
};

void OnEngineReply(const uint8_t* data, size_t data_size, void* user_data) {
  std::unique_ptr<PendingReply> pending(static_cast<PendingReply*>(user_data));
  pending->reply(data, data_size);
}

using SharedMessenger = std::shared_ptr<FlutterDesktopMessenger>;

// The reply to one incoming message. Copies share one reference on the
// engine messenger (released with the last copy) and each answers at most
// once.
class MessageResponder {
 public:
  MessageResponder(SharedMessenger messenger,
                   const FlutterDesktopMessageResponseHandle* response_handle)
      : messenger_(std::move(messenger)), response_handle_(response_handle) {}

  void operator()(const uint8_t* reply, size_t reply_size) {
    FlutterDesktopMessengerRef locked =
        FlutterDesktopMessengerLock(messenger_.get());
    if (FlutterDesktopMessengerIsAvailable(messenger_.get())) {
      Respond(reply, reply_size);
    }
    if (locked != nullptr) FlutterDesktopMessengerUnlock(locked);
  }

 private:
  // Runs under the engine messenger's lock.
  void Respond(const uint8_t* reply, size_t reply_size) {
    if (response_handle_ == nullptr) {
      std::cerr << "Error: Response can be set only once. Ignoring "
                   "duplicate response."
                << std::endl;
      return;
    }
    FlutterDesktopMessengerSendResponse(messenger_.get(), response_handle_,
                                        reply, reply_size);
    response_handle_ = nullptr;
  }

  SharedMessenger messenger_;
  const FlutterDesktopMessageResponseHandle* response_handle_;
};

void OnEngineMessage(FlutterDesktopMessengerRef messenger,
                     const FlutterDesktopMessage* message, void* user_data) {
  // The reply owns the one reference taken here; it is released when the
  // last copy of the reply goes, whether the handler keeps one or not.
  BinaryReply reply =
      MessageResponder(SharedMessenger(FlutterDesktopMessengerAddRef(messenger),
                                       &FlutterDesktopMessengerRelease),
                       message->response_handle);
  const auto& handler = *static_cast<BinaryMessageHandler*>(user_data);
  handler(message->message, message->message_size, std::move(reply));
}

}  // namespace

void BinaryMessengerImpl::SendToChannel(const std::string& channel,
                                        const uint8_t* message,
                                        size_t message_size,
                                        BinaryReply reply) const {
  if (!reply) {
    FlutterDesktopMessengerSend(engine_messenger_, channel.c_str(), message,
                                message_size);
    return;
  }
  auto pending = std::make_unique<PendingReply>(PendingReply{reply});
  if (FlutterDesktopMessengerSendWithReply(engine_messenger_, channel.c_str(),
                                           message, message_size,
                                           &OnEngineReply, pending.get())) {
    pending.release();  // OnEngineReply frees it
  }
}

void BinaryMessengerImpl::SetChannelHandler(const std::string& channel,
                                            BinaryMessageHandler handler) {
  if (!handler) {
    handlers_.erase(channel);
    FlutterDesktopMessengerSetCallback(engine_messenger_, channel.c_str(),
                                       nullptr, nullptr);
    return;
  }
  BinaryMessageHandler& stored = handlers_[channel];
  stored = nullptr;  // the old handler goes before the new one moves in
  stored = std::move(handler);
  FlutterDesktopMessengerSetCallback(engine_messenger_, channel.c_str(),
                                     &OnEngineMessage, &stored);
}

}  // namespace flutter
