// RecordingResult: a MethodResult that records what it was answered with,
// for tests of code that answers results or decodes replies.
//
//   standin::RecordingResult result;
//   codec.DecodeResponseEnvelope(bytes.data(), bytes.size(), &result);
//   EXPECT_EQ(result.kind, standin::RecordingResult::Kind::kSuccess);
//
// Every answer is recorded: `calls` counts them, the fields hold the last.
#ifndef STANDIN_RECORDING_RESULT_H_
#define STANDIN_RECORDING_RESULT_H_

#include <optional>
#include <string>

#include "flutter/encodable_value.h"
#include "flutter/method_result.h"

namespace standin {

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
    value.reset();
    code.clear();
    message.clear();
    if (payload) value = *payload;
  }
};

}  // namespace standin

#endif  // STANDIN_RECORDING_RESULT_H_
