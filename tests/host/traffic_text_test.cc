#include "traffic_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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
  EXPECT_EQ(DescribeSent(raw).line,
            "application message on \"raw\": undecodable, 0 bytes:");
}

TEST(TrafficText, MethodNamesPrintBareWhenTheyCan) {
  EXPECT_EQ(MethodNameText("getPlatformVersion"), "getPlatformVersion");
  EXPECT_EQ(MethodNameText("Grüße/ä.b-c"), "Grüße/ä.b-c");
  EXPECT_EQ(MethodNameText("a\\b"), "\"a\\\\b\"");
  EXPECT_EQ(MethodNameText("tab\there"), "\"tab\\x09here\"");
}

}  // namespace
