// Arbitrary bytes through the value decoder. Properties: decoding holds heap
// and writes diagnostics at most linear in the input; what decodes
// re-encodes to bytes that decode to an equivalent value and re-encode to the
// same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "flutter/byte_buffer_streams.h"
#include "flutter/standard_codec_serializer.h"
#include "fuzz_support.h"

namespace {

using flutter::EncodableValue;
using flutter::StandardCodecSerializer;

std::vector<uint8_t> Encode(const EncodableValue& value) {
  std::vector<uint8_t> bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  return bytes;
}

EncodableValue Decode(const uint8_t* data, size_t size) {
  flutter::ByteBufferStreamReader reader(data, size);
  return StandardCodecSerializer::GetInstance().ReadValue(&reader);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kelmor_fuzz::CountDiagnostics();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const EncodableValue first =
      kelmor_fuzz::WithinBounds(size, 1, [&] { return Decode(data, size); });
  const std::vector<uint8_t> bytes = Encode(first);
  const EncodableValue second = Decode(bytes.data(), bytes.size());
  kelmor_fuzz::Require(first.Compare(second) == 0,
                       "decode(encode(value)) differs from value");
  kelmor_fuzz::Require(Encode(second) == bytes, "re-encoding is not stable");
  return 0;
}
