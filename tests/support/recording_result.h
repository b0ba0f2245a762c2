// A MethodResult that records what it was answered with.
#ifndef TESTS_SUPPORT_RECORDING_RESULT_H_
#define TESTS_SUPPORT_RECORDING_RESULT_H_

#include <optional>
#include <string>

#include "flutter/encodable_value.h"
#include "flutter/method_result.h"

namespace kelmor_test {

class RecordingResult : public flutter::MethodResult<flutter::EncodableValue> {
 public:
  enum class Kind { kNone, kSuccess, kError, kNotImplemented };

  Kind kind = Kind::kNone;
  int calls = 0;
  std::optional<flutter::EncodableValue> value;  // success value or details
  std::string code;
  std::string message;

 protected:
  void HandleSuccess(const flutter::EncodableValue* result) override {
    Record(Kind::kSuccess, result);
  }
  void HandleError(const std::string& error_code,
                   const std::string& error_message,
                   const flutter::EncodableValue* details) override {
    Record(Kind::kError, details);
    code = error_code;
    message = error_message;
  }
  void HandleNotImplemented() override {
    Record(Kind::kNotImplemented, nullptr);
  }

 private:
  void Record(Kind answered, const flutter::EncodableValue* payload) {
    kind = answered;
    ++calls;
    if (payload) value = *payload;
  }
};

}  // namespace kelmor_test

#endif  // TESTS_SUPPORT_RECORDING_RESULT_H_
