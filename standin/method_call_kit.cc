#include "method_call_kit.h"

#include <memory>

#include "flutter/method_result.h"
#include "flutter/standard_method_codec.h"

namespace standin {

namespace {

using flutter::EncodableValue;
using Codec = flutter::MethodCodec<EncodableValue>;

const Codec& CodecOrStandard(const Codec* codec) {
  if (codec != nullptr) return *codec;
  return flutter::StandardMethodCodec::GetInstance();
}

// Fills a MethodAnswer from the decoded envelope.
class AnswerRecorder : public flutter::MethodResult<EncodableValue> {
 public:
  explicit AnswerRecorder(MethodAnswer* answer) : answer_(answer) {}

 protected:
  void HandleSuccess(const EncodableValue* value) override {
    answer_->kind = MethodAnswer::Kind::kSuccess;
    if (value) answer_->value = *value;
  }
  void HandleError(const std::string& code, const std::string& message,
                   const EncodableValue* details) override {
    answer_->kind = MethodAnswer::Kind::kError;
    answer_->code = code;
    answer_->message = message;
    if (details) answer_->details = *details;
  }
  void HandleNotImplemented() override {
    answer_->kind = MethodAnswer::Kind::kNotImplemented;
  }

 private:
  MethodAnswer* answer_;
};

}  // namespace

MethodAnswer DecodeAnswer(const Response& response, const Codec* codec) {
  MethodAnswer answer;
  if (!response.delivered) {
    answer.kind = MethodAnswer::Kind::kNoHandler;
  } else if (response.times_sent == 0) {
    answer.kind = MethodAnswer::Kind::kNoAnswerYet;
  } else if (response.bytes.empty()) {
    answer.kind = MethodAnswer::Kind::kNotImplemented;
  } else {
    AnswerRecorder recorder(&answer);
    if (!CodecOrStandard(codec).DecodeResponseEnvelope(
            response.bytes.data(), response.bytes.size(), &recorder)) {
      answer.kind = MethodAnswer::Kind::kUndecodable;
    }
  }
  return answer;
}

MethodAnswer AnswerOf(const Engine& engine, MessageTicket ticket,
                      const Codec* codec) {
  MethodAnswer answer = DecodeAnswer(engine.GetResponse(ticket), codec);
  answer.ticket = ticket;
  return answer;
}

MethodAnswer CallMethod(Engine& engine,
                        FlutterDesktopPluginRegistrarRef registrar,
                        const std::string& channel, const std::string& method,
                        const EncodableValue& arguments, const Codec* codec) {
  const flutter::MethodCall<EncodableValue> call(
      method, std::make_unique<EncodableValue>(arguments));
  const auto message = CodecOrStandard(codec).EncodeMethodCall(call);
  return AnswerOf(engine, engine.Deliver(registrar, channel, *message), codec);
}

}  // namespace standin
