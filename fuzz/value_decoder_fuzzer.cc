// Arbitrary bytes through the value decoder. Properties: decoding holds heap
// and writes diagnostics at most linear in the input; the direct path (the
// library's own serializer and buffer streams) and the general path (through
// virtual calls) decode to the same value with the same diagnostics and
// encode the same bytes; what decodes re-encodes to bytes that decode to an
// equivalent value and re-encode to the same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "flutter/byte_buffer_streams.h"
#include "flutter/standard_codec_serializer.h"
#include "fuzz_support.h"
#include "general_path.h"

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

// The general path: a reader the serializer does not know, and an extension
// that overrides nothing.
void RequireSameOnTheGeneralPath(const uint8_t* data, size_t size,
                                 const EncodableValue& direct,
                                 size_t direct_lines,
                                 const std::vector<uint8_t>& direct_bytes) {
  const kelmor_fuzz::PlainExtension extension;
  const StandardCodecSerializer* serializers[] = {
      &StandardCodecSerializer::GetInstance(), &extension};
  for (const StandardCodecSerializer* serializer : serializers) {
    const size_t before = kelmor_fuzz::DiagnosticLines();
    kelmor_fuzz::ForwardingReader reader(data, size);
    const EncodableValue general = serializer->ReadValue(&reader);
    kelmor_fuzz::Require(general.Compare(direct) == 0,
                         "the general path decodes another value");
    kelmor_fuzz::Require(
        kelmor_fuzz::DiagnosticLines() - before == direct_lines,
        "the general path reports differently");
    std::vector<uint8_t> bytes;
    kelmor_fuzz::ForwardingWriter writer(&bytes);
    serializer->WriteValue(general, &writer);
    kelmor_fuzz::Require(bytes == direct_bytes,
                         "the general path encodes other bytes");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kelmor_fuzz::CountDiagnostics();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const size_t lines_before = kelmor_fuzz::DiagnosticLines();
  const EncodableValue first =
      kelmor_fuzz::WithinBounds(size, 1, [&] { return Decode(data, size); });
  const size_t lines = kelmor_fuzz::DiagnosticLines() - lines_before;
  const std::vector<uint8_t> bytes = Encode(first);
  RequireSameOnTheGeneralPath(data, size, first, lines, bytes);
  const EncodableValue second = Decode(bytes.data(), bytes.size());
  kelmor_fuzz::Require(first.Compare(second) == 0,
                       "decode(encode(value)) differs from value");
  kelmor_fuzz::Require(Encode(second) == bytes, "re-encoding is not stable");
  return 0;
}
