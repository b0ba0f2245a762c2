// The test kit decodes every kind of answer a plugin can give; the engine
// hands out the sends a caller has not seen yet.
#include "method_call_kit.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "flutter/binary_messenger_impl.h"
#include "flutter/method_channel.h"
#include "flutter/standard_method_codec.h"
#include "recording_result.h"

namespace {

using flutter::EncodableValue;
using Result = std::unique_ptr<flutter::MethodResult<>>;
using Kind = standin::MethodAnswer::Kind;

TEST(MethodCallKit, DecodesEachKindOfAnswer) {
  standin::Engine engine;
  const auto registrar = engine.CreateRegistrar();
  flutter::BinaryMessengerImpl messenger(engine.MessengerOf(registrar));
  Result kept;
  flutter::MethodChannel<> channel(
      &messenger, "kit", &flutter::StandardMethodCodec::GetInstance());
  channel.SetCallHandler([&](const flutter::MethodCall<>& call, Result result) {
    const std::string& method = call.MethodName();
    if (method == "echo") {
      result->Success(*call.Arguments());
    } else if (method == "fail") {
      result->Error("E", "went wrong", EncodableValue(7));
    } else if (method == "later") {
      kept = std::move(result);
    } else {
      result->NotImplemented();
    }
  });

  auto answer = standin::CallMethod(engine, registrar, "kit", "echo",
                                    EncodableValue("hi"));
  EXPECT_TRUE(answer.IsSuccess());
  EXPECT_EQ(answer.value, EncodableValue("hi"));

  answer = standin::CallMethod(engine, registrar, "kit", "fail");
  ASSERT_TRUE(answer.IsError());
  EXPECT_EQ(answer.code, "E");
  EXPECT_EQ(answer.message, "went wrong");
  EXPECT_EQ(answer.details, EncodableValue(7));

  EXPECT_TRUE(standin::CallMethod(engine, registrar, "kit", "other")
                  .IsNotImplemented());
  EXPECT_EQ(standin::CallMethod(engine, registrar, "nobody", "x").kind,
            Kind::kNoHandler);

  answer = standin::CallMethod(engine, registrar, "kit", "later");
  EXPECT_EQ(answer.kind, Kind::kNoAnswerYet);
  kept->Success();
  const auto later = standin::AnswerOf(engine, answer.ticket);
  EXPECT_TRUE(later.IsSuccess());
  EXPECT_TRUE(later.value.IsNull());
}

// Found in review: the recording result kept fields of earlier answers.
TEST(RecordingResult, HoldsOnlyTheLastAnswer) {
  standin::RecordingResult result;
  result.Error("E1", "first", EncodableValue(42));
  result.Success();
  EXPECT_EQ(result.calls, 2);
  EXPECT_EQ(result.kind, standin::RecordingResult::Kind::kSuccess);
  EXPECT_FALSE(result.value.has_value());
  EXPECT_TRUE(result.code.empty());
  EXPECT_TRUE(result.message.empty());
}

// Regression: the host took every earlier send again at each step, so a
// plugin that kept calling the application side slowed it quadratically.
TEST(StandinEngine, SendsSinceGivesOnlyTheLaterSends) {
  standin::Engine engine;
  const auto registrar = engine.CreateRegistrar();
  flutter::BinaryMessengerImpl messenger(engine.MessengerOf(registrar));
  const uint8_t bytes[] = {7, 8, 9};
  for (size_t size = 1; size <= 3; ++size) {
    messenger.SendToChannel("c" + std::to_string(size), bytes, size, nullptr);
  }
  const std::vector<standin::SentMessage> later = engine.SendsSince(1);
  ASSERT_EQ(later.size(), 2u);
  EXPECT_EQ(later[0].channel, "c2");
  EXPECT_EQ(later[1].message, std::vector<uint8_t>({7, 8, 9}));
  EXPECT_TRUE(engine.SendsSince(3).empty());
  EXPECT_TRUE(engine.SendsSince(4).empty());
}

}  // namespace
