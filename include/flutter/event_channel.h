// EventChannel: serves one stream of events to the application's side of a
// named channel through a StreamHandler.
//
//   flutter::EventChannel<> channel(messenger, "kelmor/ticks",
//                                   &flutter::StandardMethodCodec::GetInstance());
//   channel.SetStreamHandler(std::make_unique<Ticks>());
//
// The application calls "listen" (its arguments configure the stream) and
// "cancel" on the channel, in the channel's method codec; each is answered
// with a success envelope holding null, or with the handler's error. Events
// come back on the same channel, without asking for a reply: a success
// envelope per event, an error envelope per error event, and an empty
// message for the end of the stream. A listen while a stream is active
// cancels that one first (OnCancel with null arguments; its error is
// dropped). A cancel after the stream ended is still the handler's to
// answer: the application cancels its side when its stream ends.
//
// Failure: a message that does not decode writes "Unable to construct method
// call from message on channel " and the name, and gets an empty reply, as
// does any other method. A cancel with no active stream gets the error
// kNoActiveStreamCode, kNoActiveStreamMessage. An exception from the handler
// stops here as "Exception in stream handler on channel ", the name, ": "
// and its text; the call gets the error kUncaughtExceptionCode, and a listen
// that threw leaves no stream active.
// Threads: construct and SetStreamHandler on the messenger's thread, as for
// MethodChannel; the handler runs there; its sinks may be used on any thread.
// Over a registrar's messenger, every event goes out through the registrar's
// task runner, from whichever thread it comes, and whether its stream is
// still the one listened to is decided there, on the engine's thread, as it
// goes out: nothing of a stream reaches the application after its end, its
// cancel or a new listen, or once the registrar is gone.
#ifndef FLUTTER_EVENT_CHANNEL_H_
#define FLUTTER_EVENT_CHANNEL_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "flutter/binary_messenger.h"
#include "flutter/binary_messenger_impl.h"
#include "flutter/callback_guard.h"
#include "flutter/channel_reply.h"
#include "flutter/encodable_value.h"
#include "flutter/event_sink.h"
#include "flutter/method_call.h"
#include "flutter/method_codec.h"
#include "flutter/stream_handler.h"
#include "flutter/stream_handler_functions.h"
#include "flutter/task_runner.h"

namespace flutter {

// The methods through which the application starts and stops its stream.
inline constexpr char kListenMethod[] = "listen";
inline constexpr char kCancelMethod[] = "cancel";

// The error a cancel gets when no stream is active.
inline constexpr char kNoActiveStreamCode[] = "error";
inline constexpr char kNoActiveStreamMessage[] = "No active stream to cancel";

template <typename T = EncodableValue>
class EventChannel {
 public:
  // `messenger` and `codec` are borrowed; the codec must outlive the
  // installed handler, whose sinks encode with it while the handler lives.
  EventChannel(BinaryMessenger* messenger, const std::string& name,
               const MethodCodec<T>* codec)
      : messenger_(messenger), name_(name), codec_(codec) {}

  EventChannel(const EventChannel&) = delete;
  EventChannel& operator=(const EventChannel&) = delete;

  // Installs `handler` for this channel's name, replacing any earlier one;
  // null removes it. The installed handler owns `handler` and outlives this
  // object; once it is replaced or removed, or the messenger goes, its
  // sinks send nothing and `handler` is destroyed (OnCancel is not called).
  void SetStreamHandler(std::unique_ptr<StreamHandler<T>> handler) const {
    if (!handler) {
      messenger_->SetChannelHandler(name_, nullptr);
      return;
    }
    std::shared_ptr<TaskRunner> runner;
    if (const auto* own =
            dynamic_cast<const BinaryMessengerImpl*>(messenger_)) {
      runner = own->task_runner();
    }
    auto installed = std::make_shared<InstalledHandler>(
        messenger_, std::move(runner), name_, codec_, std::move(handler));
    messenger_->SetChannelHandler(
        name_, [installed](const uint8_t* message, size_t message_size,
                           BinaryReply reply) {
          installed->OnMessage(message, message_size, std::move(reply));
        });
  }

 private:
  using Envelope = std::unique_ptr<std::vector<uint8_t>>;

  // What the installed handler and every sink it gave out share: which
  // stream may send, and the messenger while the handler lives. Sends hold
  // the lock, so the handler's destructor, and with it the messenger's,
  // waits for a send in progress. With a task runner, a sink's message goes
  // out as a task, which sends it only if its stream is still the one
  // listened to and not ended; tasks run only while the registrar, and so
  // the messenger, is there.
  class StreamState : public std::enable_shared_from_this<StreamState> {
   public:
    StreamState(BinaryMessenger* messenger, std::shared_ptr<TaskRunner> runner,
                const std::string& name, const MethodCodec<T>* codec)
        : messenger_(messenger),
          runner_(std::move(runner)),
          name_(name),
          codec_(codec) {}

    // A new stream, which replaces any other; gives its id.
    uint64_t Listen() {
      std::lock_guard<std::mutex> lock(mutex_);
      listened_ = ++last_id_;
      open_ = true;
      ended_ = false;
      return listened_;
    }

    // No stream any more; false when there was none.
    bool Cancel() {
      std::lock_guard<std::mutex> lock(mutex_);
      const bool listened = listened_ != 0;
      listened_ = 0;
      open_ = false;
      return listened;
    }

    // The handler is gone: nothing is sent any more.
    void Detach() {
      std::lock_guard<std::mutex> lock(mutex_);
      messenger_ = nullptr;
    }

    // Sends what `encode` makes of the codec while stream `id` is open.
    template <typename Encode>
    void Send(uint64_t id, const Encode& encode) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!IsOpen(id)) return;
      Envelope message = encode(*codec_);
      Deliver(id, std::move(*message), false);
    }

