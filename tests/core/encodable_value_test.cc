#include "flutter/encodable_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

using flutter::CustomEncodableValue;
using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kFloatNaN = std::numeric_limits<float>::quiet_NaN();

TEST(EncodableValue, DefaultIsNullAndLiteralIsString) {
  EXPECT_EQ(EncodableValue().index(), 0u);
  EXPECT_TRUE(EncodableValue().IsNull());
  EncodableValue text("abc");
  EXPECT_EQ(std::get<std::string>(text), "abc");
  text = "xyz";
  EXPECT_EQ(std::get<std::string>(text), "xyz");
}

TEST(EncodableValue, AlternativeIndicesFollowTheFixedOrder) {
  EXPECT_EQ(EncodableValue(true).index(), 1u);
  EXPECT_EQ(EncodableValue(int32_t{1}).index(), 2u);
  EXPECT_EQ(EncodableValue(int64_t{1}).index(), 3u);
  EXPECT_EQ(EncodableValue(1.0).index(), 4u);
  EXPECT_EQ(EncodableValue(std::vector<double>{}).index(), 9u);
  EXPECT_EQ(EncodableValue(CustomEncodableValue(std::any(1))).index(), 12u);
  EXPECT_EQ(EncodableValue(std::vector<float>{}).index(), 13u);
}

struct OrderCase {
  const char* name;
  EncodableValue less;
  EncodableValue greater;
};

