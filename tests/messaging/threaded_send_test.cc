// Sends from worker threads: the engine takes messages on its own thread
// only, so the registrar's messenger carries each over to it, in order per
// sending thread, and drops what comes after the registrar.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "flutter/event_channel.h"
#include "flutter/method_channel.h"
#include "flutter/method_result_functions.h"
#include "flutter/plugin_registrar_windows.h"
#include "flutter/standard_method_codec.h"
#include "message_loop.h"
#include "plugin_test_rules.h"
#include "standin_engine.h"
#include "standin_registrar.h"

namespace {

using flutter::EncodableValue;
using flutter::MethodChannel;

using kelmor_test::kPatience;

// A registrar with a method channel over its messenger.
struct Registered : kelmor_test::StandinRegistrar {
  MethodChannel<> channel{registrar->GetMessenger(), "sensor",
                          &flutter::StandardMethodCodec::GetInstance()};
};

TEST(ThreadedSend, SendsAndCallsFromFourThreadsReachTheEngineOnItsThread) {
  Registered r;
  constexpr int kThreads = 4;
  constexpr int kEach = 50;
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&r, t] {
      for (int i = 0; i < kEach; ++i) {
        const uint8_t bytes[] = {static_cast<uint8_t>(t),
                                 static_cast<uint8_t>(i)};
        r.registrar->GetMessenger()->SendToChannel("raw", bytes, 2, nullptr);
        r.channel.InvokeMethod("reading", std::make_unique<EncodableValue>(i));
      }
    });
  }
  for (auto& worker : workers) worker.join();
  ASSERT_TRUE(standin::RunMessagesUntil(
      [&] { return r.engine.Sends().size() == 2 * kThreads * kEach; },
      kPatience));
  EXPECT_TRUE(r.engine.OffThreadSends().empty());
  std::vector<int> next(kThreads, 0);
  for (const standin::SentMessage& sent : r.engine.Sends()) {
    if (sent.channel != "raw") continue;
    ASSERT_EQ(sent.message.size(), 2u);
    EXPECT_EQ(sent.message[1], next[sent.message[0]]++) << "out of order";
  }
  EXPECT_EQ(next, std::vector<int>(kThreads, kEach));
}

TEST(ThreadedSend, ReplyToACallFromAWorkerComesOnTheEngineThread) {
  Registered r;
  const std::thread::id engine_thread = std::this_thread::get_id();
  std::vector<bool> answered_on_engine_thread;  // written on the engine's
  std::thread([&] {
    r.channel.InvokeMethod(
        "ask", nullptr,
        std::make_unique<flutter::MethodResultFunctions<>>(
            [&](const EncodableValue*) {
              answered_on_engine_thread.push_back(std::this_thread::get_id() ==
                                                  engine_thread);
            },
            nullptr, nullptr));
  }).join();
  EXPECT_TRUE(r.engine.Sends().empty());  // not before the loop turns
  ASSERT_TRUE(standin::RunMessagesUntil(
      [&] { return r.engine.Sends().size() == 1; }, kPatience));
  const std::vector<uint8_t> success_null = {0, 0};
  ASSERT_TRUE(r.engine.AnswerSend(0, success_null));
  EXPECT_EQ(answered_on_engine_thread, std::vector<bool>{true});
}

// Answers, as text, that outlive the results that gave them.
struct Answers {
  std::mutex mutex;
  std::vector<std::string> seen;

  std::unique_ptr<flutter::MethodResult<>> Result() {
    return std::make_unique<flutter::MethodResultFunctions<>>(
        [this](const EncodableValue*) { Note("success"); },
        [this](const std::string& code, const std::string&,
               const EncodableValue*) { Note(code); },
        [this] { Note("not implemented"); });
  }
  void Note(const std::string& answer) {
    std::lock_guard<std::mutex> lock(mutex);
    seen.push_back(answer);
  }
};

// Calls from a worker as a plugin's destructor joins it: the registrar's
// task runner is closed by then.
class JoiningPlugin : public flutter::Plugin {
 public:
  JoiningPlugin(MethodChannel<>* channel, Answers* answers)
      : channel_(channel), answers_(answers) {}
  ~JoiningPlugin() override {
    std::thread([this] {
      channel_->InvokeMethod("late", nullptr, answers_->Result());
    }).join();
  }

 private:
  MethodChannel<>* channel_;
  Answers* answers_;
};

// What no engine will take any more, a send waiting when the registrar goes
// and a send after its task runner closed, is dropped, and each call is
// answered "no_reply" once.
TEST(ThreadedSend, SendsAroundTheRegistrarsEndAreDroppedAndCallsAnswered) {
  Registered r;
  Answers answers;
  r.registrar->AdoptPlugin(
      std::make_unique<JoiningPlugin>(&r.channel, &answers));
  std::thread([&] {
    r.channel.InvokeMethod("waiting", nullptr, answers.Result());
  }).join();
  r.registrar.reset();
  standin::RunPendingMessages();
  EXPECT_EQ(answers.seen, (std::vector<std::string>{flutter::kNoReplyCode,
                                                    flutter::kNoReplyCode}));
  EXPECT_TRUE(r.engine.Sends().empty());
}

