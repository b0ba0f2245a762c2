// MethodChannel: decodes the calls arriving on one named channel and hands
// each to a MethodCallHandler with a one-shot result.
//
//   flutter::MethodChannel<> channel(messenger, "kelmor",
//                                    &flutter::StandardMethodCodec::GetInstance());
//   channel.SetCallHandler([](const auto& call, auto result) {
//     result->NotImplemented();
//   });
//
// The installed handler is self-contained: it stays in the messenger after
// the channel object is gone. A message that does not decode writes "Unable
// to construct method call from message on channel " and the channel name,
// and is answered with an empty reply. An exception from the handler stops
// at the channel with the line "Exception in method call handler on channel
// ", the name, ": " and the exception's text; a call it left unanswered,
// with its result destroyed, is answered once with the error
// kUncaughtExceptionCode. A result that was answered, or that lives on
// elsewhere, sends nothing more.
//
// Threads: construct and SetCallHandler on the engine's thread, where the
// handler runs; InvokeMethod from any thread (the messenger carries the call
// over to the engine's thread), its answer coming on the engine's thread,
// but for a call refused once the registrar is gone, answered kNoReplyCode
// on the calling thread before InvokeMethod returns.
#ifndef FLUTTER_METHOD_CHANNEL_H_
#define FLUTTER_METHOD_CHANNEL_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "flutter/binary_messenger.h"
#include "flutter/callback_guard.h"
#include "flutter/channel_reply.h"
#include "flutter/encodable_value.h"
#include "flutter/engine_method_result.h"
#include "flutter/method_call.h"
#include "flutter/method_codec.h"
#include "flutter/method_result.h"

namespace flutter {

// Receives a decoded call, lent for the duration of the handler, and owns
// the result through which it answers, now or later.
template <typename T = EncodableValue>
using MethodCallHandler = std::function<void(
    const MethodCall<T>& call, std::unique_ptr<MethodResult<T>> result)>;

// Error codes that InvokeMethod gives its result when no answer can come:
// the engine refused the call, or dropped its reply without calling it
// (kNoReplyCode); the answer was not an envelope the codec understands
// (kInvalidReplyCode).
inline constexpr char kNoReplyCode[] = "no_reply";
inline constexpr char kInvalidReplyCode[] = "invalid_reply";

template <typename T = EncodableValue>
class MethodChannel {
 public:
  // `messenger` and `codec` are borrowed; the codec must outlive every
  // message on the channel, since the installed handler keeps it.
  MethodChannel(BinaryMessenger* messenger, const std::string& name,
                const MethodCodec<T>* codec)
      : messenger_(messenger), name_(name), codec_(codec) {}

  MethodChannel(const MethodChannel&) = delete;
  MethodChannel& operator=(const MethodChannel&) = delete;

  // Installs `handler` for this channel's name, replacing any earlier one;
  // an empty handler removes it.
  void SetCallHandler(MethodCallHandler<T> handler) const {
    if (!handler) {
      messenger_->SetChannelHandler(name_, nullptr);
      return;
    }
    messenger_->SetChannelHandler(
        name_, MessageHandler{std::move(handler), codec_, name_});
  }

  // Calls `method` on the application's side of the channel. With a
  // `result`, the answer reaches it exactly once, on whichever thread the
  // engine answers: Success or Error as decoded, NotImplemented for an empty
  // reply, and Error with kNoReplyCode when no answer can come (then, if the
  // engine refused the call, before InvokeMethod returns). Without one, the
  // call is sent without asking for a reply.
  void InvokeMethod(const std::string& method, std::unique_ptr<T> arguments,
                    std::unique_ptr<MethodResult<T>> result = nullptr) const {
    const MethodCall<T> call(method, std::move(arguments));
    const std::unique_ptr<std::vector<uint8_t>> message =
        codec_->EncodeMethodCall(call);
    BinaryReply reply;
    if (result) {
      reply = [pending =
                   std::make_shared<PendingCall>(std::move(result), codec_)](
                  const uint8_t* bytes, size_t size) {
        pending->Answer(bytes, size);
      };
    }
    messenger_->SendToChannel(name_, message->data(), message->size(),
                              std::move(reply));
  }

 private:
  // The result of one call to the application's side, shared by the copies
  // of its reply; the last copy to go tells an unanswered result so.
  class PendingCall {
   public:
    PendingCall(std::unique_ptr<MethodResult<T>> result,
                const MethodCodec<T>* codec)
        : result_(std::move(result)), codec_(codec) {}

    ~PendingCall() {
      if (answered_) return;
      try {
        result_->Error(kNoReplyCode,
                       "The engine refused the call or dropped its reply.");
      } catch (...) {
        ReportCaughtException("method call result");
      }
    }

    PendingCall(const PendingCall&) = delete;
    PendingCall& operator=(const PendingCall&) = delete;

    void Answer(const uint8_t* bytes, size_t size) {
      if (answered_) return;
      answered_ = true;
      Watched watched(result_.get());
      try {
        if (size == 0) {
          watched.NotImplemented();
        } else if (!codec_->DecodeResponseEnvelope(bytes, size, &watched)) {
          watched.Error(kInvalidReplyCode,
                        "The reply is not an envelope of the channel's codec.");
        }
      } catch (...) {
        // A codec that throws while decoding still leaves one answer.
        if (watched.called) throw;
        result_->Error(kInvalidReplyCode, internal::CaughtExceptionText());
      }
    }

   private:
    // Passes answers on to the caller's result, noting that one came.
    class Watched : public MethodResult<T> {
     public:
      explicit Watched(MethodResult<T>* result) : result_(result) {}
      bool called = false;

     protected:
      void HandleSuccess(const T* value) override {
        called = true;
        value ? result_->Success(*value) : result_->Success();
      }
      void HandleError(const std::string& code, const std::string& message,
                       const T* details) override {
        called = true;
        details ? result_->Error(code, message, *details)
                : result_->Error(code, message);
      }
      void HandleNotImplemented() override {
        called = true;
        result_->NotImplemented();
      }

     private:
      MethodResult<T>* result_;
    };

    std::unique_ptr<MethodResult<T>> result_;
    const MethodCodec<T>* codec_;
    bool answered_ = false;
  };

  // What the messenger stores: its own copies of the handler, the codec
  // pointer and the channel name.
  struct MessageHandler {
    MethodCallHandler<T> handler;
    const MethodCodec<T>* codec;
    std::string name;

    void operator()(const uint8_t* message, size_t message_size,
                    BinaryReply reply) const {
      internal::ReplyRescue rescue;
      try {
        auto result =
            std::make_unique<EngineMethodResult<T>>(std::move(reply), codec);
        rescue.Watch(result.get());
        std::unique_ptr<MethodCall<T>> call =
            codec->DecodeMethodCall(message, message_size);
        if (!call) {
          internal::ReportUndecodableCall(name);
          result->NotImplemented();
          return;
        }
        handler(*call, std::move(result));
      } catch (...) {
        const std::string text = internal::CaughtExceptionText();
        internal::ReportException("method call handler on channel ", name,
                                  text);
        // The reply is still here if the result could not even be made.
        internal::AnswerUncaughtException(
            reply ? std::move(reply) : rescue.TakeReply(), *codec, name, text);
      }
    }
  };

  BinaryMessenger* messenger_;
  std::string name_;
  const MethodCodec<T>* codec_;
};

}  // namespace flutter

#endif  // FLUTTER_METHOD_CHANNEL_H_
