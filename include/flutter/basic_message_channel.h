// BasicMessageChannel: plain values, without method names, both ways on one
// named channel, in a MessageCodec.
//
//   flutter::BasicMessageChannel<> channel(
//       messenger, "kelmor/echo",
//       &flutter::StandardMessageCodec::GetInstance());
//   channel.SetMessageHandler([](const auto& message, const auto& reply) {
//     reply(message);
//   });
//   channel.Send(flutter::EncodableValue("hello"));
//
// The installed handler is self-contained: it stays in the messenger after
// the channel object is gone. Failure: a message that does not decode writes
// "Unable to decode message on channel " and the name, and gets an empty
// reply. An exception from the handler stops here as "Exception in message
// handler on channel ", the name, ": " and its text; a message it left
// unanswered, with no copy of its reply kept, gets an empty reply. A reply
// answered twice sends once: the messenger's reply reports the second.
// Threads: construct and SetMessageHandler on the messenger's thread; Send
// wherever the messenger's SendToChannel may be called; a MessageReply on
// any thread.
#ifndef FLUTTER_BASIC_MESSAGE_CHANNEL_H_
#define FLUTTER_BASIC_MESSAGE_CHANNEL_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "flutter/binary_messenger.h"
#include "flutter/callback_guard.h"
#include "flutter/channel_reply.h"
#include "flutter/encodable_value.h"
#include "flutter/message_codec.h"

namespace flutter {

// Answers one message, once, now or later, from any thread. Copies answer
// the same message.
template <typename T = EncodableValue>
using MessageReply = std::function<void(const T& reply)>;

// Receives a decoded message, lent for the duration of the handler, and the
// reply through which to answer it; keep a copy of the reply to answer
// later.
template <typename T = EncodableValue>
using MessageHandler =
    std::function<void(const T& message, const MessageReply<T>& reply)>;

template <typename T = EncodableValue>
class BasicMessageChannel {
 public:
  // `messenger` and `codec` are borrowed; the codec must outlive every
  // message on the channel, since the installed handler and its replies
  // keep it.
  BasicMessageChannel(BinaryMessenger* messenger, const std::string& name,
                      const MessageCodec<T>* codec)
      : messenger_(messenger), name_(name), codec_(codec) {}

  BasicMessageChannel(const BasicMessageChannel&) = delete;
  BasicMessageChannel& operator=(const BasicMessageChannel&) = delete;

  // Sends `message` without asking for an answer.
  void Send(const T& message) const { Send(message, nullptr); }

  // Sends `message`; `reply` receives the answer's bytes, undecoded, once,
  // on whichever thread the engine answers (null and 0: an empty answer).
  void Send(const T& message, BinaryReply reply) const {
    const std::unique_ptr<std::vector<uint8_t>> bytes =
        codec_->EncodeMessage(message);
    const bool empty = bytes->empty();
    messenger_->SendToChannel(name_, empty ? nullptr : bytes->data(),
                              bytes->size(), std::move(reply));
  }

  // Installs `handler` for this channel's name, replacing any earlier one;
  // an empty handler removes it.
  void SetMessageHandler(MessageHandler<T> handler) const {
    if (!handler) {
      messenger_->SetChannelHandler(name_, nullptr);
      return;
    }
    messenger_->SetChannelHandler(
        name_, InstalledHandler{std::move(handler), codec_, name_});
  }

 private:
  // The reply to one message, shared by the copies of its MessageReply.
  // Every answer goes to the same messenger's reply, one at a time, so that
  // it sends the first and reports the rest.
  class PendingReply {
   public:
    PendingReply(BinaryReply reply, const MessageCodec<T>* codec)
        : reply_(std::move(reply)), codec_(codec) {}

    void Answer(const T& value) {
      const std::unique_ptr<std::vector<uint8_t>> bytes =
          codec_->EncodeMessage(value);
      std::lock_guard<std::mutex> lock(mutex_);
      answered_ = true;
      internal::CallReply(reply_, bytes.get());
    }

    // An empty reply, if nothing answered yet.
    void AnswerEmptyIfUnanswered() {
      std::lock_guard<std::mutex> lock(mutex_);
      if (answered_) return;
      answered_ = true;
      internal::CallReply(reply_, nullptr);
    }

   private:
    std::mutex mutex_;
    const BinaryReply reply_;
    bool answered_ = false;
    const MessageCodec<T>* codec_;
  };

  // What the messenger stores: its own copies of the handler, the codec
  // pointer and the channel name.
  struct InstalledHandler {
    MessageHandler<T> handler;
    const MessageCodec<T>* codec;
    std::string name;

    void operator()(const uint8_t* message, size_t message_size,
                    BinaryReply reply) const {
      std::shared_ptr<PendingReply> pending;
      try {
        const std::unique_ptr<T> value =
            codec->DecodeMessage(message, message_size);
        if (!value) {
          internal::ReportUndecodableMessage(name);
          internal::SendReply(reply, nullptr);
          return;
        }
        pending = std::make_shared<PendingReply>(std::move(reply), codec);
        handler(*value, MessageReply<T>([pending](const T& answer) {
          pending->Answer(answer);
        }));
      } catch (...) {
        internal::ReportException("message handler on channel ", name,
                                  internal::CaughtExceptionText());
        AnswerAbandoned(reply, pending);
      }
    }

    // After an exception, an empty reply to a message that nothing answered
    // and nothing can answer later: no copy of its reply is kept.
    void AnswerAbandoned(
        BinaryReply& reply,
        const std::shared_ptr<PendingReply>& pending) const noexcept {
      try {
        if (reply) {
          internal::SendReply(reply, nullptr);
        } else if (pending && pending.use_count() == 1) {
          pending->AnswerEmptyIfUnanswered();
        }
      } catch (...) {
        internal::ReportException("error reply on channel ", name,
                                  internal::CaughtExceptionText());
      }
    }
  };

  BinaryMessenger* messenger_;
  std::string name_;
  const MessageCodec<T>* codec_;
};

}  // namespace flutter

#endif  // FLUTTER_BASIC_MESSAGE_CHANNEL_H_
