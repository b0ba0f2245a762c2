// Plain values both ways over the stand-in engine, in the standard message
// encoding, and the replies a handler gives now, later or twice.
#include "flutter/basic_message_channel.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "flutter/standard_message_codec.h"
#include "standin_fixture.h"
#include "test_bytes.h"

namespace {

using flutter::BasicMessageChannel;
using flutter::EncodableValue;
using flutter::MessageReply;
using flutter::StandardMessageCodec;
using kelmor_test::Bytes;
using kelmor_test::Hex;
using kelmor_test::StderrCapture;
using Lines = std::vector<std::string>;

TEST(StandardMessageCodec, OneValueCountedFromTheMessageStart) {
  const struct {
    EncodableValue value;
    const char* bytes;
  } cases[] = {
      {EncodableValue(), "00"},
      {EncodableValue(int32_t{1}), "03 01 00 00 00"},
      {EncodableValue("abc"), "07 03 61 62 63"},
      {EncodableValue(1.5), "06 00 00 00 00 00 00 00 00 00 00 00 00 00 F8 3F"},
  };
  const StandardMessageCodec& codec = StandardMessageCodec::GetInstance();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    const auto bytes = codec.EncodeMessage(c.value);
    EXPECT_EQ(*bytes, Hex(c.bytes));
    EXPECT_EQ(*codec.DecodeMessage(bytes->data(), bytes->size()), c.value);
  }
  EXPECT_EQ(&StandardMessageCodec::GetInstance(
                &flutter::StandardCodecSerializer::GetInstance()),
            &codec);
}

