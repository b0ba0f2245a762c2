#include "flutter/standard_method_codec.h"

#include <algorithm>
#include <iostream>

#include "flutter/byte_buffer_streams.h"
#include "message_size.h"
#include "shared_codec.h"

namespace flutter {

namespace {

// A new buffer, with room made for about the whole message so that it is
// usually one allocation, and a writer over it; the writer borrows the
// buffer.
struct Envelope {
  // Room for `value` written `offset` bytes into the message.
  Envelope(const StandardCodecSerializer& serializer,
           const EncodableValue& value, size_t offset) {
    bool guessed = false;
    const size_t size =
        internal::EstimatedEnd(serializer, value, offset, &guessed);
    bytes->reserve(guessed ? std::min(size, internal::kMaxGuess) : size);
  }

  // The written message. A guess fooled by its sample may have made room
  // for many times the message.
  std::unique_ptr<std::vector<uint8_t>> Finish() {
    internal::TrimUnusedRoom(bytes.get());
    return std::move(bytes);
  }

  std::unique_ptr<std::vector<uint8_t>> bytes =
      std::make_unique<std::vector<uint8_t>>();
  ByteBufferStreamWriter writer{bytes.get()};
};

}  // namespace

const StandardMethodCodec& StandardMethodCodec::GetInstance(
    const StandardCodecSerializer* serializer) {
  return internal::SharedCodec<StandardMethodCodec>(
      serializer, [](const StandardCodecSerializer* shared) {
        return new StandardMethodCodec(shared);
      });
}

std::unique_ptr<MethodCall<EncodableValue>>
StandardMethodCodec::DecodeMethodCall(const uint8_t* message,
                                      size_t message_size) const {
  ByteBufferStreamReader reader(message, message_size);
  EncodableValue name = serializer_->ReadValue(&reader);
  auto* method_name = std::get_if<std::string>(&name);
  if (method_name == nullptr) {
    std::cerr << "Invalid method call; method name is not a string."
              << std::endl;
    return nullptr;
  }
  auto arguments =
      std::make_unique<EncodableValue>(serializer_->ReadValue(&reader));
  return std::make_unique<MethodCall<EncodableValue>>(std::move(*method_name),
                                                      std::move(arguments));
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeMethodCall(
    const MethodCall<EncodableValue>& method_call) const {
  const EncodableValue name(method_call.MethodName());
  const EncodableValue null_value;
  const EncodableValue& arguments =
      method_call.Arguments() ? *method_call.Arguments() : null_value;
  Envelope envelope(*serializer_, arguments, serializer_->EncodedEnd(name));
  serializer_->WriteValue(name, &envelope.writer);
  serializer_->WriteValue(arguments, &envelope.writer);
  return envelope.Finish();
}

std::unique_ptr<std::vector<uint8_t>>
StandardMethodCodec::EncodeSuccessEnvelope(const EncodableValue* result) const {
  const EncodableValue null_value;
  const EncodableValue& value = result ? *result : null_value;
  Envelope envelope(*serializer_, value, 1);
  envelope.writer.WriteByte(kSuccessEnvelopeFlag);
  serializer_->WriteValue(value, &envelope.writer);
  return envelope.Finish();
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeErrorEnvelope(
    const std::string& error_code, const std::string& error_message,
    const EncodableValue* error_details) const {
  const EncodableValue code(error_code);
  const EncodableValue message =
      error_message.empty() ? EncodableValue() : EncodableValue(error_message);
  const EncodableValue null_value;
  const EncodableValue& details = error_details ? *error_details : null_value;
  Envelope envelope(
      *serializer_, details,
      serializer_->EncodedEnd(message, serializer_->EncodedEnd(code, 1)));
  envelope.writer.WriteByte(kErrorEnvelopeFlag);
  serializer_->WriteValue(code, &envelope.writer);
  serializer_->WriteValue(message, &envelope.writer);
  serializer_->WriteValue(details, &envelope.writer);
  return envelope.Finish();
}

bool StandardMethodCodec::DecodeResponseEnvelope(
    const uint8_t* response, size_t response_size,
    MethodResult<EncodableValue>* result) const {
  ByteBufferStreamReader reader(response, response_size);
  const uint8_t flag = reader.ReadByte();
  if (flag == kSuccessEnvelopeFlag) {
    EncodableValue value = serializer_->ReadValue(&reader);
    if (value.IsNull()) {
      result->Success();
    } else {
      result->Success(value);
    }
    return true;
  }
  if (flag != kErrorEnvelopeFlag) return false;

  EncodableValue code = serializer_->ReadValue(&reader);
  EncodableValue message = serializer_->ReadValue(&reader);
  EncodableValue details = serializer_->ReadValue(&reader);
  const auto* code_text = std::get_if<std::string>(&code);
  const auto* message_text = std::get_if<std::string>(&message);
  if (code_text == nullptr || (message_text == nullptr && !message.IsNull())) {
    std::cerr << "Invalid error envelope; code is not a string or message is "
                 "neither a string nor null."
              << std::endl;
    return false;
  }
  const std::string empty;
  const std::string& message_ref = message_text ? *message_text : empty;
  if (details.IsNull()) {
    result->Error(*code_text, message_ref);
  } else {
    result->Error(*code_text, message_ref, details);
  }
  return true;
}

}  // namespace flutter
