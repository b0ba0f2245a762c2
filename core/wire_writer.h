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
#include "message_size.h"
#include "noinline.h"

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

// Appends to the buffer through a raw cursor, into room made ahead: each
// value makes room once for its fixed-width parts (type byte, size prefix,
// padding, scalar) and its block, then writes them in place at constant
// width. The room is the vector grown ahead (the new bytes are zero until
// written, so that padding needs no write); the vector is cut back to what
// was written when the sink goes.
class BufferSink {
 public:
  static constexpr bool kReports = true;

  // Takes room already reserved, up to a little ahead, so that a short
  // message sized ahead (as an envelope is) is written without growing.
  explicit BufferSink(std::vector<uint8_t>* buffer) : buffer_(buffer) {
    const size_t size = buffer->size();
    buffer->resize(std::min(buffer->capacity(), size + ahead_));
    Reset(size);
  }
  ~BufferSink() { buffer_->resize(Offset()); }
  BufferSink(const BufferSink&) = delete;
  BufferSink& operator=(const BufferSink&) = delete;

  void Byte(uint8_t byte) {
    uint8_t* at = Room(1);
    *at = byte;
    at_ = at + 1;
  }
  void Bytes(const uint8_t* bytes, size_t count) {
    if (count >= kLargeBlock) return Append(bytes, count);
    uint8_t* at = Room(count);
    if (count > kShortBlock) {
      std::memcpy(at, bytes, count);
      at_ = at + count;
      return;
    }
    at_ = CopyShort(at, bytes, count);
  }
  // Padding's room is already zero, so it is skipped, not written.
  void Align(uint8_t alignment) {
    const size_t padding = Padding(Offset(), alignment);
    at_ = Room(padding) + padding;
  }
  void Nested(const EncodableValue& value) { Value(value); }

  // The whole encoding of `value`, written in place.
  inline void Value(const EncodableValue& value);

 private:
  // Blocks from this size are appended in one copy, without zeroing their
  // room first.
  static constexpr size_t kLargeBlock = 1024;
  // Blocks up to this size are copied at fixed widths (see CopyShort).
  static constexpr size_t kShortBlock = 16;
  static constexpr size_t kAhead = 4096;

  size_t Offset() const { return static_cast<size_t>(at_ - begin_); }

  void Reset(size_t offset) {
    begin_ = buffer_->data();
    at_ = begin_ + offset;
    end_ = begin_ + buffer_->size();
  }

  // The cursor, with room for `count` bytes after it. Writers keep the
  // cursor in a local and store it back once: a store through a byte
  // pointer could otherwise be taken to change the members.
  uint8_t* Room(size_t count) {
    if (static_cast<size_t>(end_ - at_) < count) Grow(count);
    return at_;
  }

  // Makes room for `count` more bytes and a little beyond, the more the
  // longer this sink writes (so that many small writes on one writer stay
  // cheap). Within the vector's capacity only what is about to be written
  // is zero-filled, so that pages reserved ahead are not touched until
  // used; past it, the capacity doubles. Kept out of line, so that the
  // writers' usual path, which does not grow, saves no registers for it.
  KELMOR_NOINLINE void Grow(size_t count) {
    const size_t offset = Offset();
    const size_t needed = offset + count;
    if (needed > buffer_->capacity()) {
      buffer_->reserve(std::max(needed, 2 * buffer_->capacity()));
    }
    buffer_->resize(std::min(needed + ahead_, buffer_->capacity()));
    ahead_ = std::min(2 * ahead_, kAhead);
    Reset(offset);
  }

  // Appends a large block in one copy, without zeroing its room first.
  void Append(const uint8_t* bytes, size_t count) {
    const size_t offset = Offset();
    buffer_->resize(offset);
    buffer_->insert(buffer_->end(), bytes, bytes + count);
    Reset(offset + count);
  }

  // The alternative `value` holds, already told by its index: no second
  // check of it.
  template <typename T>
  static const T& Get(const EncodableValue& value) {
    return *std::get_if<T>(&value);
  }

