// A stream served over the stand-in engine: what the application's side sees
// of listen, cancel and the events, and sinks that outlive their stream, their
// handler or the messenger.
#include "flutter/event_channel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "flutter/standard_method_codec.h"
#include "method_call_kit.h"
#include "standin_fixture.h"
#include "test_bytes.h"

namespace {

using flutter::EncodableValue;
using flutter::EventSink;
using flutter::StreamHandlerError;
using flutter::StreamHandlerFunctions;
using kelmor_test::Bytes;
using kelmor_test::Hex;
using kelmor_test::StderrCapture;
using Error = std::unique_ptr<StreamHandlerError<>>;
using Lines = std::vector<std::string>;

// Passes everything on, noting whether each message sent was a null pointer.
class PointerWatch : public flutter::BinaryMessenger {
 public:
  explicit PointerWatch(flutter::BinaryMessenger* inner) : inner_(inner) {}

  void SendToChannel(const std::string& channel, const uint8_t* message,
                     size_t message_size,
                     flutter::BinaryReply reply) const override {
    null_messages.push_back(message == nullptr);
    inner_->SendToChannel(channel, message, message_size, std::move(reply));
  }
  void SetChannelHandler(const std::string& channel,
                         flutter::BinaryMessageHandler handler) override {
    inner_->SetChannelHandler(channel, std::move(handler));
  }

  mutable std::vector<bool> null_messages;

 private:
  flutter::BinaryMessenger* inner_;
};

// What the handler was asked, the sink of the latest listen, and how it is
// to answer both.
struct Handler {
  enum class Outcome { kSucceed, kFail, kThrow };

  std::vector<std::string> calls;
  std::unique_ptr<EventSink<>> sink;
  Outcome outcome = Outcome::kSucceed;
  std::shared_ptr<int> alive = std::make_shared<int>();

  static std::string Describe(const char* what, const EncodableValue* args) {
    if (args == nullptr) return std::string(what) + " none";
    if (args->IsNull()) return std::string(what) + " null";
    return std::string(what) + " " + std::to_string(std::get<int32_t>(*args));
  }

  Error Result() const {
    if (outcome == Outcome::kThrow) throw std::runtime_error("boom");
    if (outcome == Outcome::kSucceed) return nullptr;
    return std::make_unique<StreamHandlerError<>>(
        "busy", "m", std::make_unique<EncodableValue>(int32_t{3}));
  }

  std::unique_ptr<flutter::StreamHandler<>> Make() {
    return std::make_unique<StreamHandlerFunctions<>>(
        [this, alive = alive](const EncodableValue* args,
                              std::unique_ptr<EventSink<>>&& events) {
          calls.push_back(Describe("listen", args));
          sink = std::move(events);
          return Result();
        },
        [this, alive = alive](const EncodableValue* args) {
          calls.push_back(Describe("cancel", args));
          return Result();
        });
  }
};

class EventChannelTest : public kelmor_test::StandinTest {
 protected:
  EventChannelTest() { channel_.SetStreamHandler(handler_.Make()); }

  standin::MethodAnswer Call(const std::string& method,
                             const EncodableValue& args = EncodableValue()) {
    return standin::CallMethod(*engine_, registrar_, "events", method, args);
  }

  // The messages sent on the channel so far.
  std::vector<Bytes> Sent() const {
    std::vector<Bytes> sent;
    for (const auto& send : engine_->Sends()) {
      EXPECT_EQ(send.channel, "events");
      EXPECT_FALSE(send.wants_reply);
      sent.push_back(send.message);
    }
    return sent;
  }

  // Every kind of event through `sink`.
  static void SendAll(EventSink<>& sink) {
    sink.Success(EncodableValue(int32_t{1}));
    sink.Error("E");
    sink.EndOfStream();
  }

