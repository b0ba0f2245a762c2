#include "value_text.h"

#include <cstdio>
#include <sstream>

namespace kelmor_host {

namespace {

template <typename T>
std::string TypedList(const char* name, const std::vector<T>& list) {
  std::ostringstream out;
  out << name << '[';
  for (size_t i = 0; i < list.size(); ++i) {
    if (i) out << ", ";
    if constexpr (std::is_same_v<T, uint8_t>) {
      out << static_cast<int>(list[i]);
    } else {
      out << list[i];
    }
  }
  out << ']';
  return out.str();
}

std::string Number(double number) {
  std::ostringstream out;
  out.precision(17);
  out << number;
  return out.str();
}

struct TextVisitor {
  std::string operator()(std::monostate) const { return "null"; }
  std::string operator()(bool flag) const { return flag ? "true" : "false"; }
  std::string operator()(int32_t number) const {
    return std::to_string(number);
  }
  std::string operator()(int64_t number) const {
    return std::to_string(number);
  }
  std::string operator()(double number) const { return Number(number); }
  std::string operator()(const std::string& text) const {
    return QuoteText(text);
  }
  std::string operator()(const std::vector<uint8_t>& list) const {
    return TypedList("uint8", list);
  }
  std::string operator()(const std::vector<int32_t>& list) const {
    return TypedList("int32", list);
  }
  std::string operator()(const std::vector<int64_t>& list) const {
    return TypedList("int64", list);
  }
  std::string operator()(const std::vector<double>& list) const {
    return TypedList("float64", list);
  }
  std::string operator()(const std::vector<float>& list) const {
    return TypedList("float32", list);
  }
  std::string operator()(const flutter::EncodableList& list) const {
    std::string text = "[";
    for (size_t i = 0; i < list.size(); ++i) {
      if (i) text += ", ";
      text += ValueToText(list[i]);
    }
    return text + "]";
  }
  std::string operator()(const flutter::EncodableMap& map) const {
    std::string text = "{";
    bool first = true;
    for (const auto& [key, value] : map) {
      if (!first) text += ", ";
      first = false;
      text += ValueToText(key) + ": " + ValueToText(value);
    }
    return text + "}";
  }
  std::string operator()(const flutter::CustomEncodableValue&) const {
    return "<custom>";
  }
};

}  // namespace

std::string QuoteText(const std::string& text) {
  std::string quoted = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof(escape), "\\x%02X", c);
      quoted += escape;
    } else {
      quoted += static_cast<char>(c);
    }
  }
  return quoted + "\"";
}

std::string ValueToText(const flutter::EncodableValue& value) {
  return std::visit(TextVisitor{},
                    static_cast<const flutter::EncodableValueVariant&>(value));
}

}  // namespace kelmor_host
