// The reading rules of the standard encoding, stated once over a source.
//
// A source gives bytes and nested values. StreamSource goes through the
// reader's and the serializer's virtual operations, so that an extension
// sees every nested value and a user's reader every call. BufferDecoder
// serves the case where both are exactly this library's own classes: it
// reads the reader's range in place, with the same failures and the same
// diagnostics, builds each value where it will live and recurses without
// virtual calls.
#ifndef CORE_WIRE_READER_H_
#define CORE_WIRE_READER_H_

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <iterator>
#include <new>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "codec_diagnostics.h"
#include "decode_frame.h"
#include "flutter/byte_buffer_streams.h"
#include "flutter/standard_codec_serializer.h"
#include "noinline.h"

namespace flutter {
namespace internal {

class StreamSource {
 public:
  StreamSource(const StandardCodecSerializer& serializer,
               ByteStreamReader* stream)
      : serializer_(serializer), stream_(stream) {}

  uint8_t Byte() { return stream_->ReadByte(); }
  void Bytes(uint8_t* destination, uint64_t count) {
    stream_->ReadBytes(destination, count);
  }
  void Align(uint8_t alignment) { stream_->ReadAlignment(alignment); }
  uint64_t Remaining() const { return stream_->BytesRemaining(); }
  const void* Key() const { return stream_; }
  EncodableValue Nested() { return serializer_.ReadValue(stream_); }

  // A block of `count` elements that the input has room for: made at its
  // size, then filled by one read.
  template <typename Block>
  Block TakeBlock(size_t count) {
    using Element = typename Block::value_type;
    Block block(count, Element());
    Bytes(reinterpret_cast<uint8_t*>(block.data()), count * sizeof(Element));
    return block;
  }

 private:
  const StandardCodecSerializer& serializer_;
  ByteStreamReader* stream_;
};

// Reads elements of T from bytes that need not be aligned for T, so that a
// typed list is built straight from the message in one pass: reading the
// bytes in place as elements would break the aliasing rules, wherever the
// message lies.
template <typename T>
class UnalignedIterator {
 public:
  using iterator_category = std::random_access_iterator_tag;
  using value_type = T;
  using difference_type = std::ptrdiff_t;
  using pointer = const T*;
  using reference = T;

  explicit UnalignedIterator(const uint8_t* at) : at_(at) {}

  T operator*() const { return (*this)[0]; }
  T operator[](difference_type index) const {
    T value;
    std::memcpy(&value, at_ + index * kWidth, sizeof(T));
    return value;
  }
  UnalignedIterator& operator++() { return *this += 1; }
  UnalignedIterator operator++(int) {
    UnalignedIterator before = *this;
    *this += 1;
    return before;
  }
  UnalignedIterator& operator--() { return *this -= 1; }
  UnalignedIterator operator--(int) {
    UnalignedIterator before = *this;
    *this -= 1;
    return before;
  }
  UnalignedIterator& operator+=(difference_type n) {
    at_ += n * kWidth;
    return *this;
  }
  UnalignedIterator& operator-=(difference_type n) { return *this += -n; }
  UnalignedIterator operator+(difference_type n) const {
    return UnalignedIterator(at_ + n * kWidth);
  }
  friend UnalignedIterator operator+(difference_type n,
                                     const UnalignedIterator& it) {
    return it + n;
  }
  UnalignedIterator operator-(difference_type n) const { return *this + -n; }
  difference_type operator-(const UnalignedIterator& other) const {
    return (at_ - other.at_) / kWidth;
  }
  bool operator==(const UnalignedIterator& other) const {
    return at_ == other.at_;
  }
  bool operator!=(const UnalignedIterator& other) const {
    return at_ != other.at_;
  }
  bool operator<(const UnalignedIterator& other) const {
    return at_ < other.at_;
  }
  bool operator>(const UnalignedIterator& other) const { return other < *this; }
  bool operator<=(const UnalignedIterator& other) const {
    return !(other < *this);
  }
  bool operator>=(const UnalignedIterator& other) const {
    return !(*this < other);
  }

 private:
  static constexpr difference_type kWidth = sizeof(T);