// The registrar goes while a worker keeps pushing events: every event sent
// reaches the engine on its thread, in order, and none after the registrar.
TEST(ThreadedSend, RegistrarGoesWhileAWorkerStreamsEvents) {
  Registered r;
  flutter::EventChannel<> events(r.registrar->GetMessenger(), "readings",
                                 &flutter::StandardMethodCodec::GetInstance());
  std::atomic<bool> stop{false};
  std::atomic<int> pushed{0};
  std::thread worker;
  events.SetStreamHandler(std::make_unique<flutter::StreamHandlerFunctions<>>(
      [&](const EncodableValue*, std::unique_ptr<flutter::EventSink<>>&& sink) {
        worker = std::thread([&, sink = std::move(sink)] {
          // Paced, so that the engine's thread keeps up and the queue
          // stays short.
          for (int32_t i = 0; !stop; ++i) {
            sink->Success(EncodableValue(i));
            ++pushed;
            std::this_thread::sleep_for(std::chrono::microseconds(50));
          }
        });
        return nullptr;
      },
      nullptr));
  const auto listen =
      flutter::StandardMethodCodec::GetInstance().EncodeMethodCall(
          flutter::MethodCall<>("listen", nullptr));
  r.engine.Deliver(r.handle, "readings", *listen);
  ASSERT_TRUE(standin::RunMessagesUntil(
      [&] { return r.engine.Sends().size() >= 100; }, kPatience));
  r.registrar.reset();
  const size_t at_end = r.engine.Sends().size();
  const int pushed_at_end = pushed;
  while (pushed < pushed_at_end + 100) std::this_thread::yield();
  stop = true;
  worker.join();
  standin::RunPendingMessages();
  const std::vector<standin::SentMessage> sends = r.engine.Sends();
  EXPECT_EQ(sends.size(), at_end);
  EXPECT_TRUE(r.engine.OffThreadSends().empty());
  for (size_t i = 0; i < sends.size(); ++i) {
    ASSERT_EQ(sends[i].message[0], 0);  // a success envelope
    int32_t reading;
    std::memcpy(&reading, &sends[i].message[2], sizeof(reading));
    EXPECT_EQ(reading, static_cast<int32_t>(i));
  }
}

// A registrar whose "ticks" stream handler keeps each sink it is given and
// may act from inside OnListen.
struct Ticks : kelmor_test::StandinRegistrar {
  Ticks() {
    events.SetStreamHandler(std::make_unique<flutter::StreamHandlerFunctions<>>(
        [this](const EncodableValue*,
               std::unique_ptr<flutter::EventSink<>>&& sink) {
          kept = std::move(sink);
          if (during_listen) during_listen(*kept);
          return std::unique_ptr<flutter::StreamHandlerError<>>();
        },
        nullptr));
  }
  void Call(const std::string& method) {
    engine.Deliver(
        handle, "ticks",
        *flutter::StandardMethodCodec::GetInstance().EncodeMethodCall(
            flutter::MethodCall<>(method, nullptr)));
  }
  // The events on the wire: success envelopes as "event", the end as "end".
  std::vector<std::string> Wire() {
    std::vector<std::string> wire;
    for (const auto& sent : engine.Sends()) {
      wire.push_back(sent.message.empty() ? "end" : "event");
    }
    return wire;
  }

  flutter::EventChannel<> events{registrar->GetMessenger(), "ticks",
                                 &flutter::StandardMethodCodec::GetInstance()};
  std::unique_ptr<flutter::EventSink<>> kept;
  std::function<void(flutter::EventSink<>&)> during_listen;
};

// Pins faults: whether a stream may still send was decided as an event was
// handed over, not as it reached the engine, so a worker's event could go
// out after the stream's end, its cancel or a new listen; and a sink of a
// handler replaced, or of a registrar gone, while OnListen ran still sent
// (through a freed messenger in the second case).
TEST(ThreadedSend, NothingOfAStreamFollowsItsEndCancelOrReplacement) {
  const struct {
    const char* name;
    std::function<void(Ticks&)> act;
    std::vector<std::string> wire;
  } cases[] = {
      {"worker's event, then the end on the engine's thread",
       [](Ticks& t) {
         t.Call("listen");
         std::thread([&] { t.kept->Success(EncodableValue(1)); }).join();
         t.kept->EndOfStream();
         t.kept->Success(EncodableValue(2));
       },
       {"event", "end"}},
      {"worker's event, then a cancel",
       [](Ticks& t) {
         t.Call("listen");
         std::thread([&] { t.kept->Success(EncodableValue(1)); }).join();
         t.Call("cancel");
       },
       {}},
      {"worker's event, then a new listen",
       [](Ticks& t) {
         t.Call("listen");
         auto old_sink = std::move(t.kept);
         std::thread([&] { old_sink->Success(EncodableValue(1)); }).join();
         t.Call("listen");
         old_sink->Success(EncodableValue(2));
       },
       {}},
      {"handler replaced while OnListen runs",
       [](Ticks& t) {
         t.during_listen = [&t](flutter::EventSink<>& sink) {
           t.events.SetStreamHandler(nullptr);
           sink.Success(EncodableValue(1));
         };
         t.Call("listen");
       },
       {}},
      {"registrar gone while OnListen runs",
       [](Ticks& t) {
         t.during_listen = [&t](flutter::EventSink<>& sink) {
           t.registrar.reset();
           sink.Success(EncodableValue(1));
         };
         t.Call("listen");
         t.kept->Success(EncodableValue(2));
       },
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Ticks t;
    c.act(t);
    standin::RunPendingMessages();
    EXPECT_EQ(t.Wire(), c.wire);
  }
}

}  // namespace
