#include "decoded_send.h"

#include <utility>

#include "flutter/standard_message_codec.h"
#include "flutter/standard_method_codec.h"
#include "method_call_kit.h"

namespace standin {

namespace {

using flutter::EncodableValue;
using Kind = DecodedSend::Kind;

// Reads an event envelope as the answer to a call would be read.
void DecodeEvent(const std::vector<uint8_t>& bytes,
                 const flutter::MethodCodec<EncodableValue>* codec,
                 DecodedSend* send) {
  Response response;
  response.delivered = true;
  response.times_sent = 1;
  response.bytes = bytes;
  MethodAnswer answer = DecodeAnswer(response, codec);
  if (answer.IsSuccess()) {
    send->kind = Kind::kEvent;
    send->value = std::move(answer.value);
  } else if (answer.IsError()) {
    send->kind = Kind::kErrorEvent;
    send->code = std::move(answer.code);
    send->message = std::move(answer.message);
    send->details = std::move(answer.details);
  }
}

}  // namespace

DecodedSend DecodeSend(
    const SentMessage& sent, SendKind kind, size_t index,
    const flutter::MethodCodec<EncodableValue>* method_codec,
    const flutter::MessageCodec<EncodableValue>* message_codec) {
  if (method_codec == nullptr) {
    method_codec = &flutter::StandardMethodCodec::GetInstance();
  }
  if (message_codec == nullptr) {
    message_codec = &flutter::StandardMessageCodec::GetInstance();
  }
  DecodedSend send;
  send.channel = sent.channel;
  send.index = index;
  const std::vector<uint8_t>& bytes = sent.message;
  switch (kind) {
    case SendKind::kMethodCall: {
      const auto call = method_codec->DecodeMethodCall(
          bytes.empty() ? nullptr : bytes.data(), bytes.size());
      if (call) {
        send.kind = Kind::kMethodCall;
        send.method = call->MethodName();
        if (call->Arguments()) send.value = *call->Arguments();
      }
      break;
    }
    case SendKind::kEvent: {
      if (bytes.empty()) {
        send.kind = Kind::kEndOfStream;
        break;
      }
      DecodeEvent(bytes, method_codec, &send);
      break;
    }
    case SendKind::kMessage: {
      const auto value = message_codec->DecodeMessage(
          bytes.empty() ? nullptr : bytes.data(), bytes.size());
      if (value) {
        send.kind = Kind::kMessage;
        send.value = *value;
      }
      break;
    }
  }
  return send;
}

std::vector<DecodedSend> SendsOn(
    const Engine& engine, const std::string& channel, SendKind kind,
    size_t first, const flutter::MethodCodec<EncodableValue>* method_codec,
    const flutter::MessageCodec<EncodableValue>* message_codec) {
  std::vector<DecodedSend> decoded;
  const std::vector<SentMessage> sends = engine.SendsSince(first);
  for (size_t i = 0; i < sends.size(); ++i) {
    if (sends[i].channel != channel) continue;
    decoded.push_back(
        DecodeSend(sends[i], kind, first + i, method_codec, message_codec));
  }
  return decoded;
}

}  // namespace standin
