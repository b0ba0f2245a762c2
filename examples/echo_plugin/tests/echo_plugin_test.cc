// The echo plugin, registered with the stand-in engine and called through
// its "echo" channel as the application's side would call it.
#include "echo_plugin/echo_plugin.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "flutter/encodable_value.h"
#include "flutter/method_channel.h"
#include "flutter/standard_method_codec.h"
#include "standin/method_call_kit.h"
#include "standin/plugin_test_rules.h"
#include "standin/standin_engine.h"

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;
using Kind = standin::MethodAnswer::Kind;

const flutter::StandardMethodCodec& Codec() {
  return flutter::StandardMethodCodec::GetInstance();
}

// Arguments of every shape the codec carries.
std::vector<std::pair<const char*, EncodableValue>> SampleArguments() {
  return {
      {"null", EncodableValue()},
      {"bool", EncodableValue(true)},
      {"int32", EncodableValue(int32_t{-7})},
      {"int64", EncodableValue(int64_t{1} << 40)},
      {"double", EncodableValue(2.5)},
      {"string", EncodableValue("h\xC3\xA9llo")},
      {"uint8 list", EncodableValue(std::vector<uint8_t>{0, 1, 255})},
      {"float64 list", EncodableValue(std::vector<double>{1.5, -0.0})},
      {"nested",
       EncodableValue(EncodableList{
           EncodableValue(1),
           EncodableValue(EncodableMap{
               {EncodableValue(2), EncodableValue("two")},
               {EncodableValue("list"), EncodableValue(EncodableList{})}})})},
  };
}

class EchoPluginTest : public testing::Test {
 protected:
  void SetUp() override { EchoPluginRegisterWithRegistrar(registrar_); }

  standin::MethodAnswer Call(const std::string& method,
                             const EncodableValue& arguments = {}) {
    return standin::CallMethod(engine_, registrar_, "echo", method, arguments);
  }

  int TimesAnswered(const standin::MethodAnswer& answer) const {
    return engine_.GetResponse(answer.ticket).times_sent;
  }

  standin::Engine engine_;
  FlutterDesktopPluginRegistrarRef registrar_ = engine_.CreateRegistrar();
};

// ==== Calls the plugin answers itself ====

TEST_F(EchoPluginTest, EchoAnswersWithItsArguments) {
  for (const auto& [name, arguments] : SampleArguments()) {
    SCOPED_TRACE(name);
    const auto answer = Call("echo", arguments);
    ASSERT_TRUE(answer.IsSuccess());
    EXPECT_EQ(answer.value, arguments);
    EXPECT_EQ(TimesAnswered(answer), 1);
  }
}

TEST_F(EchoPluginTest, FailAnswersAnErrorWithItsArgumentsAsDetails) {
  for (const auto& [name, arguments] : SampleArguments()) {
    SCOPED_TRACE(name);
    const auto answer = Call("fail", arguments);
    ASSERT_TRUE(answer.IsError());
    EXPECT_EQ(answer.code, "echo_failed");
    EXPECT_EQ(answer.message, "fail was called");
    EXPECT_EQ(answer.details, arguments);
    EXPECT_EQ(TimesAnswered(answer), 1);
  }
}

TEST_F(EchoPluginTest, OtherMethodsAndChannelsAreNotItsOwn) {
  for (const char* method : {"", "Echo", "echo ", "askx"}) {
    SCOPED_TRACE(method);
    EXPECT_TRUE(Call(method).IsNotImplemented());
  }
  EXPECT_EQ(standin::CallMethod(engine_, registrar_, "kelmor", "echo").kind,
            Kind::kNoHandler);
}

// ==== "ask": the application's answer becomes the call's ====

class EchoPluginAskTest : public EchoPluginTest {
 protected:
  // Sends "ask" and checks that the plugin passed it on unanswered.
  standin::MethodAnswer Ask(const EncodableValue& arguments) {
    const auto answer = Call("ask", arguments);
    EXPECT_EQ(answer.kind, Kind::kNoAnswerYet);
    return answer;
  }

  std::vector<uint8_t> Success(const EncodableValue& value) {
    return *Codec().EncodeSuccessEnvelope(&value);
  }
};

