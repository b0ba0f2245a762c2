// EncodableValue: the dynamically typed value carried on method channels.
//
//   flutter::EncodableValue v(flutter::EncodableMap{{"answer", 42}});
//   if (std::holds_alternative<flutter::EncodableMap>(v)) { ... }
//
// It is a std::variant over fourteen alternatives in a fixed order. Values are
// ordered by alternative index first, then by payload (lexicographic for
// strings, lists and maps); that order sorts EncodableMap keys. Doubles and
// floats compare by value with 0.0 and -0.0 as one key, and every NaN sorts
// after every number, all NaNs as one key, so that the order stays a strict
// weak ordering and no map loses keys to a NaN. The ordering is our own
// three-way comparison rather than std::variant's, whose nested
// comparisons grow exponentially with nesting depth.
//
// Threads: a value carries no lock; one thread at a time uses it.
#ifndef FLUTTER_ENCODABLE_VALUE_H_
#define FLUTTER_ENCODABLE_VALUE_H_

#include <any>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace flutter {

class EncodableValue;

using EncodableList = std::vector<EncodableValue>;
using EncodableMap = std::map<EncodableValue, EncodableValue>;

// An opaque application object. The standard encoding cannot carry it; it is
// ordered and compared by identity, so a copy is a different map key.
class CustomEncodableValue {
 public:
  explicit CustomEncodableValue(const std::any& value) : value_(value) {}
  explicit CustomEncodableValue(std::any&& value) : value_(std::move(value)) {}

  const std::any& value() const { return value_; }
  std::any& value() { return value_; }
  operator const std::any&() const { return value_; }

  bool operator<(const CustomEncodableValue& other) const {
    return std::less<const CustomEncodableValue*>()(this, &other);
  }
  bool operator==(const CustomEncodableValue& other) const {
    return this == &other;
  }
  bool operator!=(const CustomEncodableValue& other) const {
    return this != &other;
  }

 private:
  std::any value_;
};

// The payload alternatives, in wire-relevant order. The float list sits
// after the custom value, not next to the double list.
using EncodableValueVariant = std::variant<std::monostate,        // 0 null
                                           bool,                  // 1
                                           int32_t,               // 2
                                           int64_t,               // 3
                                           double,                // 4
                                           std::string,           // 5
                                           std::vector<uint8_t>,  // 6
                                           std::vector<int32_t>,  // 7
                                           std::vector<int64_t>,  // 8
                                           std::vector<double>,   // 9
                                           EncodableList,         // 10
                                           EncodableMap,          // 11
                                           CustomEncodableValue,  // 12
                                           std::vector<float>>;   // 13

class EncodableValue : public EncodableValueVariant {
 public:
  using EncodableValueVariant::EncodableValueVariant;
  using EncodableValueVariant::operator=;

  EncodableValue() = default;

  // A string literal makes a string, not a bool.
  EncodableValue(const char* string)
      : EncodableValueVariant(std::string(string)) {}
  EncodableValue& operator=(const char* string) {
    EncodableValueVariant::operator=(std::string(string));
    return *this;
  }

  // Negative, zero or positive as this value orders before, with or after
  // `other`. Linear in the size of the two values.
  int Compare(const EncodableValue& other) const;

  friend bool operator<(const EncodableValue& a, const EncodableValue& b) {
    return a.Compare(b) < 0;
  }
  friend bool operator>(const EncodableValue& a, const EncodableValue& b) {
    return a.Compare(b) > 0;
  }
  friend bool operator<=(const EncodableValue& a, const EncodableValue& b) {
    return a.Compare(b) <= 0;
  }
  friend bool operator>=(const EncodableValue& a, const EncodableValue& b) {
    return a.Compare(b) >= 0;
  }

  bool IsNull() const { return std::holds_alternative<std::monostate>(*this); }

  // Widens an int32 to int64; the value must hold one of the two.
  int64_t LongValue() const {
    if (const auto* small = std::get_if<int32_t>(this)) return *small;
    return std::get<int64_t>(*this);
  }
};

// Alternative indices, for code that switches on index().
enum class EncodableType : size_t {
  kNull = 0,
  kBool = 1,
  kInt32 = 2,
  kInt64 = 3,
  kDouble = 4,
  kString = 5,
  kUint8List = 6,
  kInt32List = 7,
  kInt64List = 8,
  kDoubleList = 9,
  kList = 10,
  kMap = 11,
  kCustom = 12,
  kFloatList = 13,
};

inline EncodableType TypeOf(const EncodableValue& value) {
  return static_cast<EncodableType>(value.index());
}

}  // namespace flutter

#endif  // FLUTTER_ENCODABLE_VALUE_H_
