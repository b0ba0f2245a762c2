#include "traffic_text.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <vector>

#include "flutter/method_result.h"
#include "flutter/standard_codec_serializer.h"
#include "flutter/standard_message_codec.h"
#include "flutter/standard_method_codec.h"
#include "value_text.h"

namespace kelmor_host {

namespace {

using flutter::EncodableValue;
using flutter::StandardCodecType;
using Bytes = std::vector<uint8_t>;

// Turns a decoded reply envelope into the line the host prints.
class ReplyPrinter : public flutter::MethodResult<EncodableValue> {
 public:
  ReplyText text;
  std::string value;  // a success's value alone

 protected:
  void HandleSuccess(const EncodableValue* result) override {
    text.success = true;
    value = result ? ValueToText(*result) : std::string("null");
    text.line = "success " + value;
  }
  void HandleError(const std::string& code, const std::string& message,
                   const EncodableValue* details) override {
    text.line = "error code=" + QuoteText(code) +
                " message=" + QuoteText(message) +
                " details=" + (details ? ValueToText(*details) : "null");
  }
  void HandleNotImplemented() override { text.line = "not implemented"; }
};

// Each byte as " XX".
std::string Hex(const std::vector<uint8_t>& bytes) {
  std::ostringstream out;
  out << std::hex << std::uppercase;
  for (uint8_t byte : bytes) out << (byte < 16 ? " 0" : " ") << int(byte);
  return out.str();
}

bool Is(const Bytes& bytes, size_t at, StandardCodecType type) {
  return at < bytes.size() && bytes[at] == static_cast<uint8_t>(type);
}

// A size prefix at `*at`, which it moves past the prefix.
std::optional<uint64_t> SizeAt(const Bytes& bytes, size_t* at) {
  if (*at >= bytes.size()) return std::nullopt;
  const uint8_t first = bytes[(*at)++];
  if (first < flutter::kSizeUint16Marker) return first;
  const size_t width = first == flutter::kSizeUint16Marker ? 2 : 4;
  if (bytes.size() - *at < width) return std::nullopt;
  uint64_t size = 0;
  for (size_t i = 0; i < width; ++i) size |= uint64_t{bytes[*at + i]} << 8 * i;
  *at += width;
  return size;
}

// Where the value starting at `at` ends, as the standard encoding lays it
// out; none when it is cut short, of an unknown type or nested deeper than
// the codec decodes. Reads nothing past the end, so it reports nothing.
std::optional<size_t> ValueEnd(const Bytes& bytes, size_t at, int depth = 0) {
  if (at >= bytes.size()) return std::nullopt;
  const auto type = static_cast<StandardCodecType>(bytes[at++]);
  // `count` elements of `width` bytes after padding to `align`.
  auto fixed = [&](uint64_t count, size_t width,
                   size_t align) -> std::optional<size_t> {
    at = (at + align - 1) / align * align;
    if (at > bytes.size() || (bytes.size() - at) / width < count) {
      return std::nullopt;
    }
    return at + count * width;
  };
  switch (type) {
    case StandardCodecType::kNull:
    case StandardCodecType::kTrue:
    case StandardCodecType::kFalse:
      return at;
    case StandardCodecType::kInt32:
      return fixed(1, 4, 1);
    case StandardCodecType::kInt64:
      return fixed(1, 8, 1);
    case StandardCodecType::kDouble:
      return fixed(1, 8, 8);
    default:
      break;
  }
  const std::optional<uint64_t> count = SizeAt(bytes, &at);
  if (!count) return std::nullopt;
  switch (type) {
    case StandardCodecType::kLargeInt:
    case StandardCodecType::kString:
    case StandardCodecType::kUint8List:
      return fixed(*count, 1, 1);
    case StandardCodecType::kInt32List:
      return fixed(*count, 4, 4);
    case StandardCodecType::kFloatList:
      return fixed(*count, 4, 4);
    case StandardCodecType::kInt64List:
    case StandardCodecType::kDoubleList:
      return fixed(*count, 8, 8);
    case StandardCodecType::kList:
    case StandardCodecType::kMap: {
      if (depth >= flutter::kMaxNestingDepth) return std::nullopt;
      const uint64_t values =
          type == StandardCodecType::kMap ? 2 * *count : *count;
      std::optional<size_t> end = at;
      // Each value takes a byte at least, so a count past what is left
      // ends the loop early.
      for (uint64_t i = 0; i < values && end; ++i) {
        end = ValueEnd(bytes, *end, depth + 1);
      }
      return end;
    }
    default:
      return std::nullopt;
  }
}

// Whether values start at `at`, one after another, of the given `kinds`
// (a type the value must have, or none for any), and fill the rest.
bool ValuesFill(const Bytes& bytes, size_t at,
                std::initializer_list<std::optional<StandardCodecType>> kinds) {
  for (const auto& kind : kinds) {
    if (kind && !Is(bytes, at, *kind)) return false;
    const std::optional<size_t> end = ValueEnd(bytes, at);
    if (!end) return false;
    at = *end;
  }
  return at == bytes.size();
}

constexpr std::optional<StandardCodecType> kAny;

// Flag, code, message (a string or null), details.
bool IsErrorEnvelope(const Bytes& bytes) {
  if (bytes.empty() || bytes[0] != flutter::kErrorEnvelopeFlag ||
      !Is(bytes, 1, StandardCodecType::kString)) {
    return false;
  }
  const std::optional<size_t> message = ValueEnd(bytes, 1);
  return message &&
         (Is(bytes, *message, StandardCodecType::kString) ||
          Is(bytes, *message, StandardCodecType::kNull)) &&
         ValuesFill(bytes, *message, {kAny, kAny});
}

bool IsSuccessEnvelope(const Bytes& bytes) {
  return !bytes.empty() && bytes[0] == flutter::kSuccessEnvelopeFlag &&
         ValuesFill(bytes, 1, {kAny});
}

}  // namespace

ReplyText DescribeResponse(const standin::Response& response) {
  if (!response.delivered) return {false, "no handler on the channel"};
  if (response.times_sent == 0) return {false, "no reply"};
  if (response.bytes.empty()) return {false, "not implemented"};
  ReplyPrinter printer;
  if (!flutter::StandardMethodCodec::GetInstance().DecodeResponseEnvelope(
          response.bytes.data(), response.bytes.size(), &printer)) {
    return {false, "undecodable reply" + Hex(response.bytes)};
  }
  return printer.text;
}

SentText DescribeSent(const standin::SentMessage& message) {
  const std::string channel = QuoteText(message.channel);
  const Bytes& bytes = message.message;
  if (bytes.empty()) {
    return {false, "", true, "event on " + channel + ": end of stream"};
  }
  if (ValuesFill(bytes, 0, {kAny})) {
    const auto value =
        flutter::StandardMessageCodec::GetInstance().DecodeMessage(
            bytes.data(), bytes.size());
    return {false, "", false,
            "message on " + channel + ": " + ValueToText(*value)};
  }
  if (ValuesFill(bytes, 0, {StandardCodecType::kString, kAny})) {
    const auto call =
        flutter::StandardMethodCodec::GetInstance().DecodeMethodCall(
            bytes.data(), bytes.size());
    std::string line = "application call on " + channel + ": " +
                       MethodNameText(call->MethodName()) + " " +
                       (call->Arguments() ? ValueToText(*call->Arguments())
                                          : std::string("null"));
    if (!message.wants_reply) line += " (no reply wanted)";
    return {true, call->MethodName(), false, line};
  }
  if (IsSuccessEnvelope(bytes) || IsErrorEnvelope(bytes)) {
    ReplyPrinter printer;
    flutter::StandardMethodCodec::GetInstance().DecodeResponseEnvelope(
        bytes.data(), bytes.size(), &printer);
    return {false, "", false,
            "event on " + channel + ": " +
                (printer.text.success ? printer.value : printer.text.line)};
  }
  return {false, "", false,
          "application message on " + channel + ": undecodable, " +
              std::to_string(bytes.size()) + " bytes:" + Hex(bytes)};
}

std::string MethodNameText(const std::string& name) {
  bool plain = !name.empty();
  for (unsigned char c : name) {
    if (c <= ' ' || c == 0x7F || c == '"' || c == '\\') plain = false;
  }
  return plain ? name : QuoteText(name);
}

}  // namespace kelmor_host
