// StandardMethodCodec: method calls and reply envelopes as short runs of
// values in the standard encoding.
//
//   call    = string method name, arguments value (null when none)
//   success = 0x00, result value (null when none)
//   error   = 0x01, string code, message (null when empty), details value
// A method that is not implemented is answered with an empty reply.
//
// Each encoding returns a buffer of its own whose capacity is at most twice
// its size and 4 KiB.
//
// Failure: a message that does not start with a string gives no call and the
// line "Invalid method call; method name is not a string."; a malformed
// error envelope gives false and the line "Invalid error envelope; code is
// not a string or message is neither a string nor null.".
//
// Threads: the shared codecs keep no state between calls; any thread, each
// call with its own bytes.
#ifndef FLUTTER_STANDARD_METHOD_CODEC_H_
#define FLUTTER_STANDARD_METHOD_CODEC_H_

#include "flutter/encodable_value.h"
#include "flutter/method_codec.h"
#include "flutter/standard_codec_serializer.h"

namespace flutter {

constexpr uint8_t kSuccessEnvelopeFlag = 0;
constexpr uint8_t kErrorEnvelopeFlag = 1;

class StandardMethodCodec : public MethodCodec<EncodableValue> {
 public:
  // The shared codec for `serializer` (the default one when null), made on
  // first use and kept for the life of the process. The serializer must
  // outlive every use of the codec.
  static const StandardMethodCodec& GetInstance(
      const StandardCodecSerializer* serializer = nullptr);

  std::unique_ptr<MethodCall<EncodableValue>> DecodeMethodCall(
      const uint8_t* message, size_t message_size) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeMethodCall(
      const MethodCall<EncodableValue>& method_call) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeSuccessEnvelope(
      const EncodableValue* result = nullptr) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeErrorEnvelope(
      const std::string& error_code, const std::string& error_message = "",
      const EncodableValue* error_details = nullptr) const override;
  bool DecodeResponseEnvelope(
      const uint8_t* response, size_t response_size,
      MethodResult<EncodableValue>* result) const override;

 private:
  explicit StandardMethodCodec(const StandardCodecSerializer* serializer)
      : serializer_(serializer) {}

  const StandardCodecSerializer* serializer_;
};

}  // namespace flutter

#endif  // FLUTTER_STANDARD_METHOD_CODEC_H_
