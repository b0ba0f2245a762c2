// Handlers and callables that throw, and handlers that replace or remove
// themselves while they run: nothing reaches the engine but one answer.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "flutter/method_channel.h"
#include "flutter/method_result_functions.h"
#include "flutter/standard_method_codec.h"
#include "standin_fixture.h"
#include "test_bytes.h"

namespace {

using flutter::EncodableValue;
using flutter::MethodCall;
using flutter::MethodChannel;
using flutter::MethodResult;
using kelmor_test::Bytes;
using kelmor_test::Hex;
using kelmor_test::StderrCapture;

using Result = std::unique_ptr<MethodResult<EncodableValue>>;
using Lines = std::vector<std::string>;

class HandlerFaultsTest : public kelmor_test::StandinTest {
 protected:
  const flutter::StandardMethodCodec* codec_ =
      &flutter::StandardMethodCodec::GetInstance();
  MethodChannel<> channel_{messenger_.get(), "kelmor", codec_};

  standin::Response Call(const std::string& method = "m") {
    MethodCall<> call(method, nullptr);
    const auto ticket =
        engine_->Deliver(registrar_, "kelmor", *codec_->EncodeMethodCall(call));
    return engine_->GetResponse(ticket);
  }

  Bytes ErrorEnvelope(const std::string& message) {
    return *codec_->EncodeErrorEnvelope(flutter::kUncaughtExceptionCode,
                                        message, nullptr);
  }
};

TEST_F(HandlerFaultsTest, ThrowingHandlerGetsExactlyOneErrorReply) {
  channel_.SetCallHandler(
      [](const MethodCall<>&, Result) { throw std::runtime_error("boom"); });
  StderrCapture capture;
  const standin::Response response = Call();
  EXPECT_EQ(capture.Lines(),
            Lines{"Exception in method call handler on channel kelmor: boom"});
  EXPECT_EQ(response.times_sent, 1);
  EXPECT_EQ(response.bytes, ErrorEnvelope("boom"));
  ExpectReferencesBalanced();
}

TEST_F(HandlerFaultsTest, ExceptionWithoutTextIsNamedByItsChannelOnly) {
  channel_.SetCallHandler([](const MethodCall<>&, Result) { throw 7; });
  StderrCapture capture;
  const standin::Response response = Call();
  EXPECT_EQ(capture.Lines(),
            Lines{"Exception in method call handler on channel kelmor"});
  EXPECT_EQ(response.bytes, ErrorEnvelope(""));
}

TEST_F(HandlerFaultsTest, AnswerGivenBeforeTheThrowIsTheOnlyOne) {
  channel_.SetCallHandler([](const MethodCall<>&, Result result) {
    result->Success(EncodableValue(1));
    throw std::runtime_error("after");
  });
  StderrCapture capture;
  const standin::Response response = Call();
  EXPECT_EQ(capture.Lines().size(), 1u);
  EXPECT_EQ(response.times_sent, 1);
  EXPECT_EQ(response.bytes, Hex("00 03 01 00 00 00"));
}

TEST_F(HandlerFaultsTest, ResultKeptElsewhereStillAnswersLater) {
  Result kept;
  channel_.SetCallHandler([&](const MethodCall<>&, Result result) {
    kept = std::move(result);
    throw std::runtime_error("later");
  });
  StderrCapture capture;
  const auto ticket =
      engine_->Deliver(registrar_, "kelmor",
                       *codec_->EncodeMethodCall(MethodCall<>("m", nullptr)));
  EXPECT_EQ(engine_->GetResponse(ticket).times_sent, 0);
  kept->NotImplemented();
  kept.reset();
  EXPECT_EQ(engine_->GetResponse(ticket).times_sent, 1);
  EXPECT_EQ(capture.Lines().size(), 1u);
  ExpectReferencesBalanced();
}

TEST_F(HandlerFaultsTest, ResultLostToACaughtExceptionIsReportedUnanswered) {
  channel_.SetCallHandler([](const MethodCall<>&, Result result) {
    try {
      Result inner = std::move(result);
      throw std::runtime_error("handled");
    } catch (const std::exception&) {
    }
  });
  StderrCapture capture;
  const standin::Response response = Call();
  EXPECT_EQ(capture.Lines(),
            Lines{"Warning: Failed to respond to a message. This is a memory "
                  "leak."});
  EXPECT_EQ(response.times_sent, 0);
  ExpectReferencesBalanced();
}

// The reply was the handler's: the messenger adds no answer of its own.
TEST_F(HandlerFaultsTest, ThrowingBinaryHandlerStopsAtTheMessenger) {
  for (const bool answers_first : {false, true}) {
    SCOPED_TRACE(answers_first ? "answers, then throws" : "throws unanswered");
    messenger_->SetChannelHandler(
        "raw",
        [answers_first](const uint8_t*, size_t, flutter::BinaryReply reply) {
          if (answers_first) reply(nullptr, 0);
          throw std::logic_error("oops");
        });
    StderrCapture capture;
    const auto ticket = engine_->Deliver(registrar_, "raw", Hex("01"));
    EXPECT_EQ(capture.Lines(),
              Lines{"Exception in message handler on channel raw: oops"});
    EXPECT_EQ(engine_->GetResponse(ticket).times_sent, answers_first ? 1 : 0);
    ExpectReferencesBalanced();
  }
}

TEST_F(HandlerFaultsTest, ThrowingReplyCallableStopsAtTheMessenger) {
  messenger_->SendToChannel("out", nullptr, 0, [](const uint8_t*, size_t) {
    throw std::runtime_error("reply");
  });
  StderrCapture capture;
  EXPECT_TRUE(engine_->AnswerSend(0, Hex("00 00")));
  EXPECT_EQ(capture.Lines(), Lines{"Exception in reply callback: reply"});
  EXPECT_EQ(engine_->PendingSends(), 0u);
}

// Counts its copies' destruction: the captures of a handler.
struct Witness {
  explicit Witness(int* counter) : destroyed(counter) {}
  Witness(const Witness& other) = default;
  ~Witness() { ++*destroyed; }
  int* destroyed;
  std::string name = "still here";
};

// Before, the handler's own captures were freed under it.
TEST_F(HandlerFaultsTest, OneShotHandlerRemovesItselfAndReadsItsCaptures) {
  std::string seen;
  auto witness = std::make_shared<std::string>("capture");
  channel_.SetCallHandler(
      [this, witness, &seen](const MethodCall<>&, Result result) {
        channel_.SetCallHandler(nullptr);
        seen = *witness;  // used after its own removal
        result->Success();
      });
  witness.reset();
  EXPECT_EQ(Call().times_sent, 1);
  EXPECT_EQ(seen, "capture");
  EXPECT_FALSE(engine_->HasHandler(registrar_, "kelmor"));
  EXPECT_FALSE(Call().delivered);
}

TEST_F(HandlerFaultsTest, ReplacedHandlerLivesUntilItReturns) {
  int destroyed = 0;
  int destroyed_when_returning = -1;
  std::string answered_by;
  Witness witness(&destroyed);
  channel_.SetCallHandler([&, witness](const MethodCall<>&, Result result) {
    channel_.SetCallHandler([&](const MethodCall<>&, Result next) {
      answered_by = "second";
      next->Success();
    });
    answered_by = witness.name;
    destroyed_when_returning = destroyed;
    result->Success();
  });
  const int destroyed_before = destroyed;
  EXPECT_EQ(Call().times_sent, 1);
  EXPECT_EQ(answered_by, "still here");
  EXPECT_EQ(destroyed_when_returning, destroyed_before);
  EXPECT_EQ(destroyed, destroyed_before + 1);  // the old handler's copy
  Call();
  EXPECT_EQ(answered_by, "second");
  // The engine still holds the same entry's address.
  EXPECT_NE(engine_->HandlerUserData(registrar_, "kelmor"), nullptr);
}

TEST_F(HandlerFaultsTest, MessageDeliveredFromWithinReachesTheCurrentHandler) {
  std::vector<std::string> order;
  channel_.SetCallHandler([&](const MethodCall<>& call, Result result) {
    order.push_back("first:" + call.MethodName());
    if (call.MethodName() == "outer") {
      Call("again");  // still this handler
      channel_.SetCallHandler([&](const MethodCall<>& c, Result r) {
        order.push_back("second:" + c.MethodName());
        r->Success();
      });
      Call("inner");  // the new one
    }
    result->Success();
  });
  Call("outer");
  Call("after");
  EXPECT_EQ(order, (std::vector<std::string>{"first:outer", "first:again",
                                             "second:inner", "second:after"}));
}

TEST_F(HandlerFaultsTest, MessengerDestroyedByItsOwnHandler) {
  channel_.SetCallHandler([this](const MethodCall<>&, Result result) {
    result->Success();
    messenger_.reset();
  });
  EXPECT_EQ(Call().times_sent, 1);
  ExpectReferencesBalanced();
}

// The standard codec, but throwing where told to.
class ThrowingCodec : public flutter::MethodCodec<EncodableValue> {
 public:
  bool throw_on_error_envelope = false;
  bool throw_on_response = false;

