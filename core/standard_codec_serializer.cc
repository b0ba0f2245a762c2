#include "flutter/standard_codec_serializer.h"

#include <algorithm>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "codec_diagnostics.h"
#include "decode_frame.h"

namespace flutter {

namespace {

constexpr uint64_t kMaxWritableSize = std::numeric_limits<uint32_t>::max();

using internal::DecodeFrame;

void ReportTooDeep() {
  std::cerr << "Maximum nesting depth exceeded in "
               "StandardCodecSerializer::ReadValueOfType: "
            << kMaxNestingDepth << std::endl;
}

// A reader that cannot tell what is left says 0 once it has run out: a
// container read from it stops there, keeping what arrived.
bool RanOut(const DecodeFrame& frame, ByteStreamReader* stream) {
  if (frame.bounded() || stream->BytesRemaining() != 0) return false;
  internal::ReportInvalidRead();
  return true;
}

void WriteType(StandardCodecType type, ByteStreamWriter* stream) {
  stream->WriteByte(static_cast<uint8_t>(type));
}

template <typename T>
void WriteScalar(T value, ByteStreamWriter* stream) {
  stream->WriteBytes(reinterpret_cast<const uint8_t*>(&value), sizeof(T));
}

template <typename T>
T ReadScalar(ByteStreamReader* stream) {
  T value = 0;
  stream->ReadBytes(reinterpret_cast<uint8_t*>(&value), sizeof(T));
  return value;
}

template <typename Element>
uint8_t* BytesOf(Element* elements) {
  return reinterpret_cast<uint8_t*>(elements);
}

// A reader that cannot tell what is left: the block grows by at most
// kReadAheadBytes a read, and stops where the reader runs out.
template <typename Block>
void ReadBlockAsItArrives(size_t count, ByteStreamReader* stream,
                          Block* block) {
  using Element = typename Block::value_type;
  constexpr size_t kPerRead = internal::kReadAheadBytes / sizeof(Element);
  while (block->size() < count) {
    if (stream->BytesRemaining() == 0) {
      internal::ReportInvalidRead();
      return;
    }
    const size_t done = block->size();
    const size_t more = std::min(kPerRead, count - done);
    block->resize(done + more);
    stream->ReadBytes(BytesOf(block->data() + done), more * sizeof(Element));
  }
}

// Strings and typed lists: a size prefix, padding to the element width for
// elements wider than a byte (also for an empty list), then one block of
// elements, read into a value built in place at its declared size. A count
// that cannot fit in what the input still has for it gives the empty value.
template <typename Block>
EncodableValue ReadBlock(const StandardCodecSerializer& serializer,
                         ByteStreamReader* stream) {
  using Element = typename Block::value_type;
  const size_t count = serializer.ReadSize(stream);
  const uint64_t available = DecodeFrame::AvailableTo(stream);
  if (available == internal::kUnknownRemaining) {
    EncodableValue value(std::in_place_type<Block>);
    if (sizeof(Element) > 1) stream->ReadAlignment(sizeof(Element));
    ReadBlockAsItArrives(count, stream, &std::get<Block>(value));
    return value;
  }
  if (count > available / sizeof(Element)) {
    internal::ReportInvalidRead();
    return EncodableValue(std::in_place_type<Block>);
  }
  EncodableValue value(std::in_place_type<Block>, count, Element());
  if (sizeof(Element) > 1) stream->ReadAlignment(sizeof(Element));
  stream->ReadBytes(BytesOf(std::get<Block>(value).data()),
                    count * sizeof(Element));
  return value;
}

// Lists and maps: a size prefix, then the elements, each a whole value read
// through the serializer's virtual operations.
EncodableValue ReadList(const StandardCodecSerializer& serializer,
                        DecodeFrame* frame, ByteStreamReader* stream) {
  const size_t count = serializer.ReadSize(stream);
  if (!frame->Fits(count, 1)) return EncodableValue(EncodableList());
  EncodableList list;
  list.reserve(frame->bounded()
                   ? count
                   : std::min<size_t>(count, internal::kReserveAheadElements));
  for (size_t i = 0; i < count && !RanOut(*frame, stream); ++i) {
    frame->Expect(count - 1 - i);
    list.push_back(serializer.ReadValue(stream));
  }
  return EncodableValue(std::move(list));
}

EncodableValue ReadMap(const StandardCodecSerializer& serializer,
                       DecodeFrame* frame, ByteStreamReader* stream) {
  const size_t count = serializer.ReadSize(stream);
  if (!frame->Fits(count, 2)) return EncodableValue(EncodableMap());
  EncodableMap map;
  for (size_t i = 0; i < count && !RanOut(*frame, stream); ++i) {
    const uint64_t later = 2 * (count - 1 - i);
    frame->Expect(later + 1);
    EncodableValue key = serializer.ReadValue(stream);
    frame->Expect(later);
    EncodableValue value = serializer.ReadValue(stream);
    // Keys usually arrive in ascending order, so the end is the right hint
    // and one comparison places the entry; a repeated key keeps its first
    // entry (the new pair is dropped).
    map.emplace_hint(map.end(), std::move(key), std::move(value));
  }
  return EncodableValue(std::move(map));
}

// A count the size prefix cannot hold: the value is written as a null, so
// that the output stays well formed.
bool RefuseOversized(size_t size, ByteStreamWriter* stream) {
  if (size <= kMaxWritableSize) return false;
  std::cerr << "Size too large in StandardCodecSerializer::WriteValue: " << size
            << std::endl;
  WriteType(StandardCodecType::kNull, stream);
  return true;
}

// Strings and typed lists: the type byte, a size prefix, padding to the
// element width (also for an empty list), then one block of elements.
template <typename Block>
void WriteBlock(const StandardCodecSerializer& serializer,
                StandardCodecType type, const EncodableValue& value,
                ByteStreamWriter* stream) {
  using Element = typename Block::value_type;
  const auto& block = std::get<Block>(value);
  if (RefuseOversized(block.size(), stream)) return;
  WriteType(type, stream);
  serializer.WriteSize(block.size(), stream);
  if (sizeof(Element) > 1) stream->WriteAlignment(sizeof(Element));
  stream->WriteBytes(reinterpret_cast<const uint8_t*>(block.data()),
                     block.size() * sizeof(Element));
}

size_t SizePrefixLength(size_t count) {
  if (count < kSizeUint16Marker) return 1;
  return count <= std::numeric_limits<uint16_t>::max() ? 3 : 5;
}

size_t AlignUp(size_t offset, size_t alignment) {
  return (offset + alignment - 1) / alignment * alignment;
}

// Where a string or typed list ends; `offset` is just past its type byte.
template <typename Block>
size_t BlockEnd(const EncodableValue& value, size_t offset) {
  using Element = typename Block::value_type;
  const size_t count = std::get<Block>(value).size();
  if (count > kMaxWritableSize) return offset;  // written as a null
  offset += SizePrefixLength(count);
  if (sizeof(Element) > 1) offset = AlignUp(offset, sizeof(Element));
  return offset + count * sizeof(Element);
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
  ++offset;  // the type byte
  switch (TypeOf(value)) {
    case EncodableType::kNull:
    case EncodableType::kBool:
    case EncodableType::kCustom:
      return offset;
    case EncodableType::kInt32:
      return offset + 4;
    case EncodableType::kInt64:
      return offset + 8;
    case EncodableType::kDouble:
      return AlignUp(offset, 8) + 8;
    case EncodableType::kString:
      return BlockEnd<std::string>(value, offset);
    case EncodableType::kUint8List:
      return BlockEnd<std::vector<uint8_t>>(value, offset);
    case EncodableType::kInt32List:
      return BlockEnd<std::vector<int32_t>>(value, offset);
    case EncodableType::kInt64List:
      return BlockEnd<std::vector<int64_t>>(value, offset);
    case EncodableType::kDoubleList:
      return BlockEnd<std::vector<double>>(value, offset);
    case EncodableType::kFloatList:
      return BlockEnd<std::vector<float>>(value, offset);
    case EncodableType::kList: {
      const auto& list = std::get<EncodableList>(value);
      if (list.size() > kMaxWritableSize) return offset;  // a null
      offset += SizePrefixLength(list.size());
      for (const EncodableValue& element : list) {
        offset = EncodedEnd(element, offset);
      }
      return offset;
    }
    case EncodableType::kMap: {
      const auto& map = std::get<EncodableMap>(value);
      if (map.size() > kMaxWritableSize) return offset;  // a null
      offset += SizePrefixLength(map.size());
      for (const auto& [key, entry] : map) {
        offset = EncodedEnd(entry, EncodedEnd(key, offset));
      }
      return offset;
    }
  }
  return offset;
}

void StandardCodecSerializer::WriteValue(const EncodableValue& value,
                                         ByteStreamWriter* stream) const {
  switch (TypeOf(value)) {
    case EncodableType::kNull:
      WriteType(StandardCodecType::kNull, stream);
      return;
    case EncodableType::kBool:
      WriteType(std::get<bool>(value) ? StandardCodecType::kTrue
                                      : StandardCodecType::kFalse,
                stream);
      return;
    case EncodableType::kInt32:
      WriteType(StandardCodecType::kInt32, stream);
      WriteScalar(std::get<int32_t>(value), stream);
      return;
    case EncodableType::kInt64:
      WriteType(StandardCodecType::kInt64, stream);
      WriteScalar(std::get<int64_t>(value), stream);
      return;
    case EncodableType::kDouble:
      WriteType(StandardCodecType::kDouble, stream);
      stream->WriteAlignment(8);
      WriteScalar(std::get<double>(value), stream);
      return;
    case EncodableType::kString:
      WriteBlock<std::string>(*this, StandardCodecType::kString, value, stream);
      return;
    case EncodableType::kUint8List:
      WriteBlock<std::vector<uint8_t>>(*this, StandardCodecType::kUint8List,
                                       value, stream);
      return;
    case EncodableType::kInt32List:
      WriteBlock<std::vector<int32_t>>(*this, StandardCodecType::kInt32List,
                                       value, stream);
      return;
    case EncodableType::kInt64List:
      WriteBlock<std::vector<int64_t>>(*this, StandardCodecType::kInt64List,
                                       value, stream);
      return;
    case EncodableType::kDoubleList:
      WriteBlock<std::vector<double>>(*this, StandardCodecType::kDoubleList,
                                      value, stream);
      return;
    case EncodableType::kFloatList:
      WriteBlock<std::vector<float>>(*this, StandardCodecType::kFloatList,
                                     value, stream);
      return;
    case EncodableType::kList:
      WriteList(std::get<EncodableList>(value), stream);
      return;
    case EncodableType::kMap:
      WriteMap(std::get<EncodableMap>(value), stream);
      return;
    case EncodableType::kCustom:
      std::cerr << "Unhandled custom type in StandardCodecSerializer::"
                   "WriteValue. "
                << "Custom types require codec extensions." << std::endl;
      WriteType(StandardCodecType::kNull, stream);
      return;
  }
}

EncodableValue StandardCodecSerializer::ReadValueOfType(
    uint8_t type, ByteStreamReader* stream) const {
  switch (static_cast<StandardCodecType>(type)) {
    case StandardCodecType::kNull:
      return EncodableValue();
    case StandardCodecType::kTrue:
      return EncodableValue(true);
    case StandardCodecType::kFalse:
      return EncodableValue(false);
    case StandardCodecType::kInt32:
      return EncodableValue(ReadScalar<int32_t>(stream));
    case StandardCodecType::kInt64:
      return EncodableValue(ReadScalar<int64_t>(stream));
    case StandardCodecType::kDouble:
      stream->ReadAlignment(8);
      return EncodableValue(ReadScalar<double>(stream));
    case StandardCodecType::kLargeInt:
    case StandardCodecType::kString:
      return ReadBlock<std::string>(*this, stream);
    case StandardCodecType::kUint8List:
      return ReadBlock<std::vector<uint8_t>>(*this, stream);
    case StandardCodecType::kInt32List:
      return ReadBlock<std::vector<int32_t>>(*this, stream);
    case StandardCodecType::kInt64List:
      return ReadBlock<std::vector<int64_t>>(*this, stream);
    case StandardCodecType::kDoubleList:
      return ReadBlock<std::vector<double>>(*this, stream);
    case StandardCodecType::kFloatList:
      return ReadBlock<std::vector<float>>(*this, stream);
    case StandardCodecType::kList:
    case StandardCodecType::kMap: {
      DecodeFrame frame(stream);
      if (frame.depth() > kMaxNestingDepth) {
        ReportTooDeep();
        return EncodableValue();
      }
      return type == static_cast<uint8_t>(StandardCodecType::kList)
                 ? ReadList(*this, &frame, stream)
                 : ReadMap(*this, &frame, stream);
    }
  }
  std::cerr << "Unknown type in StandardCodecSerializer::ReadValueOfType: "
            << static_cast<int>(type) << std::endl;
  return EncodableValue();
}

size_t StandardCodecSerializer::ReadSize(ByteStreamReader* stream) const {
  const uint8_t first = stream->ReadByte();
  if (first < kSizeUint16Marker) return first;
  if (first == kSizeUint16Marker) return ReadScalar<uint16_t>(stream);
  return ReadScalar<uint32_t>(stream);
}

void StandardCodecSerializer::WriteSize(size_t size,
                                        ByteStreamWriter* stream) const {
  if (size < kSizeUint16Marker) {
    stream->WriteByte(static_cast<uint8_t>(size));
  } else if (size <= std::numeric_limits<uint16_t>::max()) {
    stream->WriteByte(kSizeUint16Marker);
    WriteScalar(static_cast<uint16_t>(size), stream);
  } else if (size <= kMaxWritableSize) {
    stream->WriteByte(kSizeUint32Marker);
    WriteScalar(static_cast<uint32_t>(size), stream);
  } else {
    std::cerr << "Size too large in StandardCodecSerializer::WriteSize: "
              << size << std::endl;
    stream->WriteByte(0);
  }
}

void StandardCodecSerializer::WriteList(const EncodableList& list,
                                        ByteStreamWriter* stream) const {
  if (RefuseOversized(list.size(), stream)) return;
  WriteType(StandardCodecType::kList, stream);
  WriteSize(list.size(), stream);
  for (const EncodableValue& element : list) WriteValue(element, stream);
}

void StandardCodecSerializer::WriteMap(const EncodableMap& map,
                                       ByteStreamWriter* stream) const {
  if (RefuseOversized(map.size(), stream)) return;
  WriteType(StandardCodecType::kMap, stream);
  WriteSize(map.size(), stream);
  for (const auto& [key, value] : map) {
    WriteValue(key, stream);
    WriteValue(value, stream);
  }
}

}  // namespace flutter
