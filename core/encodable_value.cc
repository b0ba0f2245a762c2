#include "flutter/encodable_value.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <type_traits>

namespace flutter {

namespace {

template <typename T>
int CompareOrdered(const T& a, const T& b) {
  if (a < b) return -1;
  if (b < a) return 1;
  return 0;
}

// Numbers by value, 0.0 and -0.0 alike. A NaN of any sign or payload sorts
// after every number and alongside every other NaN: IEEE-754's own
// less-than leaves NaN unordered, which no map can use as a key order, since
// a NaN would then be equivalent to both 1.0 and 2.0 and merge them.
template <typename T>
int CompareScalars(const T& a, const T& b) {
  if constexpr (std::is_floating_point_v<T>) {
    const bool a_is_nan = std::isnan(a);
    const bool b_is_nan = std::isnan(b);
    if (a_is_nan || b_is_nan) return CompareOrdered(a_is_nan, b_is_nan);
  }
  return CompareOrdered(a, b);
}

int CompareSizes(size_t a, size_t b) { return CompareScalars(a, b); }

// Lexicographic: the first differing element decides, else the shorter wins.
template <typename Sequence, typename ElementCompare>
int CompareSequences(const Sequence& a, const Sequence& b,
                     ElementCompare compare) {
  auto left = a.begin();
  auto right = b.begin();
  for (; left != a.end() && right != b.end(); ++left, ++right) {
    const int order = compare(*left, *right);
    if (order != 0) return order;
  }
  return CompareSizes(a.size(), b.size());
}

// Bytes compared as unsigned; map keys are mostly short and differ early,
// so a plain loop beats a call into the C library for them.
int CompareStrings(const std::string& a, const std::string& b) {
  const size_t common = std::min(a.size(), b.size());
  constexpr size_t kShort = 16;
  if (common > kShort) {
    const int order = std::memcmp(a.data(), b.data(), common);
    if (order != 0) return order < 0 ? -1 : 1;
  } else {
    for (size_t i = 0; i < common; ++i) {
      const auto left = static_cast<unsigned char>(a[i]);
      const auto right = static_cast<unsigned char>(b[i]);
      if (left != right) return left < right ? -1 : 1;
    }
  }
  return CompareSizes(a.size(), b.size());
}

int CompareEntries(const EncodableMap::value_type& a,
                   const EncodableMap::value_type& b) {
  const int order = a.first.Compare(b.first);
  return order != 0 ? order : a.second.Compare(b.second);
}

struct PayloadCompare {
  const EncodableValueVariant& other;

  template <typename T>
  int operator()(const T& payload) const {
    const T& theirs = std::get<T>(other);
    if constexpr (std::is_same_v<T, std::monostate>) {
      return 0;
    } else if constexpr (std::is_same_v<T, std::string>) {
      return CompareStrings(payload, theirs);
    } else if constexpr (std::is_same_v<T, EncodableList>) {
      return CompareSequences(
          payload, theirs,
          [](const EncodableValue& a, const EncodableValue& b) {
            return a.Compare(b);
          });
    } else if constexpr (std::is_same_v<T, EncodableMap>) {
      return CompareSequences(payload, theirs, CompareEntries);
    } else if constexpr (std::is_same_v<T, CustomEncodableValue>) {
      // Identity: a copy of a custom value is a different key.
      if (std::less<const void*>()(&payload, &theirs)) return -1;
      return &payload == &theirs ? 0 : 1;
    } else if constexpr (std::is_arithmetic_v<T>) {
      return CompareScalars(payload, theirs);
    } else {  // typed lists
      return CompareSequences(
          payload, theirs, [](auto a, auto b) { return CompareScalars(a, b); });
    }
  }
};

}  // namespace

int EncodableValue::Compare(const EncodableValue& other) const {
  if (index() != other.index()) return CompareSizes(index(), other.index());
  // Map keys are mostly strings: skip the visit for them.
  if (const auto* text = std::get_if<std::string>(this)) {
    return CompareStrings(*text, *std::get_if<std::string>(&other));
  }
  return std::visit(PayloadCompare{other},
                    static_cast<const EncodableValueVariant&>(*this));
}

}  // namespace flutter