  std::unique_ptr<MethodCall<>> DecodeMethodCall(const uint8_t* message,
                                                 size_t size) const override {
    return Standard().DecodeMethodCall(message, size);
  }
  std::unique_ptr<std::vector<uint8_t>> EncodeMethodCall(
      const MethodCall<>& call) const override {
    return Standard().EncodeMethodCall(call);
  }
  std::unique_ptr<std::vector<uint8_t>> EncodeSuccessEnvelope(
      const EncodableValue* result) const override {
    return Standard().EncodeSuccessEnvelope(result);
  }
  std::unique_ptr<std::vector<uint8_t>> EncodeErrorEnvelope(
      const std::string& code, const std::string& message,
      const EncodableValue* details) const override {
    if (throw_on_error_envelope) throw std::runtime_error("cannot encode");
    return Standard().EncodeErrorEnvelope(code, message, details);
  }
  bool DecodeResponseEnvelope(const uint8_t*, size_t,
                              MethodResult<>*) const override {
    if (throw_on_response) throw std::runtime_error("cannot decode");
    return false;
  }

 private:
  static const flutter::StandardMethodCodec& Standard() {
    return flutter::StandardMethodCodec::GetInstance();
  }
};

// Found in review: the error reply itself failing to encode left the call
// unanswered.
TEST_F(HandlerFaultsTest, ErrorReplyThatCannotBeEncodedIsAnEmptyReply) {
  ThrowingCodec codec;
  codec.throw_on_error_envelope = true;
  MethodChannel<> channel(messenger_.get(), "kelmor", &codec);
  channel.SetCallHandler(
      [](const MethodCall<>&, Result) { throw std::runtime_error("boom"); });
  StderrCapture capture;
  const standin::Response response = Call();
  EXPECT_EQ(capture.Lines(),
            (Lines{"Exception in method call handler on channel kelmor: boom",
                   "Exception in error reply on channel kelmor: cannot "
                   "encode"}));
  EXPECT_EQ(response.times_sent, 1);
  EXPECT_FALSE(response.had_bytes);
}

// Found in review: a reply the codec threw on while decoding left the
// caller's result without any answer.
TEST_F(HandlerFaultsTest, InvokeMethodResultIsAnsweredWhenDecodingThrows) {
  ThrowingCodec codec;
  codec.throw_on_response = true;
  MethodChannel<> channel(messenger_.get(), "app", &codec);
  std::vector<std::string> answers;
  channel.InvokeMethod(
      "ask", nullptr,
      std::make_unique<flutter::MethodResultFunctions<>>(
          nullptr,
          [&](const std::string& code, const std::string& message,
              const EncodableValue*) {
            answers.push_back(code + " " + message);
          },
          nullptr));
  EXPECT_TRUE(engine_->AnswerSend(0, Hex("00 00")));
  EXPECT_EQ(answers, std::vector<std::string>{"invalid_reply cannot decode"});
}

// Found in review: replacing a handler whose destruction removes its own
// channel freed the map entry being assigned to.
TEST_F(HandlerFaultsTest, HandlerWhoseDestructionRemovesItsChannel) {
  struct RemovesOnDestruction {
    flutter::BinaryMessengerImpl* messenger;
    std::shared_ptr<int> alive = std::make_shared<int>(0);
    ~RemovesOnDestruction() {
      if (alive.use_count() == 1) messenger->SetChannelHandler("raw", nullptr);
    }
  };
  RemovesOnDestruction remover{messenger_.get()};
  messenger_->SetChannelHandler(
      "raw", [remover](const uint8_t*, size_t, flutter::BinaryReply) {});
  remover.alive.reset();  // only the handler's copy is left
  messenger_->SetChannelHandler(
      "raw", [](const uint8_t*, size_t, flutter::BinaryReply reply) {
        reply(nullptr, 0);
      });
  EXPECT_TRUE(engine_->HasHandler(registrar_, "raw"));
  EXPECT_EQ(engine_->GetResponse(engine_->Deliver(registrar_, "raw", Hex("01")))
                .times_sent,
            1);
}

// Counts the handlers alive, and runs an action when the last copy of the
// handler holding it goes.
class LastCopy {
 public:
  LastCopy(int* live, std::function<void()> action)
      : live_(live), action_(std::move(action)) {
    ++*live_;
  }
  ~LastCopy() {
    --*live_;
    if (action_) action_();
  }
  LastCopy(const LastCopy&) = delete;
  LastCopy& operator=(const LastCopy&) = delete;

