#include "flutter/standard_message_codec.h"

#include "flutter/byte_buffer_streams.h"
#include "shared_codec.h"

namespace flutter {

const StandardMessageCodec& StandardMessageCodec::GetInstance(
    const StandardCodecSerializer* serializer) {
  return internal::SharedCodec<StandardMessageCodec>(
      serializer, [](const StandardCodecSerializer* shared) {
        return new StandardMessageCodec(shared);
      });
}

std::unique_ptr<std::vector<uint8_t>> StandardMessageCodec::EncodeMessage(
    const EncodableValue& message) const {
  auto bytes = std::make_unique<std::vector<uint8_t>>();
  ByteBufferStreamWriter writer(bytes.get());
  serializer_->WriteValue(message, &writer);
  return bytes;
}

std::unique_ptr<EncodableValue> StandardMessageCodec::DecodeMessage(
    const uint8_t* message, size_t message_size) const {
  // The application sends a null message as no bytes at all.
  if (message_size == 0) return std::make_unique<EncodableValue>();
  ByteBufferStreamReader reader(message, message_size);
  return std::make_unique<EncodableValue>(serializer_->ReadValue(&reader));
}

}  // namespace flutter
