// Method arguments written as JSON, turned into encodable values: objects
// become maps with string keys, whole numbers int32 or int64 by size, and
// numbers with a fraction or an exponent doubles. A whole number beyond
// int64 is refused rather than rounded to a double. Typed lists are written
// as the host prints them: int32[1, 2], int64[...], uint8[...], float32[...]
// and float64[...], each element in its type's range ("nan", "inf" and
// "-inf" for the floating ones too).
//
// Limits, checked on the text before it is parsed: at most kMaxJsonTextBytes
// bytes, and arrays and objects nested at most flutter::kMaxNestingDepth
// deep (a top-level array or object is depth 1). The parser and the
// conversion never see a text deep enough to run out of stack.
#ifndef HOST_JSON_VALUE_H_
#define HOST_JSON_VALUE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "flutter/encodable_value.h"

namespace kelmor_host {

// The longest argument text taken: 64 MiB. A command line cannot carry that
// much anywhere the host runs (one argument is at most 128 KiB on Linux, a
// whole command line 32767 characters on Windows), but a file given as
// "@PATH" can; the limit bounds what any caller can hand to
// EncodableValueFromJson.
constexpr size_t kMaxJsonTextBytes = size_t{64} << 20;

// The reason given for a text over kMaxJsonTextBytes: of `bytes` bytes, or
// with no length when it was read only as far as the limit.
std::string JsonTooLongError(std::optional<uint64_t> bytes = std::nullopt);

// False, with a one-line reason in `error` and `value` untouched, when
// `text` is longer than kMaxJsonTextBytes, nests deeper than
// flutter::kMaxNestingDepth, is not JSON, or holds a whole number beyond
// int64 (the reason names it).
bool EncodableValueFromJson(const std::string& text,
                            flutter::EncodableValue* value, std::string* error);

}  // namespace kelmor_host

#endif  // HOST_JSON_VALUE_H_