    // Sends the empty message that ends stream `id`, if it is open; the
    // sink's later events are refused from now on.
    void End(uint64_t id) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!IsOpen(id)) return;
      open_ = false;
      Deliver(id, std::vector<uint8_t>(), true);
    }

   private:
    // Called with the lock held. Posting under it keeps the order in which
    // sinks were called.
    void Deliver(uint64_t id, std::vector<uint8_t> bytes, bool ends) {
      if (!runner_) {
        SendNow(bytes, ends);
        return;
      }
      runner_->PostTask([state = this->shared_from_this(), id,
                         bytes = std::move(bytes), ends] {
        std::lock_guard<std::mutex> lock(state->mutex_);
        if (state->messenger_ == nullptr || state->listened_ != id ||
            state->ended_) {
          return;  // cancelled, listened again, or gone since
        }
        state->SendNow(bytes, ends);
      });
    }

    // Called with the lock held.
    void SendNow(const std::vector<uint8_t>& bytes, bool ends) {
      if (ends) ended_ = true;
      messenger_->SendToChannel(name_, bytes.empty() ? nullptr : bytes.data(),
                                bytes.size(), nullptr);
    }

    // Called with the lock held.
    bool IsOpen(uint64_t id) const {
      return messenger_ != nullptr && listened_ == id && open_;
    }

    std::mutex mutex_;
    BinaryMessenger* messenger_;  // null once the handler is gone
    uint64_t listened_ = 0;       // the stream listened to; 0: none
    bool open_ = false;           // its sinks have not ended it
    bool ended_ = false;          // its end went out
    uint64_t last_id_ = 0;
    const std::shared_ptr<TaskRunner> runner_;
    const std::string name_;
    const MethodCodec<T>* codec_;
  };

  // The sink of one stream. It touches only the shared state, and the codec
  // only while the handler lives.
  class Sink : public EventSink<T> {
   public:
    Sink(std::shared_ptr<StreamState> state, uint64_t id)
        : state_(std::move(state)), id_(id) {}

   protected:
    void HandleSuccess(const T& event) override {
      state_->Send(id_, [&event](const MethodCodec<T>& codec) {
        return codec.EncodeSuccessEnvelope(&event);
      });
    }

    void HandleError(const std::string& error_code,
                     const std::string& error_message,
                     const T& error_details) override {
      state_->Send(id_, [&](const MethodCodec<T>& codec) {
        return codec.EncodeErrorEnvelope(error_code, error_message,
                                         &error_details);
      });
    }

    void HandleEndOfStream() override { state_->End(id_); }

   private:
    std::shared_ptr<StreamState> state_;
    uint64_t id_;
  };

  // What the messenger holds, through the copies of one shared pointer; the
  // last copy to go detaches the sinks before the handler is destroyed.
  class InstalledHandler {
   public:
    InstalledHandler(BinaryMessenger* messenger,
                     std::shared_ptr<TaskRunner> runner,
                     const std::string& name, const MethodCodec<T>* codec,
                     std::unique_ptr<StreamHandler<T>> handler)
        : state_(std::make_shared<StreamState>(messenger, std::move(runner),
                                               name, codec)),
          name_(name),
          codec_(codec),
          handler_(std::move(handler)) {}

    ~InstalledHandler() { state_->Detach(); }

    InstalledHandler(const InstalledHandler&) = delete;
    InstalledHandler& operator=(const InstalledHandler&) = delete;

    void OnMessage(const uint8_t* message, size_t message_size,
                   BinaryReply reply) {
      try {
        const std::unique_ptr<MethodCall<T>> call =
            codec_->DecodeMethodCall(message, message_size);
        Envelope answer;  // none: an empty reply
        if (!call) {
          internal::ReportUndecodableCall(name_);
        } else if (call->MethodName() == kListenMethod) {
          answer = Listen(call->Arguments());
        } else if (call->MethodName() == kCancelMethod) {
          answer = Cancel(call->Arguments());
        }
        internal::SendReply(reply, answer.get());
      } catch (...) {
        const std::string text = internal::CaughtExceptionText();
        internal::ReportException("stream handler on channel ", name_, text);
        internal::AnswerUncaughtException(std::move(reply), *codec_, name_,
                                          text);
      }
    }

   private:
    Envelope Listen(const T* arguments) {
      if (state_->Cancel()) handler_->OnCancel(nullptr);
      const uint64_t id = state_->Listen();
      std::unique_ptr<StreamHandlerError<T>> error;
      try {
        error =
            handler_->OnListen(arguments, std::make_unique<Sink>(state_, id));
      } catch (...) {
        state_->Cancel();
        throw;
      }
      if (error) state_->Cancel();  // a stream that failed to start
      return Answer(error);
    }

    Envelope Cancel(const T* arguments) {
      if (!state_->Cancel()) {
        return codec_->EncodeErrorEnvelope(kNoActiveStreamCode,
                                           kNoActiveStreamMessage);
      }
      return Answer(handler_->OnCancel(arguments));
    }

    // Success holding null, or the handler's error.
    Envelope Answer(const std::unique_ptr<StreamHandlerError<T>>& error) {
      if (!error) return codec_->EncodeSuccessEnvelope();
      return codec_->EncodeErrorEnvelope(
          error->error_code, error->error_message, error->error_details.get());
    }

    std::shared_ptr<StreamState> state_;
    std::string name_;
    const MethodCodec<T>* codec_;
    std::unique_ptr<StreamHandler<T>> handler_;
  };

  BinaryMessenger* messenger_;
  std::string name_;
  const MethodCodec<T>* codec_;
};

}  // namespace flutter

#endif  // FLUTTER_EVENT_CHANNEL_H_
