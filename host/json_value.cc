#include "json_value.h"

#include <limits>
#include <nlohmann/json.hpp>

namespace kelmor_host {

namespace {

using flutter::EncodableValue;
using nlohmann::json;

EncodableValue FromInteger(int64_t number) {
  if (number >= std::numeric_limits<int32_t>::min() &&
      number <= std::numeric_limits<int32_t>::max()) {
    return EncodableValue(static_cast<int32_t>(number));
  }
  return EncodableValue(number);
}

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

bool EncodableValueFromJson(const std::string& text, EncodableValue* value,
                            std::string* error) {
  const json parsed = json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (parsed.is_discarded()) {
    *error = "not valid JSON: " + text;
    return false;
  }
  *value = Convert(parsed);
  return true;
}

}  // namespace kelmor_host
