// MessageCodec: turns single values into message bytes and back, for
// channels that carry plain values rather than method calls.
//
//   auto bytes = codec.EncodeMessage(flutter::EncodableValue("hi"));
//   std::unique_ptr<flutter::EncodableValue> value =
//       codec.DecodeMessage(bytes->data(), bytes->size());
//
// Failure: DecodeMessage gives null for bytes that do not hold a value of
// the codec; what it writes is the implementation's to say.
// Threads: codecs keep no state between calls; any thread, each with its own
// bytes, as the implementation allows.
#ifndef FLUTTER_MESSAGE_CODEC_H_
#define FLUTTER_MESSAGE_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace flutter {

template <typename T>
class MessageCodec {
 public:
  MessageCodec() = default;
  virtual ~MessageCodec() = default;

  MessageCodec(const MessageCodec&) = delete;
  MessageCodec& operator=(const MessageCodec&) = delete;

  // New bytes, owned by the caller.
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeMessage(
      const T& message) const = 0;

  // `message` may be null when `message_size` is 0. Null when the bytes do
  // not decode.
  virtual std::unique_ptr<T> DecodeMessage(const uint8_t* message,
                                           size_t message_size) const = 0;
};

}  // namespace flutter

#endif  // FLUTTER_MESSAGE_CODEC_H_