  const uint8_t* at_;
};

template <typename T, typename Source>
T DecodeScalar(Source& source) {
  T value = 0;
  source.Bytes(reinterpret_cast<uint8_t*>(&value), sizeof(T));
  return value;
}

// A size prefix in any of its three forms.
template <typename Source>
size_t DecodeSize(Source& source) {
  const uint8_t first = source.Byte();
  if (first < kSizeUint16Marker) return first;
  if (first == kSizeUint16Marker) return DecodeScalar<uint16_t>(source);
  return DecodeScalar<uint32_t>(source);
}

// A reader that cannot tell what is left says 0 once it has run out: a
// container read from it stops there, keeping what arrived. The end is
// reported once, by the innermost container that meets it.
template <typename Source>
bool RanOut(DecodeFrame& frame, const Source& source) {
  if (frame.bounded() || source.Remaining() != 0) return false;
  if (frame.ReportEndOnce()) ReportInvalidRead();
  return true;
}

// A reader that cannot tell what is left: the block grows as its bytes
// arrive, one read at a time, since only a reader that has run out says so
// (a longer read that fails would leave nothing to tell by), and stops there.
template <typename Block, typename Source>
Block DecodeBlockAsItArrives(size_t count, DecodeFrame* frame, Source& source) {
  using Element = typename Block::value_type;
  Block block;
  while (block.size() < count && !RanOut(*frame, source)) {
    uint8_t element[sizeof(Element)];
    for (uint8_t& byte : element) byte = source.Byte();
    block.push_back(Element());
    std::memcpy(&block.back(), element, sizeof(Element));
  }
  return block;
}

// Strings and typed lists: a size prefix, padding to the element width for
// elements wider than a byte (also for an empty list), then one block of
// elements. A count that cannot fit in what the input still has for it
// gives the empty value.
template <typename Block, typename Source>
EncodableValue DecodeBlock(Source& source) {
  using Element = typename Block::value_type;
  const size_t count = DecodeSize(source);
  // Padding first, so that what the count is checked against is what the
  // block can have: a block that passes cannot fail to read.
  if (sizeof(Element) > 1) source.Align(sizeof(Element));
  const uint64_t available =
      DecodeFrame::AvailableTo(source.Key(), source.Remaining());
  if (available == kUnknownRemaining) {
    DecodeFrame frame(source.Key(), kUnknownRemaining);
    return EncodableValue(DecodeBlockAsItArrives<Block>(count, &frame, source));
  }
  if (count > available / sizeof(Element)) {
    ReportInvalidRead();
    return EncodableValue(std::in_place_type<Block>);
  }
  return EncodableValue(source.template TakeBlock<Block>(count));
}

// Lists and maps: a size prefix, then the elements, each a whole value.
template <typename Source>
EncodableValue DecodeList(DecodeFrame* frame, Source& source) {
  const size_t count = DecodeSize(source);
  if (!frame->Fits(count, 1, source.Remaining())) {
    return EncodableValue(EncodableList());
  }
  EncodableList list;
  // A reader that cannot tell gets no room made ahead: the list grows as
  // its elements arrive.
  if (frame->bounded()) list.reserve(count);
  for (size_t i = 0; i < count && !RanOut(*frame, source); ++i) {
    frame->Expect(count - 1 - i);
    list.push_back(source.Nested());
  }
  return EncodableValue(std::move(list));
}

template <typename Source>
EncodableValue DecodeMap(DecodeFrame* frame, Source& source) {
  const size_t count = DecodeSize(source);
  if (!frame->Fits(count, 2, source.Remaining())) {
    return EncodableValue(EncodableMap());
  }
  EncodableMap map;
  for (size_t i = 0; i < count && !RanOut(*frame, source); ++i) {
    const uint64_t later = 2 * (count - 1 - i);
    frame->Expect(later + 1);
    EncodableValue key = source.Nested();
    frame->Expect(later);
    EncodableValue value = source.Nested();
    // Keys usually arrive in ascending order, so the end is the right hint
    // and one comparison places the entry; a repeated key keeps its first
    // entry (the new pair is dropped).
    map.emplace_hint(map.end(), std::move(key), std::move(value));
  }
  return EncodableValue(std::move(map));
}

inline void ReportTooDeep() {
  std::cerr << "Maximum nesting depth exceeded in "
               "StandardCodecSerializer::ReadValueOfType: "
            << kMaxNestingDepth << std::endl;
}

template <typename Source>
EncodableValue DecodeValueOfType(uint8_t type, Source& source) {
  switch (static_cast<StandardCodecType>(type)) {
    case StandardCodecType::kNull:
      return EncodableValue();
    case StandardCodecType::kTrue:
      return EncodableValue(true);
    case StandardCodecType::kFalse:
      return EncodableValue(false);
    case StandardCodecType::kInt32:
      return EncodableValue(DecodeScalar<int32_t>(source));
    case StandardCodecType::kInt64:
      return EncodableValue(DecodeScalar<int64_t>(source));
    case StandardCodecType::kDouble:
      source.Align(8);
      return EncodableValue(DecodeScalar<double>(source));
    case StandardCodecType::kLargeInt:
    case StandardCodecType::kString:
      return DecodeBlock<std::string>(source);
    case StandardCodecType::kUint8List:
      return DecodeBlock<std::vector<uint8_t>>(source);
    case StandardCodecType::kInt32List:
      return DecodeBlock<std::vector<int32_t>>(source);
    case StandardCodecType::kInt64List:
      return DecodeBlock<std::vector<int64_t>>(source);
    case StandardCodecType::kDoubleList:
      return DecodeBlock<std::vector<double>>(source);
    case StandardCodecType::kFloatList:
      return DecodeBlock<std::vector<float>>(source);
    case StandardCodecType::kList:
    case StandardCodecType::kMap: {
      DecodeFrame frame(source.Key(), source.Remaining());
      if (frame.depth() > kMaxNestingDepth) {
        ReportTooDeep();
        return EncodableValue();
      }
      return type == static_cast<uint8_t>(StandardCodecType::kList)
                 ? DecodeList(&frame, source)
                 : DecodeMap(&frame, source);
    }
  }
  std::cerr << "Unknown type in StandardCodecSerializer::ReadValueOfType: "
            << static_cast<int>(type) << std::endl;
  return EncodableValue();
}

// The direct path over a byte range: the same reading rules, failures and
// diagnostics as DecodeValueOfType over the library's own reader, with each
// value built where it will live (its list slot, its map node; string keys
// from the message's bytes inside their node) and the budget of the open
// lists and maps carried here rather than in the thread's frames, which it
// reads once, when it starts.
class BufferDecoder {
 public:
  // Reads `bytes[position, size)` of the reader `stream`, which frames
  // already open on this thread may be reading too.
  BufferDecoder(const uint8_t* bytes, uint64_t size, uint64_t position,
                const void* stream)
      : bytes_(bytes), size_(size), position_(position), stream_(stream) {}

