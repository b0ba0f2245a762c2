#include "flutter/standard_codec_serializer.h"

#include <typeinfo>

#include "flutter/byte_buffer_streams.h"
#include "wire_reader.h"
#include "wire_writer.h"

namespace flutter {

namespace internal {

// Reads and moves a buffer reader's position for the direct path.
struct BufferReaderAccess {
  static BufferDecoder DecoderOf(const ByteBufferStreamReader& reader) {
    return BufferDecoder(reader.bytes_, reader.size_, reader.position_,
                         &reader);
  }
  static void MoveTo(ByteBufferStreamReader* reader, uint64_t position) {
    reader->position_ = position;
  }
};

}  // namespace internal

namespace {

// The direct paths apply only where no override could be skipped: this very
// class, with this library's own buffer streams.
bool IsStandard(const StandardCodecSerializer& serializer) {
  return typeid(serializer) == typeid(StandardCodecSerializer);
}

ByteBufferStreamWriter* OwnWriter(ByteStreamWriter* stream) {
  return typeid(*stream) == typeid(ByteBufferStreamWriter)
             ? static_cast<ByteBufferStreamWriter*>(stream)
             : nullptr;
}

ByteBufferStreamReader* OwnReader(ByteStreamReader* stream) {
  return typeid(*stream) == typeid(ByteBufferStreamReader)
             ? static_cast<ByteBufferStreamReader*>(stream)
             : nullptr;
}

}  // namespace

const StandardCodecSerializer& StandardCodecSerializer::GetInstance() {
  static const auto* instance = new StandardCodecSerializer();
  return *instance;
}

EncodableValue StandardCodecSerializer::ReadValue(
    ByteStreamReader* stream) const {
  const uint8_t type = stream->ReadByte();
  return ReadValueOfType(type, stream);
}

size_t StandardCodecSerializer::EncodedEnd(const EncodableValue& value,
                                           size_t offset) const {
  internal::SizeSink sink(offset);
  internal::EncodeValue(value, sink);
  return sink.size();
}

void StandardCodecSerializer::WriteValue(const EncodableValue& value,
                                         ByteStreamWriter* stream) const {
  if (IsStandard(*this)) {
    if (ByteBufferStreamWriter* writer = OwnWriter(stream)) {
      internal::BufferSink sink(writer->buffer());
      sink.Value(value);
      return;
    }
  }
  internal::StreamSink sink(*this, stream);
  internal::EncodeValue(value, sink);
}

EncodableValue StandardCodecSerializer::ReadValueOfType(
    uint8_t type, ByteStreamReader* stream) const {
  // A null has no payload: every path gives it without reading.
  if (type == static_cast<uint8_t>(StandardCodecType::kNull)) {
    return EncodableValue();
  }
  if (IsStandard(*this)) {
    if (ByteBufferStreamReader* reader = OwnReader(stream)) {
      using internal::BufferReaderAccess;
      internal::BufferDecoder decoder = BufferReaderAccess::DecoderOf(*reader);
      // The reader moves on as far as the decoder read, also when an
      // exception cuts the value short, as it would on the general path.
      struct Commit {
        ByteBufferStreamReader* reader;
        const internal::BufferDecoder& decoder;
        ~Commit() { BufferReaderAccess::MoveTo(reader, decoder.position()); }
      } commit{reader, decoder};
      EncodableValue value;
      decoder.ValueOfType(type, value);
      return value;
    }
  }
  internal::StreamSource source(*this, stream);
  return internal::DecodeValueOfType(type, source);
}

size_t StandardCodecSerializer::ReadSize(ByteStreamReader* stream) const {
  internal::StreamSource source(*this, stream);
  return internal::DecodeSize(source);
}

void StandardCodecSerializer::WriteSize(size_t size,
                                        ByteStreamWriter* stream) const {
  internal::StreamSink sink(*this, stream);
  internal::EncodeSize(size, sink);
}

}  // namespace flutter
