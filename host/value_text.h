// Encodable values as one line of text for the host's output: JSON-like, with
// typed lists marked by their element type, e.g. int32[1, 2].
#ifndef HOST_VALUE_TEXT_H_
#define HOST_VALUE_TEXT_H_

#include <string>

#include "flutter/encodable_value.h"

namespace kelmor_host {

std::string ValueToText(const flutter::EncodableValue& value);

// A quoted, escaped string literal.
std::string QuoteText(const std::string& text);

}  // namespace kelmor_host

#endif  // HOST_VALUE_TEXT_H_
