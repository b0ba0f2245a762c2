#include "json_value.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "flutter/standard_codec_serializer.h"
#include "value_text.h"

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;
using kelmor_host::EncodableValueFromJson;
using kelmor_host::kMaxJsonTextBytes;
using testing::HasSubstr;
using testing::Not;

constexpr int kLimit = flutter::kMaxNestingDepth;

std::string Repeat(const std::string& piece, size_t times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (size_t i = 0; i < times; ++i) text += piece;
  return text;
}

// `depth` nested arrays around `inner`.
std::string Arrays(size_t depth, const std::string& inner = "") {
  return Repeat("[", depth) + inner + Repeat("]", depth);
}

// `depth` nested objects {"k": ...} around `inner`.
std::string Objects(size_t depth, const std::string& inner = "1") {
  return Repeat("{\"k\":", depth) + inner + Repeat("}", depth);
}

// Levels of lists and maps, following the first element or entry.
int DepthOf(const EncodableValue& value) {
  int depth = 0;
  const EncodableValue* current = &value;
  for (;;) {
    if (const auto* list = std::get_if<EncodableList>(current)) {
      ++depth;
      if (list->empty()) break;
      current = &list->front();
    } else if (const auto* map = std::get_if<EncodableMap>(current)) {
      ++depth;
      if (map->empty()) break;
      current = &map->begin()->second;
    } else {
      break;
    }
  }
  return depth;
}

struct DepthCase {
  const char* name;
  std::string text;
  int depth;  // of the value taken; -1: refused as too deep
};

