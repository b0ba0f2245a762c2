#include "traffic_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "flutter/standard_message_codec.h"
#include "flutter/standard_method_codec.h"

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using kelmor_host::DescribeResponse;
using kelmor_host::DescribeSent;
using kelmor_host::MethodNameText;

const flutter::StandardMethodCodec& Codec() {
  return flutter::StandardMethodCodec::GetInstance();
}

standin::Response Answered(const std::vector<uint8_t>& bytes) {
  standin::Response response;
  response.delivered = true;
  response.times_sent = 1;
  response.had_bytes = !bytes.empty();
  response.bytes = bytes;
  return response;
}

standin::SentMessage CallTo(const std::string& channel,
                            const std::string& method,
                            std::unique_ptr<EncodableValue> arguments,
                            bool wants_reply = true) {
  standin::SentMessage sent;
  sent.channel = channel;
  sent.message = *Codec().EncodeMethodCall(
      flutter::MethodCall<>(method, std::move(arguments)));
  sent.wants_reply = wants_reply;
  sent.accepted = true;
  return sent;
}

// Only a success envelope counts as success: the exit status rests on it.
TEST(TrafficText, EveryKindOfReply) {
  const EncodableValue value(
      EncodableMap{{EncodableValue("a"), EncodableValue(1)}});
  standin::Response not_delivered;
  standin::Response unanswered;
  unanswered.delivered = true;
  struct Case {
    const char* name;
    standin::Response response;
    bool success;
    std::string line;
  };
  const Case cases[] = {
      {"control: success with a value",
       Answered(*Codec().EncodeSuccessEnvelope(&value)), true,
       "success {\"a\": 1}"},
      {"success without a value", Answered(*Codec().EncodeSuccessEnvelope()),
       true, "success null"},
      {"error", Answered(*Codec().EncodeErrorEnvelope("c", "m", &value)), false,
       "error code=\"c\" message=\"m\" details={\"a\": 1}"},
      {"error without details", Answered(*Codec().EncodeErrorEnvelope("c")),
       false, "error code=\"c\" message=\"\" details=null"},
      {"empty reply", Answered({}), false, "not implemented"},
      {"no reply", unanswered, false, "no reply"},
      {"no handler", not_delivered, false, "no handler on the channel"},
      {"not an envelope", Answered({0x07, 0x01}), false,
       "undecodable reply 07 01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const kelmor_host::ReplyText text = DescribeResponse(c.response);
    EXPECT_EQ(text.success, c.success);
    EXPECT_EQ(text.line, c.line);
  }
}

TEST(TrafficText, CallsToTheApplicationSide) {
  struct Case {
    const char* name;
    standin::SentMessage sent;
    bool method_call;
    std::string line;
  };
  const Case cases[] = {
      {"control: a call with arguments",
       CallTo("test", "question",
              std::make_unique<EncodableValue>(EncodableValue("why"))),
       true, "application call on \"test\": question \"why\""},
      {"no arguments", CallTo("c", "m", nullptr), true,
       "application call on \"c\": m null"},
      {"sent without a reply", CallTo("c", "m", nullptr, false), true,
       "application call on \"c\": m null (no reply wanted)"},
      {"a name that needs quotes", CallTo("a \"b\"", "two words\n", nullptr),
       true, "application call on \"a \\\"b\\\"\": \"two words\\x0A\" null"},
      {"an empty name", CallTo("c", "", nullptr), true,
       "application call on \"c\": \"\" null"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const kelmor_host::SentText text = DescribeSent(c.sent);
    EXPECT_EQ(text.method_call, c.method_call);
    EXPECT_EQ(text.line, c.line);
  }
}

// Not answered with an envelope by the host, and shown byte for byte.
TEST(TrafficText, MessagesThatAreNoMethodCall) {
  standin::SentMessage raw;
  raw.channel = "raw";
  raw.message = {0xFF, 0x00};
  const kelmor_host::SentText text = DescribeSent(raw);
  EXPECT_FALSE(text.method_call);
  EXPECT_EQ(text.line,
            "application message on \"raw\": undecodable, 2 bytes: FF 00");

  raw.message.clear();
  EXPECT_EQ(DescribeSent(raw).line, "event on \"raw\": end of stream");
}

standin::SentMessage Bytes(std::vector<uint8_t> bytes) {
  standin::SentMessage sent;
  sent.channel = "c";
  sent.message = std::move(bytes);
  return sent;
}

// Events, plain messages and calls are told apart by their whole bytes:
// anything cut short, or with bytes after it, is none of them.
TEST(TrafficText, EventsAndPlainMessages) {
  const EncodableValue map(
      EncodableMap{{EncodableValue("a"), EncodableValue(1)}});
  const EncodableValue half(0.5);
  const EncodableValue doubles(std::vector<double>{0.5, 2});
  const auto& plain = flutter::StandardMessageCodec::GetInstance();
  auto with = [](std::vector<uint8_t> bytes, std::vector<uint8_t> more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return bytes;
  };
  // Lists of one, 65 deep, around a null.
  std::vector<uint8_t> nested;
  std::string nested_hex;
  for (int i = 0; i < 65; ++i) {
    nested.insert(nested.end(), {12, 1});
    nested_hex += " 0C 01";
  }
  nested.push_back(0);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    bool end_of_stream;
    std::string line;
  };
  const Case cases[] = {
      {"control: an event", *Codec().EncodeSuccessEnvelope(&map), false,
       "event on \"c\": {\"a\": 1}"},
      {"an event of null", *Codec().EncodeSuccessEnvelope(), false,
       "event on \"c\": null"},
      {"a double, padded from the start", *Codec().EncodeSuccessEnvelope(&half),
       false, "event on \"c\": 0.5"},
      {"a padded typed list", *Codec().EncodeSuccessEnvelope(&doubles), false,
       "event on \"c\": float64[0.5, 2.0]"},
      {"an error event", *Codec().EncodeErrorEnvelope("c", "m", &map), false,
       "event on \"c\": error code=\"c\" message=\"m\" details={\"a\": 1}"},
      {"an error whose empty message is a string",
       {1, 7, 1, 'x', 7, 0, 0},
       false,
       "event on \"c\": error code=\"x\" message=\"\" details=null"},
      {"end of stream", {}, true, "event on \"c\": end of stream"},
      {"a plain message", *plain.EncodeMessage(map), false,
       "message on \"c\": {\"a\": 1}"},
      {"a plain string is no call", *plain.EncodeMessage(EncodableValue("m")),
       false, "message on \"c\": \"m\""},
      {"a plain null", {0}, false, "message on \"c\": null"},
      {"an event with a byte after it",
       with(*Codec().EncodeSuccessEnvelope(&map), {0}), false,
       "application message on \"c\": undecodable, 12 bytes: 00 0D 01 07 01 "
       "61 03 01 00 00 00 00"},
      {"an event cut short",
       {0, 3, 1},
       false,
       "application message on \"c\": undecodable, 3 bytes: 00 03 01"},
      {"an error whose code is no string",
       {1, 3, 0, 0, 0, 0, 0, 0},
       false,
       "application message on \"c\": undecodable, 8 bytes: 01 03 00 00 00 "
       "00 00 00"},
      {"a list longer than the bytes",
       {12, 0xFE, 0xFF, 0xFF, 0},
       false,
       "application message on \"c\": undecodable, 5 bytes: 0C FE FF FF 00"},
      {"nested deeper than the codec reads", nested, false,
       "application message on \"c\": undecodable, 131 bytes:" + nested_hex +
           " 00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const kelmor_host::SentText text = DescribeSent(Bytes(c.bytes));
    EXPECT_FALSE(text.method_call);
    EXPECT_EQ(text.end_of_stream, c.end_of_stream);
    EXPECT_EQ(text.line, c.line);
  }
  // A call with a byte after it is no call.
  standin::SentMessage call = CallTo("c", "m", nullptr);
  call.message.push_back(0);
  EXPECT_FALSE(DescribeSent(call).method_call);
}

TEST(TrafficText, MethodNamesPrintBareWhenTheyCan) {
  EXPECT_EQ(MethodNameText("getPlatformVersion"), "getPlatformVersion");
  EXPECT_EQ(MethodNameText("Grüße/ä.b-c"), "Grüße/ä.b-c");
  EXPECT_EQ(MethodNameText("a\\b"), "\"a\\\\b\"");
  EXPECT_EQ(MethodNameText("tab\there"), "\"tab\\x09here\"");
}

}  // namespace
