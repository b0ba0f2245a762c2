// StandardMessageCodec: a message is one value in the standard encoding (see
// standard_codec_serializer.h), and an empty message is the null value.
//
//   const auto& codec = flutter::StandardMessageCodec::GetInstance();
//   auto bytes = codec.EncodeMessage(flutter::EncodableValue(1));  // 03 01 00
//   00 00
//
// Failure: as the method codec reads a call's arguments, decoding never
// refuses a message: bytes after the value are ignored, and a value cut
// short or of an unknown type degrades to zeros and nulls with the
// serializer's lines on std::cerr. So DecodeMessage never gives null.
// Threads: any thread, each call with its own bytes, as the serializer
// allows (the default one does); GetInstance too.
#ifndef FLUTTER_STANDARD_MESSAGE_CODEC_H_
#define FLUTTER_STANDARD_MESSAGE_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "flutter/encodable_value.h"
#include "flutter/message_codec.h"
#include "flutter/standard_codec_serializer.h"

namespace flutter {

class StandardMessageCodec : public MessageCodec<EncodableValue> {
 public:
  // The shared codec for `serializer` (the default one when null), made on
  // first use and kept for the life of the process. The serializer must
  // outlive every use of the codec.
  static const StandardMessageCodec& GetInstance(
      const StandardCodecSerializer* serializer = nullptr);

  std::unique_ptr<std::vector<uint8_t>> EncodeMessage(
      const EncodableValue& message) const override;
  std::unique_ptr<EncodableValue> DecodeMessage(
      const uint8_t* message, size_t message_size) const override;

 private:
  explicit StandardMessageCodec(const StandardCodecSerializer* serializer)
      : serializer_(serializer) {}

  const StandardCodecSerializer* serializer_;
};

}  // namespace flutter

#endif  // FLUTTER_STANDARD_MESSAGE_CODEC_H_