TEST(StandardMessageCodec, DecodingNeverRefusesAMessage) {
  const struct {
    const char* name;
    Bytes message;
    EncodableValue value;
    Lines lines;
  } cases[] = {
      {"control", Hex("03 01 00 00 00"), EncodableValue(int32_t{1}), {}},
      {"empty", Bytes(), EncodableValue(), {}},
      {"trailing bytes",
       Hex("03 01 00 00 00 FF"),
       EncodableValue(int32_t{1}),
       {}},
      {"cut short",
       Hex("03 01"),
       EncodableValue(int32_t{0}),
       {kelmor_test::kInvalidRead}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StderrCapture capture;
    const auto value = StandardMessageCodec::GetInstance().DecodeMessage(
        c.message.empty() ? nullptr : c.message.data(), c.message.size());
    EXPECT_EQ(capture.Lines(), c.lines);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(*value, c.value);
  }
}

// Refuses every message, as a stricter codec may.
class RefusingCodec : public flutter::MessageCodec<EncodableValue> {
 public:
  std::unique_ptr<std::vector<uint8_t>> EncodeMessage(
      const EncodableValue&) const override {
    return std::make_unique<std::vector<uint8_t>>();
  }
  std::unique_ptr<EncodableValue> DecodeMessage(const uint8_t*,
                                                size_t) const override {
    return nullptr;
  }
};

class BasicMessageChannelTest : public kelmor_test::StandinTest {
 protected:
  // Delivers `message` on "values" and gives what became of it.
  standin::Response Deliver(const Bytes& message) {
    return engine_->GetResponse(
        engine_->Deliver(registrar_, "values", message));
  }

  const StandardMessageCodec* codec_ = &StandardMessageCodec::GetInstance();
  BasicMessageChannel<> channel_{messenger_.get(), "values", codec_};
};

TEST_F(BasicMessageChannelTest, SendWithAndWithoutReply) {
  channel_.Send(EncodableValue("hi"));
  Bytes answer;
  channel_.Send(EncodableValue(int32_t{1}),
                [&](const uint8_t* data, size_t size) {
                  answer.assign(data, data + size);
                });
  const auto sends = engine_->Sends();
  ASSERT_EQ(sends.size(), 2u);
  EXPECT_EQ(sends[0].channel, "values");
  EXPECT_EQ(sends[0].message, Hex("07 02 68 69"));
  EXPECT_FALSE(sends[0].wants_reply);
  EXPECT_EQ(sends[1].message, Hex("03 01 00 00 00"));
  EXPECT_TRUE(sends[1].wants_reply);
  EXPECT_TRUE(engine_->AnswerSend(1, Hex("07 01 61")));
  EXPECT_EQ(answer, Hex("07 01 61"));
}

TEST_F(BasicMessageChannelTest, HandlerAnswersNowOrLaterFromAnotherThread) {
  MessageReply<> kept;
  {
    BasicMessageChannel<> channel(messenger_.get(), "values", codec_);
    channel.SetMessageHandler(
        [&](const EncodableValue& message, const MessageReply<>& reply) {
          if (message.IsNull()) {
            kept = reply;
          } else {
            reply(EncodableValue(std::get<int32_t>(message) + 1));
          }
        });
  }  // the handler outlives the channel object
  EXPECT_EQ(Deliver(Hex("03 01 00 00 00")).bytes, Hex("03 02 00 00 00"));

  const auto later = engine_->DeliverEmpty(registrar_, "values");  // null
  EXPECT_EQ(engine_->GetResponse(later).times_sent, 0);
  std::thread([&] { kept(EncodableValue("x")); }).join();
  kept = nullptr;
  EXPECT_EQ(engine_->GetResponse(later).bytes, Hex("07 01 78"));
  ExpectReferencesBalanced();
}

// Before, each copy of a reply answered on its own: two responses.
TEST_F(BasicMessageChannelTest, ReplyCopiesAnsweringTwiceSendOnce) {
  channel_.SetMessageHandler(
      [](const EncodableValue&, const MessageReply<>& reply) {
        MessageReply<> copy = reply;
        reply(EncodableValue(int32_t{1}));
        copy(EncodableValue(int32_t{2}));
      });
  StderrCapture capture;
  const standin::Response response = Deliver(Hex("00"));
  EXPECT_EQ(capture.Lines(),
            Lines{"Error: Response can be set only once. Ignoring duplicate "
                  "response."});
  EXPECT_EQ(response.times_sent, 1);
  EXPECT_EQ(response.bytes, Hex("03 01 00 00 00"));
}

TEST_F(BasicMessageChannelTest, UndecodableMessageGetsAnEmptyReply) {
  const RefusingCodec refusing;
  BasicMessageChannel<> channel(messenger_.get(), "values", &refusing);
  bool called = false;
  channel.SetMessageHandler(
      [&](const EncodableValue&, const MessageReply<>&) { called = true; });
  StderrCapture capture;
  const standin::Response response = Deliver(Hex("00"));
  EXPECT_EQ(capture.Lines(),
            Lines{"Unable to decode message on channel values"});
  EXPECT_FALSE(called);
  EXPECT_EQ(response.times_sent, 1);
  EXPECT_FALSE(response.had_bytes);
}

TEST_F(BasicMessageChannelTest, ThrowingHandlerLeavesOneAnswer) {
  const struct {
    const char* name;
    bool answer_first;
    bool keep;
    int times_sent;  // by the time the handler returned
  } cases[] = {
      {"unanswered: an empty reply", false, false, 1},
      {"answered first", true, false, 1},
      {"reply kept to answer later", false, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MessageReply<> kept;
    channel_.SetMessageHandler(
        [&](const EncodableValue&, const MessageReply<>& reply) {
          if (c.keep) kept = reply;
          if (c.answer_first) reply(EncodableValue(int32_t{1}));
          throw std::runtime_error("boom");
        });
    StderrCapture capture;
    const standin::Response response = Deliver(Hex("00"));
    EXPECT_EQ(capture.Lines(),
              Lines{"Exception in message handler on channel values: boom"});
    EXPECT_EQ(response.times_sent, c.times_sent);
    EXPECT_EQ(response.bytes, c.answer_first ? Hex("03 01 00 00 00") : Bytes());
  }
  ExpectReferencesBalanced();
}

}  // namespace
