// StreamHandlerFunctions: a StreamHandler made of two callables, for callers
// that would rather pass lambdas than write a class.
//
//   auto handler = std::make_unique<flutter::StreamHandlerFunctions<>>(
//       [](const flutter::EncodableValue* arguments,
//          std::unique_ptr<flutter::EventSink<>>&& events)
//           -> std::unique_ptr<flutter::StreamHandlerError<>> { ... },
//       [](const flutter::EncodableValue* arguments)
//           -> std::unique_ptr<flutter::StreamHandlerError<>> { ... });
//
// Failure: an empty callable succeeds (an empty listen drops the sink).
// Threads: as StreamHandler: the messenger's thread.
#ifndef FLUTTER_STREAM_HANDLER_FUNCTIONS_H_
#define FLUTTER_STREAM_HANDLER_FUNCTIONS_H_

#include <functional>
#include <memory>
#include <utility>

#include "flutter/encodable_value.h"
#include "flutter/event_sink.h"
#include "flutter/stream_handler.h"

namespace flutter {

template <typename T = EncodableValue>
class StreamHandlerFunctions : public StreamHandler<T> {
 public:
  using ListenHandler = std::function<std::unique_ptr<StreamHandlerError<T>>(
      const T* arguments, std::unique_ptr<EventSink<T>>&& events)>;
  using CancelHandler =
      std::function<std::unique_ptr<StreamHandlerError<T>>(const T* arguments)>;

  StreamHandlerFunctions(ListenHandler on_listen, CancelHandler on_cancel)
      : on_listen_(std::move(on_listen)), on_cancel_(std::move(on_cancel)) {}

 protected:
  std::unique_ptr<StreamHandlerError<T>> OnListenInternal(
      const T* arguments, std::unique_ptr<EventSink<T>>&& events) override {
    if (!on_listen_) return nullptr;
    return on_listen_(arguments, std::move(events));
  }

  std::unique_ptr<StreamHandlerError<T>> OnCancelInternal(
      const T* arguments) override {
    if (!on_cancel_) return nullptr;
    return on_cancel_(arguments);
  }

 private:
  ListenHandler on_listen_;
  CancelHandler on_cancel_;
};

}  // namespace flutter

#endif  // FLUTTER_STREAM_HANDLER_FUNCTIONS_H_