TEST(EncodableValue, OrderingTable) {
  const OrderCase cases[] = {
      {"null < false", EncodableValue(), EncodableValue(false)},
      {"false < true", EncodableValue(false), EncodableValue(true)},
      {"true < lowest int32", EncodableValue(true),
       EncodableValue(std::numeric_limits<int32_t>::min())},
      {"int32 -1 < 0", EncodableValue(int32_t{-1}), EncodableValue(int32_t{0})},
      {"int64 -1 < 0", EncodableValue(int64_t{-1}), EncodableValue(int64_t{0})},
      {"max int32 < min int64",
       EncodableValue(std::numeric_limits<int32_t>::max()),
       EncodableValue(std::numeric_limits<int64_t>::min())},
      {"max int64 < double -1e308",
       EncodableValue(std::numeric_limits<int64_t>::max()),
       EncodableValue(-1.0e308)},
      {"a < ab", EncodableValue("a"), EncodableValue("ab")},
      {"ab < b", EncodableValue("ab"), EncodableValue("b")},
      {"a < \\xFF", EncodableValue("a"), EncodableValue("\xFF")},
      {"empty string < a", EncodableValue(""), EncodableValue("a")},
      {"u8 {1,0} < {FF}", EncodableValue(std::vector<uint8_t>{1, 0}),
       EncodableValue(std::vector<uint8_t>{0xFF})},
      {"u8 {1} < {1,0}", EncodableValue(std::vector<uint8_t>{1}),
       EncodableValue(std::vector<uint8_t>{1, 0})},
      {"u8 empty < {0}", EncodableValue(std::vector<uint8_t>{}),
       EncodableValue(std::vector<uint8_t>{0})},
      {"i32 {-1} < {0}", EncodableValue(std::vector<int32_t>{-1}),
       EncodableValue(std::vector<int32_t>{0})},
      {"i32 {1,2} < {1,3}", EncodableValue(std::vector<int32_t>{1, 2}),
       EncodableValue(std::vector<int32_t>{1, 3})},
      {"f64 {1} < {1,0}", EncodableValue(std::vector<double>{1.0}),
       EncodableValue(std::vector<double>{1.0, 0.0})},
      {"f64 {NaN,1} < {NaN,2}", EncodableValue(std::vector<double>{kNaN, 1.0}),
       EncodableValue(std::vector<double>{kNaN, 2.0})},
      {"f32 {NaN,1} < {NaN,2}",
       EncodableValue(std::vector<float>{kFloatNaN, 1.0f}),
       EncodableValue(std::vector<float>{kFloatNaN, 2.0f})},
      {"list empty < {null}", EncodableValue(EncodableList{}),
       EncodableValue(EncodableList{EncodableValue()})},
      {"list {int32 5} < {int64 0}",
       EncodableValue(EncodableList{EncodableValue(int32_t{5})}),
       EncodableValue(EncodableList{EncodableValue(int64_t{0})})},
      {"map empty < {1:a}", EncodableValue(EncodableMap{}),
       EncodableValue(EncodableMap{{int32_t{1}, "a"}})},
      {"map {1:b} < {1:c}", EncodableValue(EncodableMap{{int32_t{1}, "b"}}),
       EncodableValue(EncodableMap{{int32_t{1}, "c"}})},
      {"map {1:z} < {2:a}", EncodableValue(EncodableMap{{int32_t{1}, "z"}}),
       EncodableValue(EncodableMap{{int32_t{2}, "a"}})},
      {"double list < float list (index 9 < 13)",
       EncodableValue(std::vector<double>{9.0}),
       EncodableValue(std::vector<float>{1.0f})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(c.less < c.greater);
    EXPECT_FALSE(c.greater < c.less);
  }
}

TEST(EncodableValue, FloatingPointEquivalences) {
  EncodableMap map;
  map.try_emplace(EncodableValue(0.0), "zero");
  map.try_emplace(EncodableValue(-0.0), "negative zero");
  ASSERT_EQ(map.size(), 1u);
  EXPECT_EQ(std::get<std::string>(map.begin()->second), "zero");
}

// Pins a fault: NaN counted as equivalent to every double, so a map merged
// NaN, 1.0 and 2.0 into one key and found the NaN entry for 1.0.
TEST(EncodableValue, NaNSortsAfterEveryNumberAsOneKey) {
  const double kNegativeNaN = -kNaN;
  const double kInfinity = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(EncodableValue(kInfinity) < EncodableValue(kNaN));
  EXPECT_TRUE(EncodableValue(-1.0e308) < EncodableValue(kNegativeNaN));
  EXPECT_FALSE(EncodableValue(kNaN) < EncodableValue(kNegativeNaN));
  EXPECT_FALSE(EncodableValue(kNegativeNaN) < EncodableValue(kNaN));
  EXPECT_TRUE(EncodableValue(kNaN) < EncodableValue("a"));

  EncodableMap map{{EncodableValue(kNaN), "nan"},
                   {EncodableValue(1.0), "one"},
                   {EncodableValue(2.0), "two"},
                   {EncodableValue(kNegativeNaN), "another nan"}};
  ASSERT_EQ(map.size(), 3u);
  EXPECT_EQ(map.at(EncodableValue(1.0)), EncodableValue("one"));
  EXPECT_EQ(std::prev(map.end())->second, EncodableValue("nan"));

  EncodableMap lists{{EncodableValue(EncodableList{kNaN}), 1},
                     {EncodableValue(EncodableList{5.0}), 2},
                     {EncodableValue(std::vector<float>{kFloatNaN}), 3},
                     {EncodableValue(std::vector<float>{5.0f}), 4}};
  EXPECT_EQ(lists.size(), 4u);
}
TEST(EncodableMap, FirstInsertionOfAKeyWins) {
  EncodableMap map;
  map.insert({EncodableValue(int32_t{1}), EncodableValue("x")});
  map.insert({EncodableValue(int32_t{1}), EncodableValue("y")});
  ASSERT_EQ(map.size(), 1u);
  EXPECT_EQ(map.at(EncodableValue(int32_t{1})), EncodableValue("x"));
}

TEST(EncodableMap, IteratesKeysByAlternativeThenValue) {
  EncodableMap map{{EncodableValue(1.0), 1},
                   {EncodableValue("a"), 2},
                   {EncodableValue(int64_t{7}), 3},
                   {EncodableValue(int32_t{9}), 4},
                   {EncodableValue(), 5}};
  std::vector<size_t> indices;
  for (const auto& entry : map) indices.push_back(entry.first.index());
  EXPECT_EQ(indices, (std::vector<size_t>{0, 2, 3, 4, 5}));
  // Numbers of different alternatives are distinct keys.
  EXPECT_EQ(map.count(EncodableValue(int64_t{9})), 0u);
}

TEST(EncodableValue, CopiesAreDeep) {
  EncodableList source{EncodableValue(EncodableMap{{"k", "v"}})};
  EncodableList copy = source;
  std::get<EncodableMap>(copy[0])[EncodableValue("k")] = "changed";
  EXPECT_EQ(std::get<EncodableMap>(source[0]).at(EncodableValue("k")),
            EncodableValue("v"));
}

TEST(CustomEncodableValue, OrderedAndComparedByIdentity) {
  EncodableValue first(CustomEncodableValue(std::any(42)));
  EncodableValue second(CustomEncodableValue(std::any(42)));
  EXPECT_FALSE(first < first);
  EXPECT_TRUE(first < second || second < first);
  EXPECT_FALSE(first == second);
  EncodableMap map;
  map.try_emplace(first, 1);
  map.try_emplace(second, 2);
  EXPECT_EQ(map.size(), 2u);
  const EncodableValue copy = first;
  EXPECT_EQ(std::any_cast<int>(std::get<CustomEncodableValue>(copy).value()),
            42);
}

}  // namespace

