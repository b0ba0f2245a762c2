// The kit's waits run the engine's thread until a plugin's later work is
// done, and its decoding reads each send as the kind the test expects.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "decoded_send.h"
#include "flutter/basic_message_channel.h"
#include "flutter/event_channel.h"
#include "flutter/method_channel.h"
#include "flutter/standard_message_codec.h"
#include "flutter/standard_method_codec.h"
#include "plugin_test_rules.h"
#include "plugin_waits.h"
#include "standin_registrar.h"

namespace {

using flutter::EncodableValue;
using Result = std::unique_ptr<flutter::MethodResult<>>;
using Decoded = standin::DecodedSend::Kind;
using standin::SendKind;

const auto& kMethodCodec = flutter::StandardMethodCodec::GetInstance();

// A registrar with a "slow" method answered from a task a worker posts, and
// a "ticks" stream whose events a worker pushes.
struct AsyncPlugin : kelmor_test::StandinRegistrar {
  AsyncPlugin() {
    calls.SetCallHandler([this](const flutter::MethodCall<>& call, Result r) {
      if (call.MethodName() != "slow") return r->NotImplemented();
      auto shared = std::shared_ptr<flutter::MethodResult<>>(std::move(r));
      workers.emplace_back([runner = runner, shared] {
        runner->PostTask([shared] { shared->Success(EncodableValue(42)); });
      });
    });
    ticks.SetStreamHandler(std::make_unique<flutter::StreamHandlerFunctions<>>(
        [this](const EncodableValue*,
               std::unique_ptr<flutter::EventSink<>>&& sink) {
          workers.emplace_back([events = std::move(sink)] {
            events->Success(EncodableValue(1));
            events->Error("jam", "stuck", EncodableValue("gear"));
            events->EndOfStream();
          });
          return std::unique_ptr<flutter::StreamHandlerError<>>();
        },
        nullptr));
  }
  ~AsyncPlugin() {
    for (auto& worker : workers) worker.join();
  }

  flutter::MethodChannel<> calls{registrar->GetMessenger(), "calls",
                                 &kMethodCodec};
  flutter::EventChannel<> ticks{registrar->GetMessenger(), "ticks",
                                &kMethodCodec};
  std::vector<std::thread> workers;
};

// Pins a wait that only looked at the answer: a task posted from a worker
// runs only while the engine's thread pumps, so the answer never came.
TEST(PluginWaits, AnswerFromAPostedTaskArrives) {
  AsyncPlugin plugin;
  const auto called =
      standin::CallMethod(plugin.engine, plugin.handle, "calls", "slow");
  ASSERT_EQ(called.kind, standin::MethodAnswer::Kind::kNoAnswerYet);
  const standin::AnswerWait waited = standin::WaitForAnswer(
      plugin.engine, called.ticket, kelmor_test::kPatience);
  ASSERT_TRUE(waited.answer) << waited.failure;
  EXPECT_TRUE(waited.answer->IsSuccess());
  EXPECT_EQ(waited.answer->value, EncodableValue(42));
  EXPECT_EQ(waited.answer->ticket, called.ticket);
}

TEST(PluginWaits, TimeoutsSayWhatWasAwaitedAndWhatCame) {
  kelmor_test::StandinRegistrar fixture;
  flutter::MethodChannel<> channel(fixture.registrar->GetMessenger(), "keep",
                                   &kMethodCodec);
  Result kept;
  channel.SetCallHandler(
      [&](const flutter::MethodCall<>&, Result r) { kept = std::move(r); });
  channel.InvokeMethod("ping", nullptr);
  const auto ticket =
      standin::CallMethod(fixture.engine, fixture.handle, "keep", "m").ticket;
  const auto short_wait = std::chrono::milliseconds(20);

  const standin::AnswerWait answer =
      standin::WaitForAnswer(fixture.engine, ticket, short_wait);
  EXPECT_FALSE(answer.answer);
  EXPECT_EQ(answer.failure,
            "Waited 20 ms for the answer to call 0; none came, and the "
            "plugin made 1 sends meanwhile");

  const standin::SendsWait sends =
      standin::WaitForSends(fixture.engine, 2, short_wait);
  EXPECT_FALSE(sends.reached);
  EXPECT_EQ(sends.sends.size(), 1u);
  EXPECT_EQ(sends.failure, "Waited 20 ms for 2 sends; 1 came: on \"keep\" (" +
                               std::to_string(sends.sends[0].message.size()) +
                               " bytes)");
  kept->NotImplemented();
}

// A worker's events reach the engine through posted tasks: the wait must
// pump them, and each reads back as the kind of event it was.
TEST(PluginWaits, EventsFromAWorkerDecodeByKind) {
  AsyncPlugin plugin;
  ASSERT_TRUE(standin::CallMethod(plugin.engine, plugin.handle, "ticks",
                                  flutter::kListenMethod)
                  .IsSuccess());
  const standin::SendsWait waited =
      standin::WaitForSends(plugin.engine, 3, kelmor_test::kPatience);
  ASSERT_TRUE(waited.reached) << waited.failure;

  const auto events =
      standin::SendsOn(plugin.engine, "ticks", SendKind::kEvent);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].kind, Decoded::kEvent);
  EXPECT_EQ(events[0].value, EncodableValue(1));
  EXPECT_EQ(events[1].kind, Decoded::kErrorEvent);
  EXPECT_EQ(events[1].code, "jam");
  EXPECT_EQ(events[1].message, "stuck");
  EXPECT_EQ(events[1].details, EncodableValue("gear"));
  EXPECT_EQ(events[2].kind, Decoded::kEndOfStream);
}

