// Helpers for byte-exact tests: hex literals, encoding and decoding with the
// default serializer, and capture of the diagnostic lines.
#ifndef TESTS_SUPPORT_TEST_BYTES_H_
#define TESTS_SUPPORT_TEST_BYTES_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "flutter/byte_buffer_streams.h"
#include "flutter/standard_codec_serializer.h"

namespace kelmor_test {

using Bytes = std::vector<uint8_t>;

// "0C 02 01" -> {0x0C, 0x02, 0x01}; blanks are ignored.
inline Bytes Hex(const std::string& text) {
  Bytes bytes;
  std::string digits;
  for (char c : text) {
    if (c != ' ') digits.push_back(c);
  }
  for (size_t i = 0; i + 1 < digits.size(); i += 2) {
    bytes.push_back(
        static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

inline std::string ToHex(const Bytes& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) text.push_back(' ');
    text.push_back(digits[bytes[i] >> 4]);
    text.push_back(digits[bytes[i] & 0xF]);
  }
  return text;
}

inline Bytes Encode(const flutter::EncodableValue& value) {
  Bytes bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  flutter::StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  return bytes;
}

inline flutter::EncodableValue Decode(const Bytes& bytes) {
  flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
  return flutter::StandardCodecSerializer::GetInstance().ReadValue(&reader);
}

// Collects what std::cerr receives while it lives, as lines.
class StderrCapture {
 public:
  StderrCapture() { testing::internal::CaptureStderr(); }
  ~StderrCapture() {
    if (!taken_) testing::internal::GetCapturedStderr();
  }
  std::vector<std::string> Lines() {
    taken_ = true;
    std::istringstream text(testing::internal::GetCapturedStderr());
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
  }

 private:
  bool taken_ = false;
};

inline const char kInvalidRead[] =
    "Invalid read in StandardCodecByteStreamReader";

}  // namespace kelmor_test

#endif  // TESTS_SUPPORT_TEST_BYTES_H_
