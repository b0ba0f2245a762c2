// StreamHandler: starts and stops the one stream of events that an event
// channel serves, and StreamHandlerError, what it returns when it cannot.
//
//   class Ticks : public flutter::StreamHandler<> {
//    protected:
//     std::unique_ptr<flutter::StreamHandlerError<>> OnListenInternal(
//         const flutter::EncodableValue* arguments,
//         std::unique_ptr<flutter::EventSink<>>&& events) override { ... }
//     std::unique_ptr<flutter::StreamHandlerError<>> OnCancelInternal(
//         const flutter::EncodableValue* arguments) override { ... }
//   };
//
// Failure: a returned error is the answer the application gets to its listen
// or cancel; nothing is written here. Threads: the channel calls OnListen
// and OnCancel on the messenger's thread, one at a time.
#ifndef FLUTTER_STREAM_HANDLER_H_
#define FLUTTER_STREAM_HANDLER_H_

#include <memory>
#include <string>
#include <utility>

#include "flutter/encodable_value.h"
#include "flutter/event_sink.h"

namespace flutter {

// Why a listen or cancel failed: the application receives the code, the
// message and the details (null when none) as an error.
template <typename T = EncodableValue>
struct StreamHandlerError {
  StreamHandlerError(const std::string& code, const std::string& message,
                     std::unique_ptr<T> details)
      : error_code(code),
        error_message(message),
        error_details(std::move(details)) {}

  std::string error_code;
  std::string error_message;
  std::unique_ptr<T> error_details;
};

template <typename T = EncodableValue>
class StreamHandler {
 public:
  StreamHandler() = default;
  virtual ~StreamHandler() = default;

  StreamHandler(const StreamHandler&) = delete;
  StreamHandler& operator=(const StreamHandler&) = delete;

  // The application listens; `arguments` (lent, null when none) configure
  // the stream. The handler owns `events` and sends through it, now or
  // later, from any thread. Null for success.
  std::unique_ptr<StreamHandlerError<T>> OnListen(
      const T* arguments, std::unique_ptr<EventSink<T>>&& events) {
    return OnListenInternal(arguments, std::move(events));
  }

  // The application stops listening, or listens anew (then `arguments` is
  // null). The stream's sink already sends nothing. Null for success.
  std::unique_ptr<StreamHandlerError<T>> OnCancel(const T* arguments) {
    return OnCancelInternal(arguments);
  }

 protected:
  virtual std::unique_ptr<StreamHandlerError<T>> OnListenInternal(
      const T* arguments, std::unique_ptr<EventSink<T>>&& events) = 0;
  virtual std::unique_ptr<StreamHandlerError<T>> OnCancelInternal(
      const T* arguments) = 0;
};

}  // namespace flutter

#endif  // FLUTTER_STREAM_HANDLER_H_
