// EventSink: where a stream handler puts the events of one stream, for the
// application's side to receive on the stream's channel.
//
//   events->Success(flutter::EncodableValue(42));
//   events->Error("unavailable", "The sensor went away.");
//   events->EndOfStream();
//
// Failure: none is reported. A sink whose stream has ended, was cancelled or
// replaced, or whose channel handler is gone sends nothing and stays safe to
// call. Threads: any thread, for as long as the sink lives.
#ifndef FLUTTER_EVENT_SINK_H_
#define FLUTTER_EVENT_SINK_H_

#include <string>

#include "flutter/encodable_value.h"

namespace flutter {

template <typename T = EncodableValue>
class EventSink {
 public:
  EventSink() = default;
  virtual ~EventSink() = default;

  EventSink(const EventSink&) = delete;
  EventSink& operator=(const EventSink&) = delete;

  // One event of the stream.
  void Success(const T& event) { HandleSuccess(event); }

  // One error event; the stream goes on.
  void Error(const std::string& error_code,
             const std::string& error_message = "",
             const T& error_details = T()) {
    HandleError(error_code, error_message, error_details);
  }

  // Ends the stream: nothing after it is sent.
  void EndOfStream() { HandleEndOfStream(); }

 protected:
  virtual void HandleSuccess(const T& event) = 0;
  virtual void HandleError(const std::string& error_code,
                           const std::string& error_message,
                           const T& error_details) = 0;
  virtual void HandleEndOfStream() = 0;
};

}  // namespace flutter

#endif  // FLUTTER_EVENT_SINK_H_
