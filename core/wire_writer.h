// The writing rules of the standard encoding, stated once over a sink.
//
// A sink takes bytes and nested values. StreamSink goes through the writer's
// and the serializer's virtual operations, so that an extension sees every
// nested value and a user's writer every call. BufferSink serves the case
// where both are exactly this library's own classes: it appends to the
// buffer and recurses without virtual calls, writing the same bytes.
// SizeSink counts the bytes instead, to size a message before writing it.
#ifndef CORE_WIRE_WRITER_H_
#define CORE_WIRE_WRITER_H_

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "flutter/byte_streams.h"
#include "flutter/standard_codec_serializer.h"

namespace flutter {
namespace internal {

constexpr uint64_t kMaxWritableSize = std::numeric_limits<uint32_t>::max();

class StreamSink {
 public:
  static constexpr bool kReports = true;

  StreamSink(const StandardCodecSerializer& serializer,
             ByteStreamWriter* stream)
      : serializer_(serializer), stream_(stream) {}

  void Byte(uint8_t byte) { stream_->WriteByte(byte); }
  void Bytes(const uint8_t* bytes, size_t count) {
    stream_->WriteBytes(bytes, count);
  }
  void Align(uint8_t alignment) { stream_->WriteAlignment(alignment); }
  void Nested(const EncodableValue& value) {
    serializer_.WriteValue(value, stream_);
  }

 private:
  const StandardCodecSerializer& serializer_;
  ByteStreamWriter* stream_;
};

class BufferSink {
 public:
  static constexpr bool kReports = true;

  // Writes past the vector's current end; the vector is grown ahead (the
  // new bytes are zero until written) and cut back to what was written when
  // the sink goes.
  explicit BufferSink(std::vector<uint8_t>* buffer)
      : buffer_(buffer), size_(buffer->size()) {}
  ~BufferSink() { buffer_->resize(size_); }
  BufferSink(const BufferSink&) = delete;
  BufferSink& operator=(const BufferSink&) = delete;

  void Byte(uint8_t byte) { *Claim(1) = byte; }
  void Bytes(const uint8_t* bytes, size_t count) {
    if (count >= kLargeBlock) {
      // One copy, without filling the room with zeros first.
      buffer_->resize(size_);
      buffer_->insert(buffer_->end(), bytes, bytes + count);
      size_ += count;
    } else if (count != 0) {
      std::memcpy(Claim(count), bytes, count);
    }
  }
  // Padding counts from the buffer's first byte, as the writer's does.
  void Align(uint8_t alignment) {
    const size_t remainder = size_ % alignment;
    if (remainder != 0) Claim(alignment - remainder);  // already zero
  }
  inline void Nested(const EncodableValue& value);

 private:
  static constexpr size_t kLargeBlock = 1024;
  static constexpr size_t kAhead = 4096;

  uint8_t* Claim(size_t count) {
    if (buffer_->size() - size_ < count) Grow(count);
    uint8_t* at = buffer_->data() + size_;
    size_ += count;
    return at;
  }

  // Makes room for `count` more bytes and a little beyond, the more the
  // longer this sink writes (so that many small writes on one writer stay
  // cheap). Within the vector's capacity only what is about to be written
  // is zero-filled, so that pages reserved ahead are not touched until
  // used; past it, the capacity doubles.
  void Grow(size_t count) {
    const size_t needed = size_ + count;
    if (needed > buffer_->capacity()) {
      buffer_->reserve(std::max(needed, 2 * buffer_->capacity()));
    }
    buffer_->resize(std::min(needed + ahead_, buffer_->capacity()));
    ahead_ = std::min(2 * ahead_, kAhead);
  }

  std::vector<uint8_t>* buffer_;
  size_t size_;  // bytes written, from the vector's first
  size_t ahead_ = 64;
};

// Counts what BufferSink would append to a buffer of `size` bytes. Writes
// no diagnostics: the writing that follows does.
class SizeSink {
 public:
  static constexpr bool kReports = false;

  explicit SizeSink(size_t size) : size_(size) {}

  void Byte(uint8_t) { ++size_; }
  void Bytes(const uint8_t*, size_t count) { size_ += count; }
  void Align(uint8_t alignment) {
    const size_t remainder = size_ % alignment;
    if (remainder != 0) size_ += alignment - remainder;
  }
  inline void Nested(const EncodableValue& value);

  size_t size() const { return size_; }

