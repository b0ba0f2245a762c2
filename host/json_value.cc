#include "json_value.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

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

// `text` cut to kMaxReasonBytes, on one line.
std::string OneShortLine(std::string text) {
  if (text.size() > kMaxReasonBytes) {
    text.resize(kMaxReasonBytes);
    text += "...";
  }
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

// The parser's reason without its exception tag, cut to one short line.
std::string ParseReason(const json::exception& failure) {
  std::string reason = failure.what();
  const size_t tag_end = reason.find("] ");
  if (tag_end != std::string::npos) reason.erase(0, tag_end + 2);
  return OneShortLine(std::move(reason));
}

// A number as written, without a fraction or an exponent.
bool IsWholeNumber(const std::string& spelling) {
  return spelling.find_first_of(".eE") == std::string::npos;
}

std::string WholeNumberError(const std::string& spelling) {
  return "whole number " + OneShortLine(spelling) +
         " does not fit in int64 (give it a fraction or an exponent to send "
         "a double)";
}

EncodableValue FromInteger(int64_t number) {
  if (number >= std::numeric_limits<int32_t>::min() &&
      number <= std::numeric_limits<int32_t>::max()) {
    return EncodableValue(static_cast<int32_t>(number));
  }
  return EncodableValue(number);
}

// A typed list taken out of the text, and how many strings that are values
// come before it: it stands in the text as the empty string at that place.
struct TypedList {
  size_t string_index = 0;
  EncodableValue value;
};

// One element of a typed list of `T`, the whole of `token`.
template <typename T>
bool ElementFrom(const std::string& token, std::vector<T>* list) {
  if constexpr (std::is_floating_point_v<T>) {
    char* end = nullptr;
    const double number = std::strtod(token.c_str(), &end);
    if (token.empty() || end != token.c_str() + token.size()) return false;
    list->push_back(static_cast<T>(number));
  } else {
    int64_t number = 0;
    const char* end = token.data() + token.size();
    const auto parsed = std::from_chars(token.data(), end, number);
    if (token.empty() || parsed.ec != std::errc() || parsed.ptr != end ||
        number < std::numeric_limits<T>::min() ||
        number > std::numeric_limits<T>::max()) {
      return false;
    }
    list->push_back(static_cast<T>(number));
  }
  return true;
}

// Reads the elements after the '[' at `*at` up to the closing ']', which
// `*at` ends just past.
template <typename T>
bool ElementsFrom(const std::string& text, size_t* at, const std::string& name,
                  EncodableValue* value, std::string* error) {
  std::vector<T> list;
  auto skip_space = [&] {
    while (*at < text.size() &&
           std::isspace(static_cast<unsigned char>(text[*at])))
      ++*at;
  };
  ++*at;
  skip_space();
  bool first = true;
  while (*at < text.size() && text[*at] != ']') {
    if (!first) {
      if (text[*at] != ',') break;
      ++*at;
      skip_space();
    }
    first = false;
    const size_t start = *at;
    while (*at < text.size() &&
           (std::isalnum(static_cast<unsigned char>(text[*at])) ||
            text[*at] == '.' || text[*at] == '+' || text[*at] == '-')) {
      ++*at;
    }
    const std::string token = text.substr(start, *at - start);
    if (!ElementFrom(token, &list)) {
      *error = "bad " + name + " list element \"" + OneShortLine(token) + "\"";
      return false;
    }
    skip_space();
  }
  if (*at >= text.size() || text[*at] != ']') {
    *error = "not valid JSON: " + name + " list not closed by ]";
    return false;
  }
  ++*at;
  *value = EncodableValue(std::move(list));
  return true;
}

// Takes each typed list out of `text` into `lists`, leaving JSON in `plain`.
// Outside strings, a name of a typed list followed by '[' starts one; a
// string followed by ':' is a key, any other a value.
bool TakeTypedLists(const std::string& text, std::string* plain,
                    std::vector<TypedList>* lists, std::string* error) {
  size_t string_values = 0;
  auto next_is_colon = [&](size_t at) {
    while (at < text.size() &&
           std::isspace(static_cast<unsigned char>(text[at])))
      ++at;
    return at < text.size() && text[at] == ':';
  };
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '"') {
      const size_t start = i++;
      while (i < text.size() && text[i] != '"') i += text[i] == '\\' ? 2 : 1;
      i = std::min(i + 1, text.size());
      plain->append(text, start, i - start);
      if (!next_is_colon(i)) ++string_values;
      continue;
    }
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      plain->push_back(c);
      ++i;
      continue;
    }
    const size_t start = i;
    while (i < text.size() && std::isalnum(static_cast<unsigned char>(text[i])))
      ++i;
    const std::string name = text.substr(start, i - start);
    size_t open = i;
    while (open < text.size() &&
           std::isspace(static_cast<unsigned char>(text[open])))
      ++open;
    EncodableValue list;
    bool typed = open < text.size() && text[open] == '[';
    if (typed && name == "int32") {
      typed = ElementsFrom<int32_t>(text, &open, name, &list, error);
    } else if (typed && name == "int64") {
      typed = ElementsFrom<int64_t>(text, &open, name, &list, error);
    } else if (typed && name == "uint8") {
      typed = ElementsFrom<uint8_t>(text, &open, name, &list, error);
    } else if (typed && name == "float32") {
      typed = ElementsFrom<float>(text, &open, name, &list, error);
    } else if (typed && name == "float64") {
      typed = ElementsFrom<double>(text, &open, name, &list, error);
    } else {
      plain->append(name);  // true, false, null, or not JSON
      continue;
    }
    if (!typed) return false;
    if (next_is_colon(open)) {
      *error = "not valid JSON: a typed list cannot be a key";
      return false;
    }
    lists->push_back({string_values++, std::move(list)});
    plain->append("\"\"");
    i = open;
  }
  return true;
}

