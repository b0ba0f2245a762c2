// Calls from the plugin to the application's side: each answer reaches the
// caller's result exactly once, whatever it is and whichever thread gives it.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "flutter/method_channel.h"
#include "flutter/method_result_functions.h"
#include "flutter/standard_method_codec.h"
#include "standin_fixture.h"
#include "test_bytes.h"

namespace {

using flutter::EncodableValue;
using flutter::MethodChannel;
using flutter::MethodResultFunctions;
using kelmor_test::Bytes;
using kelmor_test::Hex;

// What reached a result, in order, as text.
struct Answers {
  std::vector<std::string> seen;

  std::unique_ptr<flutter::MethodResult<>> Result() {
    return std::make_unique<MethodResultFunctions<>>(
        [this](const EncodableValue* value) {
          seen.push_back(value ? "success " + std::get<std::string>(*value)
                               : "success");
        },
        [this](const std::string& code, const std::string& message,
               const EncodableValue* details) {
          seen.push_back("error " + code + " " + message +
                         (details ? " with details" : ""));
        },
        [this] { seen.push_back("not implemented"); });
  }
};

class InvokeMethodTest : public kelmor_test::StandinTest {
 protected:
  const flutter::StandardMethodCodec* codec_ =
      &flutter::StandardMethodCodec::GetInstance();
  MethodChannel<> channel_{messenger_.get(), "app", codec_};
  Answers answers_;

  void Invoke() {
    channel_.InvokeMethod("ask", std::make_unique<EncodableValue>("q"),
                          answers_.Result());
  }
};

TEST_F(InvokeMethodTest, SendsTheEncodedCall) {
  channel_.InvokeMethod("ask", std::make_unique<EncodableValue>("q"));
  const auto sends = engine_->Sends();
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_EQ(sends[0].channel, "app");
  EXPECT_FALSE(sends[0].wants_reply);
  EXPECT_EQ(sends[0].message, Hex("07 03 61 73 6B 07 01 71"));
}

TEST_F(InvokeMethodTest, EachKindOfAnswerReachesTheResultOnce) {
  const struct {
    const char* name;
    Bytes reply;
    std::string expected;
  } cases[] = {
      {"success", Hex("00 07 01 61"), "success a"},
      {"success without value", Hex("00 00"), "success"},
      {"error", Hex("01 07 01 45 07 01 6D 03 01 00 00 00"),
       "error E m with details"},
      {"empty reply", Bytes(), "not implemented"},
      {"not an envelope", Hex("05"),
       "error invalid_reply The reply is not an envelope of the channel's "
       "codec."},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    answers_.seen.clear();
    Invoke();
    ASSERT_TRUE(engine_->Sends().back().wants_reply);
    if (cases[i].reply.empty()) {
      EXPECT_TRUE(engine_->AnswerSendEmpty(i));
    } else {
      EXPECT_TRUE(engine_->AnswerSend(i, cases[i].reply));
    }
    EXPECT_EQ(answers_.seen, std::vector<std::string>{cases[i].expected});
  }
}

TEST_F(InvokeMethodTest, RefusedSendIsAnErrorBeforeInvokeReturns) {
  engine_->SetSendPolicy([](const standin::SentMessage&) { return false; });
  Invoke();
  EXPECT_EQ(answers_.seen,
            std::vector<std::string>{"error no_reply The engine refused the "
                                     "call or dropped its reply."});
}

TEST_F(InvokeMethodTest, EngineShuttingDownAnswersWithNoBytes) {
  Invoke();
  messenger_.reset();
  engine_.reset();  // answers outstanding sends with no bytes
  EXPECT_EQ(answers_.seen, std::vector<std::string>{"not implemented"});
}

TEST_F(InvokeMethodTest, AnswersFromOtherThreadsReachEachResultOnce) {
  constexpr int kCalls = 200;
  std::atomic<int> answered{0};
  std::atomic<int> twice{0};
  for (int i = 0; i < kCalls; ++i) {
    auto count = std::make_shared<std::atomic<int>>(0);
    auto note = [&answered, &twice, count] {
      if (++*count > 1) ++twice;
      ++answered;
    };
    channel_.InvokeMethod("ask", nullptr,
                          std::make_unique<MethodResultFunctions<>>(
                              [note](const EncodableValue*) { note(); },
                              [note](const std::string&, const std::string&,
                                     const EncodableValue*) { note(); },
                              [note] { note(); }));
  }
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([this, w] {
      for (int i = w; i < kCalls; i += 4) {
        if (i % 2) {
          engine_->AnswerSend(i, Hex("00 00"));
        } else {
          engine_->AnswerSendEmpty(i);
        }
      }
    });
  }
  for (auto& worker : workers) worker.join();
  EXPECT_EQ(answered.load(), kCalls);
  EXPECT_EQ(twice.load(), 0);
  EXPECT_EQ(engine_->PendingSends(), 0u);
}

}  // namespace