 private:
  size_t size_;
};

template <typename Sink>
void EncodeType(StandardCodecType type, Sink& sink) {
  sink.Byte(static_cast<uint8_t>(type));
}

template <typename T, typename Sink>
void EncodeScalar(T value, Sink& sink) {
  sink.Bytes(reinterpret_cast<const uint8_t*>(&value), sizeof(T));
}

// A size prefix in its shortest form; a count it cannot hold is reported
// and written as 0.
template <typename Sink>
void EncodeSize(size_t size, Sink& sink) {
  if (size < kSizeUint16Marker) {
    sink.Byte(static_cast<uint8_t>(size));
  } else if (size <= std::numeric_limits<uint16_t>::max()) {
    sink.Byte(kSizeUint16Marker);
    EncodeScalar(static_cast<uint16_t>(size), sink);
  } else if (size <= kMaxWritableSize) {
    sink.Byte(kSizeUint32Marker);
    EncodeScalar(static_cast<uint32_t>(size), sink);
  } else {
    if (Sink::kReports) {
      std::cerr << "Size too large in StandardCodecSerializer::WriteSize: "
                << size << std::endl;
    }
    sink.Byte(0);
  }
}

// A count the size prefix cannot hold: the value is written as a null, so
// that the output stays well formed.
template <typename Sink>
bool RefuseOversized(size_t size, Sink& sink) {
  if (size <= kMaxWritableSize) return false;
  if (Sink::kReports) {
    std::cerr << "Size too large in StandardCodecSerializer::WriteValue: "
              << size << std::endl;
  }
  EncodeType(StandardCodecType::kNull, sink);
  return true;
}

// Strings and typed lists: the type byte, a size prefix, padding to the
// element width (also for an empty list), then one block of elements.
template <typename Block, typename Sink>
void EncodeBlock(StandardCodecType type, const Block& block, Sink& sink) {
  using Element = typename Block::value_type;
  if (RefuseOversized(block.size(), sink)) return;
  EncodeType(type, sink);
  EncodeSize(block.size(), sink);
  if (sizeof(Element) > 1) sink.Align(sizeof(Element));
  sink.Bytes(reinterpret_cast<const uint8_t*>(block.data()),
             block.size() * sizeof(Element));
}

template <typename Sink>
void EncodeValue(const EncodableValue& value, Sink& sink) {
  switch (TypeOf(value)) {
    case EncodableType::kNull:
      EncodeType(StandardCodecType::kNull, sink);
      return;
    case EncodableType::kBool:
      EncodeType(std::get<bool>(value) ? StandardCodecType::kTrue
                                       : StandardCodecType::kFalse,
                 sink);
      return;
    case EncodableType::kInt32:
      EncodeType(StandardCodecType::kInt32, sink);
      EncodeScalar(std::get<int32_t>(value), sink);
      return;
    case EncodableType::kInt64:
      EncodeType(StandardCodecType::kInt64, sink);
      EncodeScalar(std::get<int64_t>(value), sink);
      return;
    case EncodableType::kDouble:
      EncodeType(StandardCodecType::kDouble, sink);
      sink.Align(8);
      EncodeScalar(std::get<double>(value), sink);
      return;
    case EncodableType::kString:
      EncodeBlock(StandardCodecType::kString, std::get<std::string>(value),
                  sink);
      return;
    case EncodableType::kUint8List:
      EncodeBlock(StandardCodecType::kUint8List,
                  std::get<std::vector<uint8_t>>(value), sink);
      return;
    case EncodableType::kInt32List:
      EncodeBlock(StandardCodecType::kInt32List,
                  std::get<std::vector<int32_t>>(value), sink);
      return;
    case EncodableType::kInt64List:
      EncodeBlock(StandardCodecType::kInt64List,
                  std::get<std::vector<int64_t>>(value), sink);
      return;
    case EncodableType::kDoubleList:
      EncodeBlock(StandardCodecType::kDoubleList,
                  std::get<std::vector<double>>(value), sink);
      return;
    case EncodableType::kFloatList:
      EncodeBlock(StandardCodecType::kFloatList,
                  std::get<std::vector<float>>(value), sink);
      return;
    case EncodableType::kList: {
      const auto& list = std::get<EncodableList>(value);
      if (RefuseOversized(list.size(), sink)) return;
      EncodeType(StandardCodecType::kList, sink);
      EncodeSize(list.size(), sink);
      for (const EncodableValue& element : list) sink.Nested(element);
      return;
    }
    case EncodableType::kMap: {
      const auto& map = std::get<EncodableMap>(value);
      if (RefuseOversized(map.size(), sink)) return;
      EncodeType(StandardCodecType::kMap, sink);
      EncodeSize(map.size(), sink);
      for (const auto& [key, entry] : map) {
        sink.Nested(key);
        sink.Nested(entry);
      }
      return;
    }
    case EncodableType::kCustom:
      if (Sink::kReports) {
        std::cerr << "Unhandled custom type in StandardCodecSerializer::"
                     "WriteValue. "
                  << "Custom types require codec extensions." << std::endl;
      }
      EncodeType(StandardCodecType::kNull, sink);
      return;
  }
}

void BufferSink::Nested(const EncodableValue& value) {
  EncodeValue(value, *this);
}

void SizeSink::Nested(const EncodableValue& value) {
  EncodeValue(value, *this);
}

}  // namespace internal
}  // namespace flutter

#endif  // CORE_WIRE_WRITER_H_
