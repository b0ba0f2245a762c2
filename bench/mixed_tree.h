// The benchmarks' mixed value tree, and the floors of the value model: what
// no decoder into EncodableValue can beat (the same tree built from events
// parsed ahead, each value made in place, string keys made inside their map
// node, insertion hinted at the end) and what no encoder can beat (a walk
// that touches every node and writes nothing).
#ifndef BENCH_MIXED_TREE_H_
#define BENCH_MIXED_TREE_H_

#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "flutter/encodable_value.h"
#include "flutter/standard_codec_serializer.h"

namespace kelmor_bench {

constexpr int kEntries = 1000;

// About 136 KB encoded: 21,001 values in 11,001 heap blocks.
inline flutter::EncodableValue OurTree() {
  using flutter::EncodableMap;
  using flutter::EncodableValue;
  flutter::EncodableList list;
  for (int i = 0; i < kEntries; ++i) {
    list.emplace_back(EncodableMap{
        {"int32", EncodableValue(int32_t{i})},
        {"int64", EncodableValue(int64_t{i} << 40)},
        {"double", EncodableValue(i * 0.25)},
        {"text", EncodableValue("short string")},
        {"flag", EncodableValue(i % 2 == 0)},
        {"nothing", EncodableValue()},
        {"list", EncodableValue(std::vector<int32_t>{i, i + 1, i + 2, i + 3})},
        {"nested", EncodableValue(EncodableMap{{"a", int32_t{1}}, {"b", "x"}})},
    });
  }
  return EncodableValue(std::move(list));
}

// One value of a message, parsed ahead, in 16 bytes so that reading the
// events costs no more memory traffic than reading the message. Strings
// point into the message; typed lists into aligned storage made ready.
struct Event {
  uint8_t type;
  uint32_t count;  // elements of a container or list, characters of a string
  union {
    int64_t integer;
    double real;
    const char* text;
    const int32_t* int32s;
  };
};

// The events of a message and the aligned storage of its typed lists.
struct Events {
  std::vector<Event> events;
  std::vector<int32_t> int32s;
};

inline size_t ParseSize(const uint8_t*& at) {
  const uint8_t first = *at++;
  if (first < flutter::kSizeUint16Marker) return first;
  size_t size = 0;
  const size_t width = first == flutter::kSizeUint16Marker ? 2 : 4;
  std::memcpy(&size, at, width);
  at += width;
  return size;
}

// Appends the events of the well-formed value at `at` (in a message that
// starts at `start`) and moves past it; only the types the mixed tree holds.
// `parsed->int32s` must have room for every int32 of the message, so that
// the events' pointers into it stay valid.
inline void Parse(const uint8_t* start, const uint8_t*& at, Events* parsed) {
  using Type = flutter::StandardCodecType;
  Event event{};
  event.type = *at++;
  switch (static_cast<Type>(event.type)) {
    case Type::kInt32: {
      int32_t value;
      std::memcpy(&value, at, 4);
      event.integer = value;
      at += 4;
      break;
    }
    case Type::kInt64:
      std::memcpy(&event.integer, at, 8);
      at += 8;
      break;
    case Type::kDouble:
      at += (8 - (at - start) % 8) % 8;
      std::memcpy(&event.real, at, 8);
      at += 8;
      break;
    case Type::kString:
      event.count = static_cast<uint32_t>(ParseSize(at));
      event.text = reinterpret_cast<const char*>(at);
      at += event.count;
      break;
    case Type::kInt32List: {
      event.count = static_cast<uint32_t>(ParseSize(at));
      at += (4 - (at - start) % 4) % 4;
      const size_t first = parsed->int32s.size();
      parsed->int32s.resize(first + event.count);
      std::memcpy(parsed->int32s.data() + first, at, event.count * 4);
      event.int32s = parsed->int32s.data() + first;
      at += event.count * 4;
      break;
    }
    case Type::kList:
    case Type::kMap: {
      event.count = static_cast<uint32_t>(ParseSize(at));
      const bool map = event.type == static_cast<uint8_t>(Type::kMap);
      const size_t items = event.count * (map ? 2 : 1);
      parsed->events.push_back(event);
      for (size_t i = 0; i < items; ++i) Parse(start, at, parsed);
      return;
    }
    default:
      break;
  }
  parsed->events.push_back(event);
}

// The events of a whole message.
inline Events ParseMessage(const std::vector<uint8_t>& bytes) {
  Events parsed;
  parsed.int32s.reserve(bytes.size() / 4);
  const uint8_t* at = bytes.data();
  Parse(bytes.data(), at, &parsed);
  return parsed;
}

// Builds the value whose events start at `at` into `slot`, which holds null,
// and moves past them. Map keys are taken to be strings.
inline void Build(const Event*& at, flutter::EncodableValue& slot) {
  using Type = flutter::StandardCodecType;
  const Event& event = *at++;
  switch (static_cast<Type>(event.type)) {
    case Type::kTrue:
      slot.emplace<bool>(true);
      return;
    case Type::kFalse:
      slot.emplace<bool>(false);
      return;
    case Type::kInt32:
      slot.emplace<int32_t>(static_cast<int32_t>(event.integer));
      return;
    case Type::kInt64:
      slot.emplace<int64_t>(event.integer);
      return;
    case Type::kDouble:
      slot.emplace<double>(event.real);
      return;
    case Type::kString:
      slot.emplace<std::string>(event.text, event.count);
      return;
    case Type::kInt32List:
      slot.emplace<std::vector<int32_t>>(event.int32s,
                                         event.int32s + event.count);
      return;
    case Type::kList: {
      auto& list = slot.emplace<flutter::EncodableList>();
      list.reserve(event.count);
      for (size_t i = 0; i < event.count; ++i) Build(at, list.emplace_back());
      return;
    }
    case Type::kMap: {
      auto& map = slot.emplace<flutter::EncodableMap>();
      for (size_t i = 0; i < event.count; ++i) {
        const Event& key = *at++;
        auto entry = map.emplace_hint(
            map.end(), std::piecewise_construct,
            std::forward_as_tuple(std::in_place_type<std::string>, key.text,
                                  key.count),
            std::forward_as_tuple());
        Build(at, entry->second);
      }
      return;
    }
    default:
      return;
  }
}

// Touches every node and what an encoder would read of it.
inline uint64_t Walk(const flutter::EncodableValue& value) {
  using flutter::EncodableType;
  switch (flutter::TypeOf(value)) {
    case EncodableType::kBool:
      return std::get<bool>(value);
    case EncodableType::kInt32:
      return static_cast<uint64_t>(std::get<int32_t>(value));
    case EncodableType::kInt64:
      return static_cast<uint64_t>(std::get<int64_t>(value));
    case EncodableType::kDouble:
      return static_cast<uint64_t>(std::get<double>(value));
    case EncodableType::kString: {
      const auto& text = std::get<std::string>(value);
      return text.size() + static_cast<uint8_t>(text.empty() ? 0 : text[0]);
    }
    case EncodableType::kInt32List: {
      const auto& list = std::get<std::vector<int32_t>>(value);
      return list.size() + (list.empty() ? 0 : static_cast<uint64_t>(list[0]));
    }
    case EncodableType::kList: {
      uint64_t sum = 0;
      for (const auto& element : std::get<flutter::EncodableList>(value)) {
        sum += Walk(element);
      }
      return sum;
    }
    case EncodableType::kMap: {
      uint64_t sum = 0;
      for (const auto& [key, entry] : std::get<flutter::EncodableMap>(value)) {
        sum += Walk(key) + Walk(entry);
      }
      return sum;
    }
    default:
      return 1;
  }
}

}  // namespace kelmor_bench

#endif  // BENCH_MIXED_TREE_H_