  template <typename T>
  static uint8_t* Put(uint8_t* at, T value) {
    std::memcpy(at, &value, sizeof(T));  // fixed width: no library call
    return at + sizeof(T);
  }

  static uint8_t* Type(uint8_t* at, StandardCodecType type) {
    *at = static_cast<uint8_t>(type);
    return at + 1;
  }

  // A size prefix that fits the wire, in its shortest form.
  static uint8_t* Size(uint8_t* at, size_t size) {
    if (size < kSizeUint16Marker) {
      *at = static_cast<uint8_t>(size);
      return at + 1;
    }
    if (size <= std::numeric_limits<uint16_t>::max()) {
      *at = kSizeUint16Marker;
      return Put(at + 1, static_cast<uint16_t>(size));
    }
    *at = kSizeUint32Marker;
    return Put(at + 1, static_cast<uint32_t>(size));
  }

  // A block of up to kShortBlock bytes, as most keys and strings are:
  // moved at fixed widths, overlapping, without a library call and without
  // reading past the block.
  static uint8_t* CopyShort(uint8_t* at, const uint8_t* bytes, size_t count) {
    if (count >= 8) {
      std::memcpy(at, bytes, 8);
      std::memcpy(at + count - 8, bytes + count - 8, 8);
    } else if (count >= 4) {
      std::memcpy(at, bytes, 4);
      std::memcpy(at + count - 4, bytes + count - 4, 4);
    } else if (count != 0) {
      at[0] = bytes[0];
      at[count / 2] = bytes[count / 2];
      at[count - 1] = bytes[count - 1];
    }
    return at + count;
  }

  template <typename Element>
  void Block(StandardCodecType type, const std::vector<Element>& block) {
    Block(type, block.data(), block.size());
  }
  void Block(StandardCodecType type, const std::string& block) {
    Block(type, block.data(), block.size());
  }

  // Strings and typed lists: the type byte, a size prefix, padding to the
  // element width (also for an empty list), then one block of elements.
  template <typename Element>
  KELMOR_INLINE void Block(StandardCodecType type, const Element* data,
                           size_t count);

  // A short block whose room has to be made first, and blocks longer than
  // kShortBlock: out of line, so that a short block in room already made
  // calls nothing.
  template <typename Element>
  KELMOR_NOINLINE void GrowForBlock(StandardCodecType type, const Element* data,
                                    size_t count);
  template <typename Element>
  KELMOR_NOINLINE void MediumBlock(StandardCodecType type, const Element* data,
                                   size_t count);

  // Strings and typed lists of kLargeBlock bytes or more, and the
  // containers: kept out of line so that the leaves, most of a message, are
  // written without saving registers for them.
  template <typename Element>
  KELMOR_NOINLINE void LargeBlock(StandardCodecType type, const Element* data,
                                  size_t count);
  KELMOR_NOINLINE void List(const EncodableList& list);
  KELMOR_NOINLINE void Map(const EncodableMap& map);

  // A list's or map's type byte and size prefix.
  void Head(StandardCodecType type, size_t count) {
    at_ = Size(Type(Room(1 + PrefixLength(count)), type), count);
  }