  // Decodes the payload that follows `type` into `slot`, which holds null.
  void ValueOfType(uint8_t type, EncodableValue& slot) {
    switch (static_cast<StandardCodecType>(type)) {
      case StandardCodecType::kNull:
        return;
      case StandardCodecType::kTrue:
        Place<bool>(slot, true);
        return;
      case StandardCodecType::kFalse:
        Place<bool>(slot, false);
        return;
      case StandardCodecType::kInt32:
        Place<int32_t>(slot, Scalar<int32_t>());
        return;
      case StandardCodecType::kInt64:
        Place<int64_t>(slot, Scalar<int64_t>());
        return;
      case StandardCodecType::kDouble:
        Align(8);
        Place<double>(slot, Scalar<double>());
        return;
      case StandardCodecType::kLargeInt:
      case StandardCodecType::kString: {
        size_t count;
        const char* characters = TakeCharacters(&count);
        Place<std::string>(slot, characters, count);
        return;
      }
      case StandardCodecType::kUint8List:
        return TypedList<uint8_t>(slot);
      case StandardCodecType::kInt32List:
        return TypedList<int32_t>(slot);
      case StandardCodecType::kInt64List:
        return TypedList<int64_t>(slot);
      case StandardCodecType::kDoubleList:
        return TypedList<double>(slot);
      case StandardCodecType::kFloatList:
        return TypedList<float>(slot);
      case StandardCodecType::kList:
      case StandardCodecType::kMap:
        OpenFrames();
        if (depth_ >= kMaxNestingDepth) {
          ReportTooDeep();
          return;
        }
        ++depth_;
        if (type == static_cast<uint8_t>(StandardCodecType::kList)) {
          List(slot);
        } else {
          Map(slot);
        }
        --depth_;
        return;
    }
    std::cerr << "Unknown type in StandardCodecSerializer::ReadValueOfType: "
              << static_cast<int>(type) << std::endl;
  }

  uint64_t position() const { return position_; }

 private:
  // Makes `slot`, which holds null, hold a T made of `args`. A null needs no
  // destroying, so the T is made in place of the whole value, without the
  // variant's reset; if making it throws, the slot is null again.
  template <typename T, typename... Args>
  static T& Place(EncodableValue& slot, Args&&... args) {
    try {
      new (&slot)
          EncodableValue(std::in_place_type<T>, std::forward<Args>(args)...);
    } catch (...) {
      new (&slot) EncodableValue();
      throw;
    }
    return *std::get_if<T>(&slot);
  }

  uint8_t Byte() {
    if (position_ >= size_) {
      ReportInvalidRead();
      return 0;
    }
    return bytes_[position_++];
  }

  uint64_t Remaining() const {
    return position_ < size_ ? size_ - position_ : 0;
  }

  // Reads what the frames already open on this thread leave this decode,
  // the first time it is needed: a scalar never looks.
  void OpenFrames() {
    if (frames_read_) return;
    DecodeFrame::Enclosing(stream_, &expected_, &depth_);
    frames_read_ = true;
  }

  // What of the bytes left the open containers do not expect.
  uint64_t Available() {
    OpenFrames();
    const uint64_t remaining = Remaining();
    return remaining > expected_ ? remaining - expected_ : 0;
  }

  void Align(uint8_t alignment) {
    const uint64_t remainder = position_ % alignment;
    if (remainder != 0) position_ += alignment - remainder;
  }