 private:
  int* live_;
  std::function<void()> action_;
};

// Found in review: the engine was told of a removal or replacement without
// regard to what the going handler's destructor had done to the table, which
// left a channel deaf or the engine holding a freed entry's address.
TEST_F(HandlerFaultsTest, EngineAndTableAgreeWhateverAGoingHandlerDoes) {
  int live = 0;
  flutter::BinaryMessengerImpl* messenger = messenger_.get();
  // A handler answering with `id` that runs `as_it_goes` when destroyed.
  const auto handler = [&live](uint8_t id, std::function<void()> as_it_goes)
      -> flutter::BinaryMessageHandler {
    auto last = std::make_shared<LastCopy>(&live, std::move(as_it_goes));
    return [id, last](const uint8_t*, size_t, flutter::BinaryReply reply) {
      reply(&id, 1);
    };
  };
  const auto install = [&](const char* channel, uint8_t id,
                           std::function<void()> as_it_goes = nullptr) {
    return
        [=] { messenger->SetChannelHandler(channel, handler(id, as_it_goes)); };
  };
  const auto remove = [messenger](const char* channel) {
    return [=] { messenger->SetChannelHandler(channel, nullptr); };
  };
  const struct {
    const char* name;
    bool replaced;  // by handler 2; otherwise removed
    std::function<void()> as_it_goes;
    int raw;  // the handler that answers on each channel; 0 for none
    int other;
  } cases[] = {
      {"removed, installs on its channel", false, install("raw", 3), 0, 0},
      {"removed, removes its channel", false, remove("raw"), 0, 0},
      {"removed, installs on another", false, install("other", 3), 0, 3},
      {"replaced, installs on its channel", true, install("raw", 3), 2, 0},
      {"replaced, removes its channel", true, remove("raw"), 2, 0},
      {"replaced, installs on another", true, install("other", 3), 2, 3},
      // The handler it installs gives way to handler 2 and, going last,
      // removes the channel.
      {"replaced, installs one that removes the channel as it goes", true,
       install("raw", 3, remove("raw")), 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    messenger_->SetChannelHandler("raw", handler(1, c.as_it_goes));
    messenger_->SetChannelHandler("raw",
                                  c.replaced ? handler(2, nullptr) : nullptr);
    int handled = 0;
    for (const auto& [channel, id] :
         {std::pair{"raw", c.raw}, std::pair{"other", c.other}}) {
      SCOPED_TRACE(channel);
      const standin::Response response = engine_->GetResponse(
          engine_->Deliver(registrar_, channel, Hex("01")));
      EXPECT_EQ(response.delivered, id != 0);
      if (id != 0) {
        ++handled;
        EXPECT_EQ(response.bytes, Bytes{static_cast<uint8_t>(id)});
      }
    }
    EXPECT_EQ(live, handled) << "handlers held that the engine cannot reach";
    messenger_->SetChannelHandler("raw", nullptr);
    messenger_->SetChannelHandler("other", nullptr);
  }
}

// Pins a fault: the messenger's destructor left its table to the map's, so
// a handler's destructor that used the messenger searched freed entries.
TEST_F(HandlerFaultsTest, HandlerDestructorUsesTheMessengerAsItGoes) {
  struct ClearsOther {
    flutter::BinaryMessengerImpl* messenger;
    ~ClearsOther() { messenger->SetChannelHandler("b", nullptr); }
  };
  auto owned = std::make_shared<ClearsOther>(ClearsOther{messenger_.get()});
  messenger_->SetChannelHandler(
      "a", [owned](const uint8_t*, size_t, flutter::BinaryReply) {});
  messenger_->SetChannelHandler(
      "b", [](const uint8_t*, size_t, flutter::BinaryReply) {});
  const std::weak_ptr<ClearsOther> watch = owned;
  owned.reset();
  messenger_.reset();
  EXPECT_TRUE(watch.expired());
}

}  // namespace