  std::vector<uint8_t>* buffer_;
  uint8_t* begin_;  // the vector's first byte
  uint8_t* at_;     // where the next byte goes
  uint8_t* end_;    // the end of the room made
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
  void Align(uint8_t alignment) { size_ += Padding(size_, alignment); }
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

template <typename Element>
void BufferSink::Block(StandardCodecType type, const Element* data,
                       size_t count) {
  const size_t length = count * sizeof(Element);
  if (length > kShortBlock) return MediumBlock(type, data, count);
  // Room for exactly what is written, so that a buffer sized ahead for the
  // message is never grown. A short block's count fits in one byte.
  const size_t padding = Padding(Offset() + 2, sizeof(Element));
  uint8_t* at = at_;
  if (static_cast<size_t>(end_ - at) < 2 + padding + length) {
    return GrowForBlock(type, data, count);
  }
  at[0] = static_cast<uint8_t>(type);
  at[1] = static_cast<uint8_t>(count);
  at_ = CopyShort(at + 2 + padding, reinterpret_cast<const uint8_t*>(data),
                  length);
}

template <typename Element>
void BufferSink::GrowForBlock(StandardCodecType type, const Element* data,
                              size_t count) {
  const size_t length = count * sizeof(Element);
  Grow(2 + Padding(Offset() + 2, sizeof(Element)) + length);
  Block(type, data, count);
}

template <typename Element>
void BufferSink::MediumBlock(StandardCodecType type, const Element* data,
                             size_t count) {
  const size_t length = count * sizeof(Element);
  if (length >= kLargeBlock) return LargeBlock(type, data, count);
  const size_t head = 1 + PrefixLength(count);
  const size_t padding = Padding(Offset() + head, sizeof(Element));
  uint8_t* at = Size(Type(Room(head + padding + length), type), count);
  std::memcpy(at + padding, data, length);
  at_ = at + padding + length;
}

template <typename Element>
void BufferSink::LargeBlock(StandardCodecType type, const Element* data,
                            size_t count) {
  if (RefuseOversized(count, *this)) return;
  const size_t head = 1 + PrefixLength(count);
  const size_t padding = Padding(Offset() + head, sizeof(Element));
  at_ = Size(Type(Room(head + padding), type), count) + padding;
  Append(reinterpret_cast<const uint8_t*>(data), count * sizeof(Element));
}

void BufferSink::List(const EncodableList& list) {
  if (RefuseOversized(list.size(), *this)) return;
  Head(StandardCodecType::kList, list.size());
  for (const EncodableValue& element : list) Value(element);
}

void BufferSink::Map(const EncodableMap& map) {
  if (RefuseOversized(map.size(), *this)) return;
  Head(StandardCodecType::kMap, map.size());
  for (const auto& [key, entry] : map) {
    Value(key);
    Value(entry);
  }
}

void BufferSink::Value(const EncodableValue& value) {
  switch (TypeOf(value)) {
    case EncodableType::kNull:
      at_ = Type(Room(1), StandardCodecType::kNull);
      return;
    case EncodableType::kBool:
      at_ = Type(Room(1), Get<bool>(value) ? StandardCodecType::kTrue
                                           : StandardCodecType::kFalse);
      return;
    case EncodableType::kInt32:
      at_ = Put(Type(Room(1 + 4), StandardCodecType::kInt32),
                Get<int32_t>(value));
      return;
    case EncodableType::kInt64:
      at_ = Put(Type(Room(1 + 8), StandardCodecType::kInt64),
                Get<int64_t>(value));
      return;
    case EncodableType::kDouble: {
      const size_t padding = Padding(Offset() + 1, 8);
      at_ =
          Put(Type(Room(1 + padding + 8), StandardCodecType::kDouble) + padding,
              Get<double>(value));
    }
      return;
    case EncodableType::kString:
      Block(StandardCodecType::kString, Get<std::string>(value));
      return;
    case EncodableType::kUint8List:
      Block(StandardCodecType::kUint8List, Get<std::vector<uint8_t>>(value));
      return;
    case EncodableType::kInt32List:
      Block(StandardCodecType::kInt32List, Get<std::vector<int32_t>>(value));
      return;
    case EncodableType::kInt64List:
      Block(StandardCodecType::kInt64List, Get<std::vector<int64_t>>(value));
      return;
    case EncodableType::kDoubleList:
      Block(StandardCodecType::kDoubleList, Get<std::vector<double>>(value));
      return;
    case EncodableType::kFloatList:
      Block(StandardCodecType::kFloatList, Get<std::vector<float>>(value));
      return;
    case EncodableType::kList:
      List(Get<EncodableList>(value));
      return;
    case EncodableType::kMap:
      Map(Get<EncodableMap>(value));
      return;
    case EncodableType::kCustom:
      EncodeValue(value, *this);  // its diagnostic and a null
      return;
  }
}

void SizeSink::Nested(const EncodableValue& value) {
  EncodeValue(value, *this);
}

}  // namespace internal
}  // namespace flutter

#endif  // CORE_WIRE_WRITER_H_