// Each send reads as the kind the test names: a call is no envelope, and an
// empty message is an event stream's end, a null value, and no call.
TEST(DecodedSend, ReadsEachSendAsTheNamedKind) {
  kelmor_test::StandinRegistrar fixture;
  auto* messenger = fixture.registrar->GetMessenger();
  flutter::MethodChannel<> calls(messenger, "calls", &kMethodCodec);
  flutter::BasicMessageChannel<> values(
      messenger, "values", &flutter::StandardMessageCodec::GetInstance());
  calls.InvokeMethod("sum", std::make_unique<EncodableValue>(
                                flutter::EncodableList{EncodableValue(1)}));
  values.Send(EncodableValue("hi"));
  messenger->SendToChannel("raw", nullptr, 0, nullptr);  // an empty message

  const std::vector<standin::SentMessage> sends = fixture.engine.Sends();
  ASSERT_EQ(sends.size(), 3u);
  const struct {
    size_t send;
    SendKind as;
    Decoded kind;
    EncodableValue value;
  } cases[] = {
      {0, SendKind::kMethodCall, Decoded::kMethodCall,
       EncodableValue(flutter::EncodableList{EncodableValue(1)})},
      {1, SendKind::kMessage, Decoded::kMessage, EncodableValue("hi")},
      {0, SendKind::kEvent, Decoded::kUndecodable, EncodableValue()},
      {2, SendKind::kEvent, Decoded::kEndOfStream, EncodableValue()},
      {2, SendKind::kMessage, Decoded::kMessage, EncodableValue()},
      {2, SendKind::kMethodCall, Decoded::kUndecodable, EncodableValue()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("send " + std::to_string(c.send) + " as kind " +
                 std::to_string(static_cast<int>(c.as)));
    const standin::DecodedSend decoded =
        standin::DecodeSend(sends[c.send], c.as, c.send);
    EXPECT_EQ(decoded.kind, c.kind);
    EXPECT_EQ(decoded.value, c.value);
    EXPECT_EQ(decoded.channel, sends[c.send].channel);
  }
  EXPECT_EQ(standin::DecodeSend(sends[0], SendKind::kMethodCall).method, "sum");
}

// Pins indices counted from `first` rather than from the first send: the
// test answers a call by its index in engine.Sends().
TEST(DecodedSend, IndicesAreThoseOfTheEnginesSends) {
  kelmor_test::StandinRegistrar fixture;
  flutter::MethodChannel<> a(fixture.registrar->GetMessenger(), "a",
                             &kMethodCodec);
  flutter::MethodChannel<> b(fixture.registrar->GetMessenger(), "b",
                             &kMethodCodec);
  a.InvokeMethod("one", nullptr);
  b.InvokeMethod("two", nullptr);
  a.InvokeMethod("three", nullptr);
  const auto later =
      standin::SendsOn(fixture.engine, "a", SendKind::kMethodCall, 1);
  ASSERT_EQ(later.size(), 1u);
  EXPECT_EQ(later[0].method, "three");
  EXPECT_EQ(later[0].index, 2u);
}

}  // namespace