TEST_F(EchoPluginAskTest, PassesTheCallToTheApplication) {
  const EncodableValue arguments(
      EncodableList{EncodableValue("q"), EncodableValue(3)});
  Ask(arguments);
  const auto sends = engine_.Sends();
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_EQ(sends[0].channel, "echo");
  EXPECT_TRUE(sends[0].wants_reply);
  const auto call = Codec().DecodeMethodCall(sends[0].message.data(),
                                             sends[0].message.size());
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->MethodName(), "ask");
  ASSERT_NE(call->Arguments(), nullptr);
  EXPECT_EQ(*call->Arguments(), arguments);
}

TEST_F(EchoPluginAskTest, AnswersWithEachKindOfApplicationAnswer) {
  const EncodableValue details(
      EncodableMap{{EncodableValue("why"), EncodableValue("because")}});
  const struct {
    const char* name;
    std::vector<uint8_t> reply;
    Kind kind;
    EncodableValue value;
    std::string code;
  } cases[] = {
      {"success", Success(EncodableValue(42)), Kind::kSuccess,
       EncodableValue(42), ""},
      {"success without value", *Codec().EncodeSuccessEnvelope(),
       Kind::kSuccess, EncodableValue(), ""},
      {"error with details",
       *Codec().EncodeErrorEnvelope("app_error", "no", &details), Kind::kError,
       details, "app_error"},
      {"error without details", *Codec().EncodeErrorEnvelope("app_error"),
       Kind::kError, EncodableValue(), "app_error"},
      {"not an envelope", std::vector<uint8_t>{0x05}, Kind::kError,
       EncodableValue(), flutter::kInvalidReplyCode},
  };
  size_t index = 0;
  for (const auto& expected : cases) {
    SCOPED_TRACE(expected.name);
    const auto asked = Ask(EncodableValue(expected.name));
    ASSERT_TRUE(engine_.AnswerSend(index++, expected.reply));
    const auto answer = standin::AnswerOf(engine_, asked.ticket);
    EXPECT_EQ(answer.kind, expected.kind);
    EXPECT_EQ(answer.IsError() ? answer.details : answer.value, expected.value);
    EXPECT_EQ(answer.code, expected.code);
    EXPECT_EQ(TimesAnswered(answer), 1);
  }
}

TEST_F(EchoPluginAskTest, AnEmptyReplyIsNotImplemented) {
  const auto asked = Ask(EncodableValue());
  ASSERT_TRUE(engine_.AnswerSendEmpty(0));
  EXPECT_TRUE(standin::AnswerOf(engine_, asked.ticket).IsNotImplemented());
}

TEST_F(EchoPluginAskTest, EachAnswerReachesItsOwnCall) {
  const auto first = Ask(EncodableValue("first"));
  const auto second = Ask(EncodableValue("second"));
  ASSERT_TRUE(engine_.AnswerSend(1, Success(EncodableValue("to second"))));
  EXPECT_EQ(standin::AnswerOf(engine_, first.ticket).kind, Kind::kNoAnswerYet);
  ASSERT_TRUE(engine_.AnswerSend(0, Success(EncodableValue("to first"))));
  EXPECT_EQ(standin::AnswerOf(engine_, first.ticket).value,
            EncodableValue("to first"));
  EXPECT_EQ(standin::AnswerOf(engine_, second.ticket).value,
            EncodableValue("to second"));
}

TEST_F(EchoPluginAskTest, ARefusedCallIsAnsweredAtOnce) {
  engine_.SetSendPolicy([](const standin::SentMessage&) { return false; });
  const auto answer = Call("ask", EncodableValue(1));
  ASSERT_TRUE(answer.IsError());
  EXPECT_EQ(answer.code, flutter::kNoReplyCode);
  EXPECT_EQ(TimesAnswered(answer), 1);
}

// The answer's path holds the call's result, not the plugin the registrar
// destroyed meanwhile.
TEST_F(EchoPluginAskTest, AnAnswerAfterTheRegistrarIsGoneStillLands) {
  const auto asked = Ask(EncodableValue("late"));
  engine_.DestroyRegistrar(registrar_);
  ASSERT_TRUE(engine_.AnswerSend(0, Success(EncodableValue("late answer"))));
  const auto answer = standin::AnswerOf(engine_, asked.ticket);
  EXPECT_TRUE(answer.IsSuccess());
  EXPECT_EQ(answer.value, EncodableValue("late answer"));
}

}  // namespace
