#include "flutter/standard_codec_serializer.h"

#include <algorithm>
#include <typeinfo>
#include <vector>

#include "flutter/byte_buffer_streams.h"
#include "message_size.h"
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

// A list or map written to a buffer with no room left: room is made for
// about all of it first, so that a large value is not copied at every
// doubling of its buffer. A buffer with room to spare (sized by the method
// codec, or a writer used before) grows as it goes. True when the room was
// made from a guess.
bool MakeRoomFor(const StandardCodecSerializer& serializer,
                 const EncodableValue& value, std::vector<uint8_t>* buffer) {
  const EncodableType type = TypeOf(value);
  if (buffer->size() != buffer->capacity() ||
      (type != EncodableType::kList && type != EncodableType::kMap)) {
    return false;
  }
  bool guessed = false;
  const size_t size = buffer->size();
  const size_t end = internal::EstimatedEnd(serializer, value, size, &guessed);
  buffer->reserve(size + std::min(end - size, internal::kMaxGuess));
  return guessed;
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
      std::vector<uint8_t>* buffer = writer->buffer();
      const bool guessed = MakeRoomFor(*this, value, buffer);
      {
        internal::BufferSink sink(buffer);
        sink.Value(value);
      }
      // A guess fooled by its sample may have made room for many times the
      // value.
      if (guessed) internal::TrimUnusedRoom(buffer);
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