  const flutter::StandardMethodCodec* codec_ =
      &flutter::StandardMethodCodec::GetInstance();
  PointerWatch watch_{messenger_.get()};
  Handler handler_;
  flutter::EventChannel<> channel_{&watch_, "events", codec_};
};

TEST_F(EventChannelTest, StreamOnTheWire) {
  const auto listen = Call("listen", EncodableValue(int32_t{5}));
  EXPECT_EQ(engine_->GetResponse(listen.ticket).bytes, Hex("00 00"));
  handler_.sink->Success(EncodableValue(int32_t{1}));
  handler_.sink->Error("E", "m", EncodableValue(int32_t{7}));
  handler_.sink->Error("E");
  handler_.sink->EndOfStream();
  handler_.sink->Success(EncodableValue(int32_t{2}));  // after the end
  handler_.sink->EndOfStream();
  EXPECT_EQ(Sent(), (std::vector<Bytes>{Hex("00 03 01 00 00 00"),
                                        Hex("01 07 01 45 07 01 6D 03 07 00 "
                                            "00 00"),
                                        Hex("01 07 01 45 00 00"), Bytes()}));
  EXPECT_EQ(watch_.null_messages,
            (std::vector<bool>{false, false, false, true}));

  // The application cancels its side once its stream has ended.
  const auto cancel = Call("cancel", EncodableValue(int32_t{5}));
  EXPECT_EQ(engine_->GetResponse(cancel.ticket).bytes, Hex("00 00"));
  EXPECT_EQ(handler_.calls, (Lines{"listen 5", "cancel 5"}));
  ExpectReferencesBalanced();
}

TEST_F(EventChannelTest, ListenAgainCancelsTheActiveStreamFirst) {
  Call("listen", EncodableValue(int32_t{1}));
  std::unique_ptr<EventSink<>> first = std::move(handler_.sink);
  EXPECT_TRUE(Call("listen", EncodableValue(int32_t{2})).IsSuccess());
  EXPECT_EQ(handler_.calls, (Lines{"listen 1", "cancel none", "listen 2"}));
  SendAll(*first);
  EXPECT_TRUE(Sent().empty());
  handler_.sink->Success(EncodableValue(int32_t{1}));
  EXPECT_EQ(Sent().size(), 1u);
}

TEST_F(EventChannelTest, CancelWithoutAStreamIsAnError) {
  const standin::MethodAnswer answer = Call("cancel");
  EXPECT_EQ(answer.code, "error");
  EXPECT_EQ(answer.message, "No active stream to cancel");
  EXPECT_TRUE(handler_.calls.empty());
}

TEST_F(EventChannelTest, FailedListenOrCancelAnswersItsErrorAndLeavesNoStream) {
  using Outcome = Handler::Outcome;
  const struct {
    const char* method;
    Outcome outcome;
    const char* code;
    const char* message;
    EncodableValue details;
    Lines lines;
  } cases[] = {
      {"listen", Outcome::kFail, "busy", "m", EncodableValue(int32_t{3}), {}},
      {"cancel", Outcome::kFail, "busy", "m", EncodableValue(int32_t{3}), {}},
      {"listen",
       Outcome::kThrow,
       "uncaught_exception",
       "boom",
       EncodableValue(),
       {"Exception in stream handler on channel events: boom"}},
      {"cancel",
       Outcome::kThrow,
       "uncaught_exception",
       "boom",
       EncodableValue(),
       {"Exception in stream handler on channel events: boom"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method) + (c.lines.empty() ? "" : " throws"));
    handler_.outcome = Outcome::kSucceed;
    if (c.method == std::string("cancel")) Call("listen");
    handler_.outcome = c.outcome;
    StderrCapture capture;
    const standin::MethodAnswer answer = Call(c.method);
    EXPECT_EQ(capture.Lines(), c.lines);
    EXPECT_EQ(engine_->GetResponse(answer.ticket).times_sent, 1);
    EXPECT_EQ(answer.code, c.code);
    EXPECT_EQ(answer.message, c.message);
    EXPECT_EQ(answer.details, c.details);
    SendAll(*handler_.sink);
    EXPECT_EQ(Call("cancel").message, "No active stream to cancel");
  }
  EXPECT_TRUE(Sent().empty());
  ExpectReferencesBalanced();
}

TEST_F(EventChannelTest, OtherMessagesGetAnEmptyReply) {
  const flutter::MethodCall<> pause("pause", nullptr);
  const struct {
    const char* name;
    Bytes message;
    Lines lines;
  } cases[] = {
      {"other method", *codec_->EncodeMethodCall(pause), {}},
      {"not a call",
       Hex("03 01 00 00 00"),
       {"Invalid method call; method name is not a string.",
        "Unable to construct method call from message on channel events"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StderrCapture capture;
    const auto ticket = engine_->Deliver(registrar_, "events", c.message);
    EXPECT_EQ(capture.Lines(), c.lines);
    const standin::Response response = engine_->GetResponse(ticket);
    EXPECT_EQ(response.times_sent, 1);
    EXPECT_FALSE(response.had_bytes);
  }
  EXPECT_TRUE(handler_.calls.empty());
}

TEST_F(EventChannelTest, ChannelObjectDestroyedWhileStreaming) {
  {
    flutter::EventChannel<> channel(&watch_, "other", codec_);
    channel.SetStreamHandler(handler_.Make());
  }
  standin::CallMethod(*engine_, registrar_, "other", "listen");
  handler_.sink->Success(EncodableValue(int32_t{1}));
  EXPECT_EQ(engine_->Sends().size(), 1u);
  EXPECT_TRUE(
      standin::CallMethod(*engine_, registrar_, "other", "cancel").IsSuccess());
}

// Before, sinks kept sending through a handler that was gone.
TEST_F(EventChannelTest, SinkOfAHandlerThatIsGoneSendsNothing) {
  const struct {
    const char* name;
    std::function<void()> drop;
  } cases[] = {
      {"removed", [this] { channel_.SetStreamHandler(nullptr); }},
      {"replaced",
       [this] {
         channel_.SetStreamHandler(
             std::make_unique<StreamHandlerFunctions<>>(nullptr, nullptr));
       }},
      {"messenger destroyed",  // last: the others need it
       [this] { messenger_.reset(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    handler_.alive = std::make_shared<int>();
    channel_.SetStreamHandler(handler_.Make());
    Call("listen");
    const std::weak_ptr<int> alive = handler_.alive;
    handler_.alive.reset();
    const size_t before = engine_->Sends().size();
    c.drop();
    EXPECT_TRUE(alive.expired());  // the stream handler went with it
    SendAll(*handler_.sink);
    EXPECT_EQ(engine_->Sends().size(), before);
  }
}

// A worker keeps pushing events while the handler goes on the main thread.
// The bare messenger here sends on the worker's thread, which the stand-in
// notes; the registrar's messenger carries such sends over to the engine's.
TEST_F(EventChannelTest, WorkerSinkRacingTheHandlerGoingSendsNothingAfter) {
  engine_->ExpectOffThreadSends();
  for (bool destroy_messenger : {false, true}) {
    SCOPED_TRACE(destroy_messenger ? "messenger destroyed" : "removed");
    std::atomic<bool> gone{false};
    std::atomic<int> pushed{0};
    std::atomic<int> pushed_after{0};
    std::thread worker;
    channel_.SetStreamHandler(std::make_unique<StreamHandlerFunctions<>>(
        [&](const EncodableValue*, std::unique_ptr<EventSink<>>&& events) {
          worker = std::thread([&, sink = std::move(events)] {
            while (pushed_after < 1000) {
              const bool after = gone;
              sink->Success(EncodableValue(int32_t{1}));
              ++pushed;
              if (after) ++pushed_after;
            }
            sink->EndOfStream();
          });
          return Error();
        },
        nullptr));
    Call("listen");
    while (pushed < 100) std::this_thread::yield();
    if (destroy_messenger) {
      messenger_.reset();
    } else {
      channel_.SetStreamHandler(nullptr);
    }
    const size_t at_end = engine_->Sends().size();
    gone = true;
    worker.join();
    const std::vector<standin::SentMessage> sends = engine_->Sends();
    EXPECT_EQ(sends.size(), at_end);
    EXPECT_EQ(sends.back().message, Hex("00 03 01 00 00 00"));  // no end
  }
  ExpectReferencesBalanced();
}

}  // namespace