// Builds the value as the parser reads the text, with no parsed tree in
// between. Each number arrives with its spelling, so a whole number beyond
// int64, which the parser makes a double of, is refused by name. Open arrays
// and objects wait on a stack of their own, not the call stack.
class ValueBuilder {
 public:
  explicit ValueBuilder(std::vector<TypedList> lists)
      : lists_(std::move(lists)) {}

  // Complete once the parse has succeeded.
  EncodableValue& value() { return root_; }
  // Why the parse stopped, when a callback returned false.
  const std::string& error() const { return error_; }

  // ==== The parser's callbacks; false stops the parse ====
  bool null() { return Add(EncodableValue()); }
  bool boolean(bool value) { return Add(EncodableValue(value)); }
  bool number_integer(json::number_integer_t number) {
    return Add(FromInteger(number));
  }
  bool number_unsigned(json::number_unsigned_t number) {
    if (number > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
      return Refuse(WholeNumberError(std::to_string(number)));
    }
    return Add(FromInteger(static_cast<int64_t>(number)));
  }
  // Whole numbers past uint64, and negative ones past int64, come here.
  bool number_float(json::number_float_t number, const std::string& spelling) {
    if (IsWholeNumber(spelling)) return Refuse(WholeNumberError(spelling));
    return Add(EncodableValue(number));
  }
  bool string(std::string& text) {
    if (next_list_ < lists_.size() &&
        lists_[next_list_].string_index == strings_++) {
      return Add(std::move(lists_[next_list_++].value));
    }
    return Add(EncodableValue(std::move(text)));
  }
  bool binary(json::binary_t&) {  // the JSON parser never gives binary data
    return Refuse("not valid JSON: binary data");
  }
  bool start_object(std::size_t) {
    open_.push_back({EncodableValue(flutter::EncodableMap()), {}});
    return true;
  }
  bool key(std::string& name) {
    open_.back().key = EncodableValue(std::move(name));
    return true;
  }
  bool end_object() { return Close(); }
  bool start_array(std::size_t) {
    open_.push_back({EncodableValue(flutter::EncodableList()), {}});
    return true;
  }
  bool end_array() { return Close(); }
  bool parse_error(std::size_t, const std::string& last_token,
                   const json::exception& failure) {
    // Too large even for a double (406): a whole number is refused as any
    // beyond int64 is.
    if (failure.id == 406 && IsWholeNumber(last_token)) {
      return Refuse(WholeNumberError(last_token));
    }
    return Refuse("not valid JSON: " + ParseReason(failure));
  }

 private:
  struct Open {
    EncodableValue container;  // an EncodableList or an EncodableMap
    EncodableValue key;        // in a map, the key of the value to come
  };

  bool Add(EncodableValue value) {
    if (open_.empty()) {
      root_ = std::move(value);
    } else if (auto* list = std::get_if<flutter::EncodableList>(
                   &open_.back().container)) {
      list->push_back(std::move(value));
    } else {
      // A repeated key keeps its last value.
      std::get<flutter::EncodableMap>(open_.back().container)
          .insert_or_assign(std::move(open_.back().key), std::move(value));
    }
    return true;
  }

  bool Close() {
    EncodableValue done = std::move(open_.back().container);
    open_.pop_back();
    return Add(std::move(done));
  }

  bool Refuse(std::string reason) {
    error_ = std::move(reason);
    return false;
  }

  std::vector<Open> open_;
  std::vector<TypedList> lists_;
  size_t next_list_ = 0;
  size_t strings_ = 0;  // string values read so far
  EncodableValue root_;
  std::string error_;
};

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
  std::string plain;
  std::vector<TypedList> lists;
  if (!TakeTypedLists(text, &plain, &lists, error)) return false;
  if (!NestingWithin(plain, flutter::kMaxNestingDepth)) {
    *error = "JSON arrays and objects nested deeper than " +
             std::to_string(flutter::kMaxNestingDepth) + " levels";
    return false;
  }
  ValueBuilder builder(std::move(lists));
  if (!json::sax_parse(plain, &builder)) {
    *error = builder.error();
    return false;
  }
  *value = std::move(builder.value());
  return true;
}

}  // namespace kelmor_host
