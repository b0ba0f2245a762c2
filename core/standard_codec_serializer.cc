#include "flutter/standard_codec_serializer.h"

#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "codec_diagnostics.h"

namespace flutter {

namespace {

constexpr uint64_t kMaxWritableSize = std::numeric_limits<uint32_t>::max();

// Depth of the lists and maps being decoded on this thread. The serializer's
// read operations are const and their signatures fixed, so the count lives
// beside the call stack it protects.
thread_local int decode_depth = 0;

class NestingGuard {
 public:
  NestingGuard() { ++decode_depth; }
  ~NestingGuard() { --decode_depth; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;

  bool TooDeep() const { return decode_depth > kMaxNestingDepth; }
};

void ReportTooDeep() {
  std::cerr << "Maximum nesting depth exceeded in "
               "StandardCodecSerializer::ReadValueOfType: "
            << kMaxNestingDepth << std::endl;
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

// Whether `count` items of at least `width` bytes each can still be in the
// stream. Refusing larger counts keeps a corrupt prefix from making the
// decoder allocate or loop far beyond the message's own size.
bool CountFits(uint64_t count, uint64_t width, ByteStreamReader* stream) {
  const uint64_t remaining = stream->BytesRemaining();
  if (count <= remaining / width) return true;
  internal::ReportInvalidRead();
  return false;
}

// Strings and uint8 lists: a size prefix, then the bytes, never padded.
template <typename Bytes>
Bytes ReadByteBlock(const StandardCodecSerializer& serializer,
                    ByteStreamReader* stream) {
  const size_t count = serializer.ReadSize(stream);
  if (!CountFits(count, 1, stream)) return Bytes();
  Bytes bytes(count, 0);
  stream->ReadBytes(reinterpret_cast<uint8_t*>(bytes.data()), count);
  return bytes;
}

// Typed lists of 4- and 8-byte numbers: a size prefix, padding to the element
// width (also for an empty list), then one block of elements.
template <typename T>
std::vector<T> ReadTypedList(const StandardCodecSerializer& serializer,
                             ByteStreamReader* stream) {
  const size_t count = serializer.ReadSize(stream);
  if (!CountFits(count, sizeof(T), stream)) return std::vector<T>();
  std::vector<T> list(count);
  stream->ReadAlignment(sizeof(T));
  stream->ReadBytes(reinterpret_cast<uint8_t*>(list.data()), count * sizeof(T));
  return list;
}

template <typename T>
void WriteTypedList(const StandardCodecSerializer& serializer,
                    const std::vector<T>& list, ByteStreamWriter* stream) {
  serializer.WriteSize(list.size(), stream);
  if (sizeof(T) > 1) stream->WriteAlignment(sizeof(T));
  stream->WriteBytes(reinterpret_cast<const uint8_t*>(list.data()),
                     list.size() * sizeof(T));
}

// The number of elements or bytes that the value's size prefix would hold,
// or 0 for values without one.
size_t PrefixedSize(const EncodableValue& value) {
  return std::visit(
      [](const auto& payload) -> size_t {
        using T = std::decay_t<decltype(payload)>;
        if constexpr (std::is_same_v<T, std::string> ||
                      std::is_same_v<T, std::vector<uint8_t>> ||
                      std::is_same_v<T, std::vector<int32_t>> ||
                      std::is_same_v<T, std::vector<int64_t>> ||
                      std::is_same_v<T, std::vector<double>> ||
                      std::is_same_v<T, std::vector<float>> ||
                      std::is_same_v<T, EncodableList> ||
                      std::is_same_v<T, EncodableMap>) {
          return payload.size();
        } else {
          return 0;
        }
      },
      static_cast<const EncodableValueVariant&>(value));
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

void StandardCodecSerializer::WriteValue(const EncodableValue& value,
                                         ByteStreamWriter* stream) const {
  const size_t size = PrefixedSize(value);
  if (size > kMaxWritableSize) {
    std::cerr << "Size too large in StandardCodecSerializer::WriteValue: "
              << size << std::endl;
    WriteType(StandardCodecType::kNull, stream);
    return;
  }
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
    case EncodableType::kString: {
      const auto& string = std::get<std::string>(value);
      WriteType(StandardCodecType::kString, stream);
      WriteSize(string.size(), stream);
      stream->WriteBytes(reinterpret_cast<const uint8_t*>(string.data()),
                         string.size());
      return;
    }
    case EncodableType::kUint8List:
      WriteType(StandardCodecType::kUint8List, stream);
      WriteTypedList(*this, std::get<std::vector<uint8_t>>(value), stream);
      return;
    case EncodableType::kInt32List:
      WriteType(StandardCodecType::kInt32List, stream);
      WriteTypedList(*this, std::get<std::vector<int32_t>>(value), stream);
      return;
    case EncodableType::kInt64List:
      WriteType(StandardCodecType::kInt64List, stream);
      WriteTypedList(*this, std::get<std::vector<int64_t>>(value), stream);
      return;
    case EncodableType::kDoubleList:
      WriteType(StandardCodecType::kDoubleList, stream);
      WriteTypedList(*this, std::get<std::vector<double>>(value), stream);
      return;
    case EncodableType::kFloatList:
      WriteType(StandardCodecType::kFloatList, stream);
      WriteTypedList(*this, std::get<std::vector<float>>(value), stream);
      return;
    case EncodableType::kList:
      WriteType(StandardCodecType::kList, stream);
      WriteList(std::get<EncodableList>(value), stream);
      return;
    case EncodableType::kMap:
      WriteType(StandardCodecType::kMap, stream);
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
      return EncodableValue(ReadByteBlock<std::string>(*this, stream));
    case StandardCodecType::kUint8List:
      return EncodableValue(ReadByteBlock<std::vector<uint8_t>>(*this, stream));
    case StandardCodecType::kInt32List:
      return EncodableValue(ReadTypedList<int32_t>(*this, stream));
    case StandardCodecType::kInt64List:
      return EncodableValue(ReadTypedList<int64_t>(*this, stream));
    case StandardCodecType::kDoubleList:
      return EncodableValue(ReadTypedList<double>(*this, stream));
    case StandardCodecType::kFloatList:
      return EncodableValue(ReadTypedList<float>(*this, stream));
    case StandardCodecType::kList:
      return ReadList(stream);
    case StandardCodecType::kMap:
      return ReadMap(stream);
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

EncodableValue StandardCodecSerializer::ReadList(
    ByteStreamReader* stream) const {
  NestingGuard guard;
  if (guard.TooDeep()) {
    ReportTooDeep();
    return EncodableValue();
  }
  const size_t count = ReadSize(stream);
  if (!CountFits(count, 1, stream)) return EncodableValue(EncodableList());
  EncodableList list;
  list.reserve(count);
  for (size_t i = 0; i < count; ++i) list.push_back(ReadValue(stream));
  return EncodableValue(std::move(list));
}

EncodableValue StandardCodecSerializer::ReadMap(
    ByteStreamReader* stream) const {
  NestingGuard guard;
  if (guard.TooDeep()) {
    ReportTooDeep();
    return EncodableValue();
  }
  const size_t count = ReadSize(stream);
  if (!CountFits(count, 2, stream)) return EncodableValue(EncodableMap());
  EncodableMap map;
  for (size_t i = 0; i < count; ++i) {
    EncodableValue key = ReadValue(stream);
    EncodableValue value = ReadValue(stream);
    // Keys usually arrive in ascending order, so the end is the right hint;
    // a repeated key keeps its first entry.
    map.try_emplace(map.end(), std::move(key), std::move(value));
  }
  return EncodableValue(std::move(map));
}

void StandardCodecSerializer::WriteList(const EncodableList& list,
                                        ByteStreamWriter* stream) const {
  WriteSize(list.size(), stream);
  for (const EncodableValue& element : list) WriteValue(element, stream);
}

void StandardCodecSerializer::WriteMap(const EncodableMap& map,
                                       ByteStreamWriter* stream) const {
  WriteSize(map.size(), stream);
  for (const auto& [key, value] : map) {
    WriteValue(key, stream);
    WriteValue(value, stream);
  }
}

}  // namespace flutter