namespace {

// Nested lists `depth` deep around `inner`.
flutter::EncodableValue Nest(int depth, flutter::EncodableValue inner) {
  for (int i = 0; i < depth; ++i) {
    inner = flutter::EncodableValue(flutter::EncodableList{std::move(inner)});
  }
  return inner;
}

TEST(EncodableValue, ComparingDeeplyNestedValuesIsLinear) {
  // Pins a fault: comparison through std::variant tests each nested pair
  // both ways, doubling the work at every level.
  const auto a = Nest(100, flutter::EncodableValue(int32_t{1}));
  const auto b = Nest(100, flutter::EncodableValue(int32_t{2}));
  EXPECT_TRUE(a < b);
  EXPECT_FALSE(b < a);
  EXPECT_FALSE(a < a);
  EncodableMap map{{a, 1}, {b, 2}};
  EXPECT_EQ(map.size(), 2u);
}

}  // namespace

namespace {

struct ComparisonCase {
  std::string name;
  const EncodableValue* a;
  const EncodableValue* b;
  int order;  // of a against b: -1, 0 or 1
};

// Checks every operator against the expected order, in both directions.
void ExpectOrder(const ComparisonCase& c) {
  SCOPED_TRACE(c.name);
  for (const bool swapped : {false, true}) {
    SCOPED_TRACE(swapped ? "b against a" : "a against b");
    const EncodableValue& a = swapped ? *c.b : *c.a;
    const EncodableValue& b = swapped ? *c.a : *c.b;
    const int order = swapped ? -c.order : c.order;
    EXPECT_EQ(a == b, order == 0);
    EXPECT_EQ(a != b, order != 0);
    EXPECT_EQ(a < b, order < 0);
    EXPECT_EQ(a > b, order > 0);
    EXPECT_EQ(a <= b, order <= 0);
    EXPECT_EQ(a >= b, order >= 0);
  }
}

// Strings compare byte by byte as unsigned, inline up to 16 common bytes and
// through the C library beyond; every byte counts on both paths.
TEST(EncodableValue, AllSixOperatorsAgreeWithTheOrdering) {
  std::vector<std::unique_ptr<EncodableValue>> values;
  auto keep = [&values](EncodableValue value) {
    values.push_back(std::make_unique<EncodableValue>(std::move(value)));
    return values.back().get();
  };
  const EncodableValue* custom = keep(CustomEncodableValue(std::any(1)));

  std::vector<ComparisonCase> cases = {
      {"ab vs ac: same length, second byte differs", keep("ab"), keep("ac"),
       -1},
      {"abc vs abd: third byte differs", keep("abc"), keep("abd"), -1},
      {"equal strings", keep("abc"), keep("abc"), 0},
      {"empty strings", keep(""), keep(""), 0},
      {"a\\x01 vs a\\xFF: bytes are unsigned", keep("a\x01"), keep("a\xFF"),
       -1},
      {"null vs null", keep(EncodableValue()), keep(EncodableValue()), 0},
      {"null vs false", keep(EncodableValue()), keep(false), -1},
      {"custom value against itself", custom, custom, 0},
      {"int32 2 vs 1", keep(int32_t{2}), keep(int32_t{1}), 1},
  };
  // Long strings sharing a prefix, differing at one position (before, at and
  // after the 16th byte), and long strings one of which extends the other.
  const std::string base(40, 'm');
  for (const size_t at : {0, 1, 7, 15, 16, 17, 24, 39}) {
    std::string higher = base;
    higher[at] = 'n';
    cases.push_back({"40 bytes, differing at byte " + std::to_string(at),
                     keep(base), keep(higher), -1});
    std::string high_bit = base;
    high_bit[at] = '\x80';
    cases.push_back({"40 bytes, \\x80 at byte " + std::to_string(at),
                     keep(high_bit), keep(base), 1});
  }
  for (const size_t length : {16, 17, 18, 33}) {
    cases.push_back({"prefix of " + std::to_string(length) + " bytes",
                     keep(std::string(length, 'q')),
                     keep(std::string(length + 1, 'q')), -1});
    cases.push_back({"equal strings of " + std::to_string(length) + " bytes",
                     keep(std::string(length, 'q')),
                     keep(std::string(length, 'q')), 0});
  }
  for (const auto& c : cases) ExpectOrder(c);
}

TEST(EncodableMap, StringsDifferingAfterTheirFirstByteAreDistinctKeys) {
  EncodableMap map;
  map.try_emplace(EncodableValue("ab"), 1);
  map.try_emplace(EncodableValue("ac"), 2);
  map.try_emplace(EncodableValue(std::string(20, 'x') + "a"), 3);
  map.try_emplace(EncodableValue(std::string(20, 'x') + "b"), 4);
  ASSERT_EQ(map.size(), 4u);
  EXPECT_EQ(map.at(EncodableValue("ac")), EncodableValue(2));
  EXPECT_EQ(map.at(EncodableValue(std::string(20, 'x') + "b")),
            EncodableValue(4));
}

}  // namespace

