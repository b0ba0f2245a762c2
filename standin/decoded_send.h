// The messages a plugin sent, decoded into values, so that a test compares
// values rather than bytes.
//
//   for (const standin::DecodedSend& event :
//        standin::SendsOn(engine, "ticks", standin::SendKind::kEvent)) {
//     EXPECT_EQ(event.kind, standin::DecodedSend::Kind::kEvent);
//   }
//
// The engine sees bytes and a channel name, not the kind of channel that
// sent them, and the same bytes may read as a call, an event envelope or a
// plain value. So the test says which kind it expects, and the bytes are
// read as that kind only; bytes the codec refuses as it are kUndecodable.
// The standard codecs read on past bad bytes with nulls, so bytes of another
// kind may still read as something: name the kind the channel is.
#ifndef STANDIN_DECODED_SEND_H_
#define STANDIN_DECODED_SEND_H_

#include <cstddef>
#include <string>
#include <vector>

#include "flutter/encodable_value.h"
#include "flutter/message_codec.h"
#include "flutter/method_codec.h"
#include "standin_engine.h"

namespace standin {

// What the test expects a channel to carry.
enum class SendKind {
  kMethodCall,  // MethodChannel::InvokeMethod: a call in the method codec
  kEvent,       // an EventSink: envelopes in the method codec, or empty
  kMessage,     // BasicMessageChannel::Send: a value in the message codec
};

struct DecodedSend {
  enum class Kind {
    kMethodCall,   // `method` and its arguments in `value`
    kEvent,        // an event: its value in `value`
    kErrorEvent,   // an error event: `code`, `message` and `details`
    kEndOfStream,  // an empty message on an event channel
    kMessage,      // a plain value in `value`
    kUndecodable,  // the bytes do not read as the expected kind
  };

  Kind kind = Kind::kUndecodable;
  std::string channel;
  size_t index = 0;  // in engine.Sends(), for engine.AnswerSend
  std::string method;
  flutter::EncodableValue value;
  std::string code;
  std::string message;
  flutter::EncodableValue details;
};

// Reads `sent` as `kind`, with `method_codec` or `message_codec` (the
// standard ones by default). `index` is copied into the result.
DecodedSend DecodeSend(
    const SentMessage& sent, SendKind kind, size_t index = 0,
    const flutter::MethodCodec<flutter::EncodableValue>* method_codec = nullptr,
    const flutter::MessageCodec<flutter::EncodableValue>* message_codec =
        nullptr);

// The sends on `channel` from send index `first` on, in order, each read as
// `kind`.
std::vector<DecodedSend> SendsOn(
    const Engine& engine, const std::string& channel, SendKind kind,
    size_t first = 0,
    const flutter::MethodCodec<flutter::EncodableValue>* method_codec = nullptr,
    const flutter::MessageCodec<flutter::EncodableValue>* message_codec =
        nullptr);

}  // namespace standin

#endif  // STANDIN_DECODED_SEND_H_
