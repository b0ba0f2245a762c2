// MethodCodec: turns method calls and their answers into bytes and back.
#ifndef FLUTTER_METHOD_CODEC_H_
#define FLUTTER_METHOD_CODEC_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "flutter/method_call.h"
#include "flutter/method_result.h"

namespace flutter {

template <typename T>
class MethodCodec {
 public:
  MethodCodec() = default;
  virtual ~MethodCodec() = default;

  MethodCodec(const MethodCodec&) = delete;
  MethodCodec& operator=(const MethodCodec&) = delete;

  // None when the message does not hold a method call.
  virtual std::unique_ptr<MethodCall<T>> DecodeMethodCall(
      const uint8_t* message, size_t message_size) const = 0;

  virtual std::unique_ptr<std::vector<uint8_t>> EncodeMethodCall(
      const MethodCall<T>& method_call) const = 0;

  // `result` may be null: a success without a value.
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeSuccessEnvelope(
      const T* result = nullptr) const = 0;

  // `error_details` may be null.
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeErrorEnvelope(
      const std::string& error_code, const std::string& error_message = "",
      const T* error_details = nullptr) const = 0;

  // Calls `result` with what the envelope holds. False, and `result` left
  // untouched, when the envelope is not understood. Empty bytes are not a
  // "not implemented" answer here (the caller sees those before decoding):
  // the standard codec reads them as a success without a value, after two
  // invalid-read lines.
  virtual bool DecodeResponseEnvelope(const uint8_t* response,
                                      size_t response_size,
                                      MethodResult<T>* result) const = 0;
};

}  // namespace flutter

#endif  // FLUTTER_METHOD_CODEC_H_
