#include "value_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace kelmor_host {

namespace {

// The shortest text that reads back as `number`; a whole number keeps a
// decimal point, so that it reads back as a double again. Not-a-number and
// the infinities print as "nan", "inf" and "-inf". Every text of up to
// `digits10` significant digits survives a trip through a normal T, so the
// search starts there; a subnormal holds fewer digits and starts at one.
template <typename T>
std::string Number(T number) {
  using Limits = std::numeric_limits<T>;
  const bool subnormal = number != 0 && std::fabs(number) < Limits::min();
  char text[40];
  for (int digits = subnormal ? 1 : Limits::digits10;; ++digits) {
    std::snprintf(text, sizeof(text), "%.*g", digits, double{number});
    if (digits == std::numeric_limits<T>::max_digits10 ||
        static_cast<T>(std::strtod(text, nullptr)) == number) {
      break;
    }
  }
  std::string result = text;
  if (result.find_first_of(".en") == std::string::npos) result += ".0";
  return result;
}

std::string Element(double number) { return Number(number); }
std::string Element(float number) { return Number(number); }
std::string Element(int32_t number) { return std::to_string(number); }
std::string Element(int64_t number) { return std::to_string(number); }
std::string Element(uint8_t number) { return std::to_string(number); }

template <typename T>
std::string TypedList(const char* name, const std::vector<T>& list) {
  std::string text = std::string(name) + '[';
  for (size_t i = 0; i < list.size(); ++i) {
    if (i) text += ", ";
    text += Element(list[i]);
  }
  return text + ']';
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
  std::string operator()(double number) const { return Element(number); }
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
