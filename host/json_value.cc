#include "json_value.h"

#include <limits>
#include <nlohmann/json.hpp>

#include "flutter/standard_codec_serializer.h"

namespace kelmor_host {

namespace {

using flutter::EncodableValue;
using nlohmann::json;

// How much of the parser's own reason an error message keeps; the reason
// quotes the last token read, which may be most of the text.
constexpr size_t kMaxReasonBytes = 160;

// Whether arrays and objects in `text` nest at most `limit` deep. Brackets
// inside strings do not count; the character after a backslash there cannot
// end the string. One pass without recursion, and it stops at the first
// level too deep. Where the text is not JSON, it agrees with the parser up
// to the parser's first error, so the parser never builds anything deeper.
bool NestingWithin(const std::string& text, int limit) {
  int depth = 0;
  bool in_string = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit) return false;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return true;
}

// The parser's reason without its exception tag, cut to one short line.
std::string ParseReason(const json::exception& failure) {
  std::string reason = failure.what();
  const size_t tag_end = reason.find("] ");
  if (tag_end != std::string::npos) reason.erase(0, tag_end + 2);
  if (reason.size() > kMaxReasonBytes) {
    reason.resize(kMaxReasonBytes);
    reason += "...";
  }
  for (char& c : reason) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return reason;
}

EncodableValue FromInteger(int64_t number) {
  if (number >= std::numeric_limits<int32_t>::min() &&
      number <= std::numeric_limits<int32_t>::max()) {
    return EncodableValue(static_cast<int32_t>(number));
  }
  return EncodableValue(number);
}

// Recursive, one level per array or object: the text's depth was checked.
EncodableValue Convert(const json& node) {
  switch (node.type()) {
    case json::value_t::boolean:
      return EncodableValue(node.get<bool>());
    case json::value_t::number_integer:
      return FromInteger(node.get<int64_t>());
    case json::value_t::number_unsigned: {
      const uint64_t number = node.get<uint64_t>();
      if (number <=
          static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        return FromInteger(static_cast<int64_t>(number));
      }
      return EncodableValue(static_cast<double>(number));
    }
    case json::value_t::number_float:
      return EncodableValue(node.get<double>());
    case json::value_t::string:
      return EncodableValue(node.get<std::string>());
    case json::value_t::array: {
      flutter::EncodableList list;
      list.reserve(node.size());
      for (const auto& element : node) list.push_back(Convert(element));
      return EncodableValue(std::move(list));
    }
    case json::value_t::object: {
      flutter::EncodableMap map;
      for (const auto& [key, element] : node.items()) {
        map.try_emplace(EncodableValue(key), Convert(element));
      }
      return EncodableValue(std::move(map));
    }
    default:
      return EncodableValue();
  }
}

}  // namespace

std::string JsonTooLongError(std::optional<uint64_t> bytes) {
  const std::string length =
      bytes ? " of " + std::to_string(*bytes) + " bytes" : std::string();
  return "JSON text" + length + " is longer than the limit of " +
         std::to_string(kMaxJsonTextBytes) + " bytes (" +
         std::to_string(kMaxJsonTextBytes >> 20) + " MiB)";
}

bool EncodableValueFromJson(const std::string& text, EncodableValue* value,
                            std::string* error) {
  if (text.size() > kMaxJsonTextBytes) {
    *error = JsonTooLongError(text.size());
    return false;
  }
  if (!NestingWithin(text, flutter::kMaxNestingDepth)) {
    *error = "JSON arrays and objects nested deeper than " +
             std::to_string(flutter::kMaxNestingDepth) + " levels";
    return false;
  }
  json parsed;
  try {
    parsed = json::parse(text);
  } catch (const json::exception& failure) {  // syntax, or a number too large
    *error = "not valid JSON: " + ParseReason(failure);
    return false;
  }
  *value = Convert(parsed);
  return true;
}

}  // namespace kelmor_host
