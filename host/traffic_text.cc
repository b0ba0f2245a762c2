#include "traffic_text.h"

#include <cstdint>
#include <sstream>
#include <vector>

#include "flutter/method_result.h"
#include "flutter/standard_method_codec.h"
#include "value_text.h"

namespace kelmor_host {

namespace {

using flutter::EncodableValue;

// Turns a decoded reply envelope into the line the host prints.
class ReplyPrinter : public flutter::MethodResult<EncodableValue> {
 public:
  ReplyText text;

 protected:
  void HandleSuccess(const EncodableValue* result) override {
    text.success = true;
    text.line =
        "success " + (result ? ValueToText(*result) : std::string("null"));
  }
  void HandleError(const std::string& code, const std::string& message,
                   const EncodableValue* details) override {
    text.line = "error code=" + QuoteText(code) +
                " message=" + QuoteText(message) +
                " details=" + (details ? ValueToText(*details) : "null");
  }
  void HandleNotImplemented() override { text.line = "not implemented"; }
};

// Each byte as " XX".
std::string Hex(const std::vector<uint8_t>& bytes) {
  std::ostringstream out;
  out << std::hex << std::uppercase;
  for (uint8_t byte : bytes) out << (byte < 16 ? " 0" : " ") << int(byte);
  return out.str();
}

}  // namespace

ReplyText DescribeResponse(const standin::Response& response) {
  if (!response.delivered) return {false, "no handler on the channel"};
  if (response.times_sent == 0) return {false, "no reply"};
  if (response.bytes.empty()) return {false, "not implemented"};
  ReplyPrinter printer;
  if (!flutter::StandardMethodCodec::GetInstance().DecodeResponseEnvelope(
          response.bytes.data(), response.bytes.size(), &printer)) {
    return {false, "undecodable reply" + Hex(response.bytes)};
  }
  return printer.text;
}

SentText DescribeSent(const standin::SentMessage& message) {
  const std::string channel = QuoteText(message.channel);
  const auto call =
      flutter::StandardMethodCodec::GetInstance().DecodeMethodCall(
          message.message.data(), message.message.size());
  if (!call) {
    return {false, "application message on " + channel + ": undecodable, " +
                       std::to_string(message.message.size()) +
                       " bytes:" + Hex(message.message)};
  }
  std::string line = "application call on " + channel + ": " +
                     MethodNameText(call->MethodName()) + " " +
                     (call->Arguments() ? ValueToText(*call->Arguments())
                                        : std::string("null"));
  if (!message.wants_reply) line += " (no reply wanted)";
  return {true, line};
}

std::string MethodNameText(const std::string& name) {
  bool plain = !name.empty();
  for (unsigned char c : name) {
    if (c <= ' ' || c == 0x7F || c == '"' || c == '\\') plain = false;
  }
  return plain ? name : QuoteText(name);
}

}  // namespace kelmor_host