namespace {

// Small random values drawn from a narrow domain, so that equal and
// equivalent values meet often: NaNs of several signs and payloads, both
// zeros, and lists and maps nested two deep.
class RandomValues {
 public:
  explicit RandomValues(uint32_t seed) : engine_(seed) {}

  EncodableValue Next(int depth = 0) {
    switch (Below(depth < 2 ? 9 : 7)) {
      case 0:
        return EncodableValue();
      case 1:
        return EncodableValue(static_cast<int32_t>(Below(3)) - 1);
      case 2:
        return EncodableValue(Double());
      case 3:
        return EncodableValue(std::string(Below(2), 'a' + Below(2)));
      case 4:
        return EncodableValue(Sequence<double>([this] { return Double(); }));
      case 5:
        return EncodableValue(
            Sequence<float>([this] { return static_cast<float>(Double()); }));
      case 6:
        return EncodableValue(Below(2) == 0);
      case 7:
        return EncodableValue(
            Sequence<EncodableValue>([&] { return Next(depth + 1); }));
      default: {
        EncodableMap map;
        for (uint32_t i = Below(3); i > 0; --i) {
          map.try_emplace(Next(depth + 1), Next(depth + 1));
        }
        return EncodableValue(std::move(map));
      }
    }
  }

 private:
  uint32_t Below(uint32_t bound) { return engine_() % bound; }

  double Double() {
    static const uint64_t kNaNs[] = {0x7FF8000000000000, 0xFFF8000000000000,
                                     0x7FF8000000000001, 0x7FF0000000000001,
                                     0xFFFFFFFFFFFFFFFF};
    switch (Below(5)) {
      case 0: {
        double nan;
        std::memcpy(&nan, &kNaNs[Below(5)], sizeof(nan));
        return nan;
      }
      case 1:
        return Below(2) == 0 ? 0.0 : -0.0;
      default:
        return static_cast<double>(Below(3)) - 1.0;
    }
  }

  template <typename T, typename Make>
  std::vector<T> Sequence(Make make) {
    std::vector<T> elements;
    for (uint32_t i = Below(3); i > 0; --i) elements.push_back(make());
    return elements;
  }

  std::mt19937 engine_;
};

bool Equivalent(const EncodableValue& a, const EncodableValue& b) {
  return !(a < b) && !(b < a);
}

// The laws a map needs of its key order: irreflexive, asymmetric,
// transitive, and transitive in equivalence.
TEST(EncodableValue, OrderingIsAStrictWeakOrderingWithNaNs) {
  RandomValues random(20261209);
  for (int i = 0; i < 100000; ++i) {
    const EncodableValue a = random.Next();
    const EncodableValue b = random.Next();
    const EncodableValue c = random.Next();
    const bool holds =
        !(a < a) && !(a < b && b < a) && (!(a < b && b < c) || a < c) &&
        (!(Equivalent(a, b) && Equivalent(b, c)) || Equivalent(a, c)) &&
        a.Compare(b) == -b.Compare(a);
    if (!holds) {
      FAIL() << "laws broken at triple " << i;
    }
  }
}

}  // namespace