// The codec's nesting limit applies to the text: a top-level array or object
// is one level, and only brackets outside strings count.
TEST(JsonValueLimits, NestingUpToTheCodecLimitIsTakenDeeperRefused) {
  const DepthCase cases[] = {
      {"control: a scalar", "7", 0},
      {"arrays at the limit", Arrays(kLimit), kLimit},
      {"arrays one past the limit", Arrays(kLimit + 1), -1},
      {"objects at the limit", Objects(kLimit), kLimit},
      {"objects one past the limit", Objects(kLimit + 1), -1},
      {"arrays and objects mixed, one past the limit",
       Repeat("[{\"k\":", 32) + "[1]" + Repeat("}]", 32), -1},
      {"20,000 open brackets", Repeat("[", 20000), -1},
      {"20,000 balanced brackets", Arrays(20000), -1},
      {"20,000 open braces", Repeat("{\"k\":", 20000), -1},
      {"brackets inside strings do not count", Arrays(kLimit, R"("[[{\"[{")"),
       kLimit},
      {"an escaped backslash ends before the quote, so what follows counts",
       R"(["\\", )" + Arrays(kLimit) + "]", -1},
      {"siblings do not add up",
       "[" + Arrays(kLimit - 1) + "," + Arrays(kLimit - 1) + "]", kLimit},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EncodableValue value(int32_t{-1});
    std::string error;
    const bool taken = EncodableValueFromJson(c.text, &value, &error);
    if (c.depth >= 0) {
      ASSERT_TRUE(taken) << error;
      EXPECT_EQ(DepthOf(value), c.depth);
    } else {
      EXPECT_FALSE(taken);
      EXPECT_EQ(error, "JSON arrays and objects nested deeper than 64 levels");
      EXPECT_EQ(value, EncodableValue(int32_t{-1}));
    }
  }
}

TEST(JsonValueLimits, StringsInsideDeepTextsKeepTheirBrackets) {
  EncodableValue value;
  std::string error;
  ASSERT_TRUE(
      EncodableValueFromJson(Arrays(kLimit, R"("]{[\"")"), &value, &error));
  const EncodableValue* innermost = &value;
  while (const auto* list = std::get_if<EncodableList>(innermost)) {
    innermost = &list->front();
  }
  EXPECT_EQ(*innermost, EncodableValue("]{[\""));
}

// The length is refused before anything reads the text; at the limit the
// text reaches the parser (this one fails there at its first byte).
TEST(JsonValueLimits, TextsLongerThanTheLimitAreRefused) {
  EncodableValue value;
  std::string error;
  std::string text(kMaxJsonTextBytes + 1, ' ');
  text[0] = ']';
  EXPECT_FALSE(EncodableValueFromJson(text, &value, &error));
  EXPECT_EQ(error,
            "JSON text of 67108865 bytes is longer than the limit of "
            "67108864 bytes (64 MiB)");

  text.pop_back();
  EXPECT_FALSE(EncodableValueFromJson(text, &value, &error));
  EXPECT_THAT(error, HasSubstr("not valid JSON: "));
}

struct NumberCase {
  const char* name;
  std::string text;
  EncodableValue taken;  // null: refused, naming `text`
};

// Regression: whole numbers beyond int64 silently became doubles. Refused,
// however far beyond and wherever they sit; at the edges they are int64, and
// a fraction or an exponent makes a double of any size.
TEST(JsonValueNumbers, WholeNumbersBeyondInt64AreRefusedByName) {
  const NumberCase cases[] = {
      {"control: the largest int64", "9223372036854775807",
       EncodableValue(int64_t{9223372036854775807})},
      {"control: the smallest int64", "-9223372036854775808",
       EncodableValue(std::numeric_limits<int64_t>::min())},
      {"one past the largest", "9223372036854775808", EncodableValue()},
      {"the largest uint64", "18446744073709551615", EncodableValue()},
      {"past uint64", "18446744073709551616", EncodableValue()},
      {"one below the smallest", "-9223372036854775809", EncodableValue()},
      {"past a double", "1" + std::string(400, '0'), EncodableValue()},
      {"in a map in a list", R"([1, {"k": 18446744073709551615}])",
       EncodableValue()},
      {"with a fraction", "18446744073709551615.0",
       EncodableValue(18446744073709551615.0)},
      {"with an exponent", "-9223372036854775809e0",
       EncodableValue(-9223372036854775809.0)},
      {"a small one with an exponent", "1e3", EncodableValue(1000.0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EncodableValue value("untouched");
    std::string error;
    const bool taken = EncodableValueFromJson(c.text, &value, &error);
    if (!c.taken.IsNull()) {
      ASSERT_TRUE(taken) << error;
      EXPECT_EQ(value, c.taken);
      EXPECT_EQ(value.index(), c.taken.index());
      continue;
    }
    EXPECT_FALSE(taken);
    const std::string number =
        c.text[0] == '[' ? "18446744073709551615" : c.text.substr(0, 160);
    EXPECT_THAT(error, testing::StartsWith("whole number " + number));
    EXPECT_THAT(error, HasSubstr(" does not fit in int64 (give it a fraction "
                                 "or an exponent to send a double)"));
    EXPECT_EQ(value, EncodableValue("untouched"));
  }
}

TEST(JsonValueLimits, ParseErrorsAreOneShortLine) {
  const std::string cases[] = {
      "{bad",
      "[1,\n2,\n",
      "\"" + std::string(1 << 20, 'x'),  // the reason quotes the whole token
      "1e400",                           // too large for a double
      "",
  };
  for (const auto& text : cases) {
    SCOPED_TRACE(text.substr(0, 20));
    EncodableValue value;
    std::string error;
    EXPECT_FALSE(EncodableValueFromJson(text, &value, &error));
    EXPECT_THAT(error, HasSubstr("not valid JSON: "));
    EXPECT_THAT(error, Not(HasSubstr("\n")));
    EXPECT_LT(error.size(), 256u);
  }
}

// What the host prints reads back as the same value: doubles to the last
// bit, whole doubles still doubles, typed lists with their element types.
class RandomValues {
 public:
  EncodableValue Any(int depth) {
    switch (Below(depth < 3 ? 13 : 11)) {
      case 0:
        return EncodableValue();
      case 1:
        return EncodableValue(Below(2) == 0);
      case 2:
        return EncodableValue(static_cast<int32_t>(random_()));
      case 3:  // int32's range reads back as int32
        return EncodableValue(
            static_cast<int64_t>(random_() | (uint64_t{1} << 40)));
      case 4:
        return EncodableValue(Double());
      case 5:
        return EncodableValue(Below(2) ? std::floor(Double()) : Double());
      case 6:
        return EncodableValue(Text());
      case 7:
        return EncodableValue(
            ListOf<uint8_t>([&] { return uint8_t(random_()); }));
      case 8:
        return EncodableValue(
            ListOf<int32_t>([&] { return int32_t(random_()); }));
      case 9:
        return EncodableValue(ListOf<float>([&] { return Float(); }));
      case 10:
        return Below(2)
                   ? EncodableValue(ListOf<double>([&] { return Double(); }))
                   : EncodableValue(
                         ListOf<int64_t>([&] { return int64_t(random_()); }));
      case 11: {
        EncodableList list;
        for (size_t i = Below(4); i > 0; --i) list.push_back(Any(depth + 1));
        return EncodableValue(list);
      }
      default: {
        EncodableMap map;
        for (size_t i = Below(4); i > 0; --i) {
          map[EncodableValue(Text())] = Any(depth + 1);
        }
        return EncodableValue(map);
      }
    }
  }

 private:
  size_t Below(size_t bound) { return random_() % bound; }
  // Any finite double, from its bits.
  double Double() {
    double number;
    do {
      const uint64_t bits = random_();
      std::memcpy(&number, &bits, sizeof(number));
    } while (!std::isfinite(number));
    return number;
  }
  float Float() {
    float number;
    do {
      const uint32_t bits = static_cast<uint32_t>(random_());
      std::memcpy(&number, &bits, sizeof(number));
    } while (!std::isfinite(number));
    return number;
  }
  // Printable ASCII, quotes and backslashes included.
  std::string Text() {
    std::string text;
    for (size_t i = Below(6); i > 0; --i) text += char(' ' + Below(95));
    return text;
  }
  template <typename T, typename Make>
  std::vector<T> ListOf(Make make) {
    std::vector<T> list;
    for (size_t i = Below(4); i > 0; --i) list.push_back(make());
    return list;
  }

  std::mt19937_64 random_{20261209};
};

TEST(JsonValueText, PrintedValuesReadBackTheSame) {
  RandomValues values;
  for (int i = 0; i < 2000; ++i) {
    const EncodableValue value = values.Any(0);
    const std::string text = kelmor_host::ValueToText(value);
    SCOPED_TRACE(text);
    EncodableValue back;
    std::string error;
    ASSERT_TRUE(EncodableValueFromJson(text, &back, &error)) << error;
    EXPECT_EQ(back, value);
  }
}

TEST(JsonValueText, DoublesPrintShortestAndWholeOnesAsDoubles) {
  const std::pair<double, const char*> cases[] = {
      {2.0, "2.0"},
      {0.1, "0.1"},
      {-0.0, "-0.0"},
      {1e300, "1e+300"},
      {0.30000000000000004, "0.30000000000000004"},
      {5e-324, "5e-324"},
      {-1.5e-323, "-1.5e-323"},
      {2.2250738585072014e-308, "2.2250738585072014e-308"},
  };
  for (const auto& [number, text] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(kelmor_host::ValueToText(EncodableValue(number)), text);
  }
  EXPECT_EQ(kelmor_host::ValueToText(EncodableValue(
                std::vector<float>{0.1f, 3.0f, 16777216.0f, 1e-45f})),
            "float32[0.1, 3.0, 16777216.0, 1e-45]");
}

// Each element must be whole, and within its type's range.
TEST(JsonValueText, TypedListRefusals) {
  const std::pair<const char*, const char*> cases[] = {
      {"uint8[256]", "bad uint8 list element \"256\""},
      {"int32[2147483648]", "bad int32 list element \"2147483648\""},
      {"int64[1.5]", "bad int64 list element \"1.5\""},
      {"float64[1 2]", "not valid JSON: float64 list not closed by ]"},
      {"int32[1,]", "bad int32 list element \"\""},
      {"{int32[1]: 2}", "not valid JSON: a typed list cannot be a key"},
  };
  for (const auto& [text, reason] : cases) {
    SCOPED_TRACE(text);
    EncodableValue value;
    std::string error;
    EXPECT_FALSE(EncodableValueFromJson(text, &value, &error));
    EXPECT_EQ(error, reason);
  }
  // A typed list's name inside a string is text.
  EncodableValue value;
  std::string error;
  ASSERT_TRUE(
      EncodableValueFromJson(R"(["int32[1]", int32[1]])", &value, &error));
  EXPECT_EQ(value, EncodableValue(
                       EncodableList{EncodableValue("int32[1]"),
                                     EncodableValue(std::vector<int32_t>{1})}));
}

}  // namespace