  template <typename T>
  T Scalar() {
    T value = 0;
    if (sizeof(T) > Remaining()) {
      ReportInvalidRead();
      return value;
    }
    std::memcpy(&value, bytes_ + position_, sizeof(T));
    position_ += sizeof(T);
    return value;
  }

  size_t Size() {
    const uint8_t first = Byte();
    if (first < kSizeUint16Marker) return first;
    if (first == kSizeUint16Marker) return Scalar<uint16_t>();
    return Scalar<uint32_t>();
  }

  // The size prefix and padding of a block of elements `width` bytes wide:
  // its count, or 0 (reported) when the input cannot have that many for it.
  size_t BlockCount(size_t width) {
    const size_t count = Size();
    if (width > 1) Align(static_cast<uint8_t>(width));
    if (count > Available() / width) {
      ReportInvalidRead();
      return 0;
    }
    return count;
  }

  // A string's size prefix and characters, moved past: the characters and
  // their count, none when the prefix was refused.
  const char* TakeCharacters(size_t* count) {
    *count = BlockCount(1);
    if (*count == 0) return "";
    const char* characters = reinterpret_cast<const char*>(bytes_) + position_;
    position_ += *count;
    return characters;
  }

  template <typename Element>
  void TypedList(EncodableValue& slot) {
    using List = std::vector<Element>;
    const size_t count = BlockCount(sizeof(Element));
    if (count == 0) {
      Place<List>(slot);
      return;
    }
    const uint8_t* start = bytes_ + position_;
    if constexpr (sizeof(Element) == 1) {
      Place<List>(slot, start, start + count);
    } else {
      Place<List>(slot, UnalignedIterator<Element>(start),
                  UnalignedIterator<Element>(start + count * sizeof(Element)));
    }
    position_ += count * sizeof(Element);
  }

  // The prefix of a list or map whose elements take at least `width` bytes
  // each: its count, or nothing (reported) when they cannot fit in what the
  // enclosing containers leave.
  bool ContainerCount(uint64_t width, size_t* count) {
    *count = Size();
    if (*count <= Available() / width) return true;
    ReportInvalidRead();
    return false;
  }

  void Value(EncodableValue& slot) {
    const uint8_t type = Byte();
    ValueOfType(type, slot);
  }

  KELMOR_NOINLINE void List(EncodableValue& slot) {
    size_t count;
    const bool fits = ContainerCount(1, &count);
    auto& list = Place<EncodableList>(slot);
    if (!fits) return;
    list.reserve(count);
    const uint64_t outside = expected_;
    for (size_t i = 0; i < count; ++i) {
      expected_ = outside + (count - 1 - i);
      Value(list.emplace_back());
    }
    expected_ = outside;
  }

  KELMOR_NOINLINE void Map(EncodableValue& slot) {
    size_t count;
    const bool fits = ContainerCount(2, &count);
    auto& map = Place<EncodableMap>(slot);
    if (!fits) return;
    const uint64_t outside = expected_;
    for (size_t i = 0; i < count; ++i) {
      const uint64_t later = 2 * uint64_t{count - 1 - i};
      expected_ = outside + later + 1;
      const size_t before = map.size();
      const auto entry = Entry(map);
      expected_ = outside + later;
      if (map.size() != before) {
        Value(entry->second);
      } else {
        // A repeated key keeps its first entry; the new value is still
        // read, with its diagnostics, and dropped.
        EncodableValue dropped;
        Value(dropped);
      }
    }
    expected_ = outside;
  }

  // Reads the next key and places its entry, with a null value, unless the
  // map has the key already. A string key is made inside the node, straight
  // from the message. Keys usually arrive in ascending order, so the end is
  // the right hint and one comparison places the entry.
  EncodableMap::iterator Entry(EncodableMap& map) {
    const uint8_t type = Byte();
    if (type == static_cast<uint8_t>(StandardCodecType::kString) ||
        type == static_cast<uint8_t>(StandardCodecType::kLargeInt)) {
      size_t count;
      const char* start = TakeCharacters(&count);
      return map.emplace_hint(
          map.end(), std::piecewise_construct,
          std::forward_as_tuple(std::in_place_type<std::string>, start, count),
          std::forward_as_tuple());
    }
    EncodableValue key;
    ValueOfType(type, key);
    return map.emplace_hint(map.end(), std::piecewise_construct,
                            std::forward_as_tuple(std::move(key)),
                            std::forward_as_tuple());
  }

  const uint8_t* bytes_;
  uint64_t size_;
  uint64_t position_;
  const void* stream_;
  bool frames_read_ = false;
  uint64_t expected_ = 0;  // bytes the open containers expect after this value
  int depth_ = 0;          // lists and maps open on this thread
};

}  // namespace internal
}  // namespace flutter

#endif  // CORE_WIRE_READER_H_
