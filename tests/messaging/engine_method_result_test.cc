#include "flutter/engine_method_result.h"

#include <gtest/gtest.h>

#include "flutter/standard_method_codec.h"
#include "test_bytes.h"

namespace {

using flutter::EncodableValue;
using flutter::EngineMethodResult;
using kelmor_test::Bytes;
using kelmor_test::Hex;
using kelmor_test::StderrCapture;

const char kDuplicateResult[] =
    "Error: Only one of Success, Error, or NotImplemented can be called, and "
    "it can be called exactly once. Ignoring duplicate result.";
const char kLeak[] =
    "Warning: Failed to respond to a message. This is a memory leak.";

// Records every call of the reply it hands out.
struct ReplyLog {
  struct Call {
    bool null_pointer;
    Bytes bytes;
  };
  std::vector<Call> calls;

  flutter::BinaryReply Reply() {
    return [this](const uint8_t* data, size_t size) {
      calls.push_back(
          {data == nullptr, data ? Bytes(data, data + size) : Bytes()});
    };
  }
};

std::unique_ptr<EngineMethodResult<EncodableValue>> MakeResult(ReplyLog& log) {
  return std::make_unique<EngineMethodResult<EncodableValue>>(
      log.Reply(), &flutter::StandardMethodCodec::GetInstance());
}

TEST(EngineMethodResult, EachAnswerSendsItsEnvelope) {
  const struct {
    const char* name;
    std::function<void(flutter::MethodResult<EncodableValue>&)> answer;
    bool null_pointer;
    std::string hex;
  } cases[] = {
      {"not implemented", [](auto& r) { r.NotImplemented(); }, true, ""},
      {"success without value", [](auto& r) { r.Success(); }, false, "00 00"},
      {"success with value", [](auto& r) { r.Success(EncodableValue(true)); },
       false, "00 01"},
      {"error without details", [](auto& r) { r.Error("E", "m"); }, false,
       "01 07 01 45 07 01 6D 00"},
      {"error with details",
       [](auto& r) { r.Error("E", "", EncodableValue(false)); }, false,
       "01 07 01 45 00 02"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ReplyLog log;
    auto result = MakeResult(log);
    c.answer(*result);
    result.reset();
    ASSERT_EQ(log.calls.size(), 1u);
    EXPECT_EQ(log.calls[0].null_pointer, c.null_pointer);
    EXPECT_EQ(log.calls[0].bytes, Hex(c.hex));
  }
}

TEST(EngineMethodResult, SecondAnswerIsReportedAndNotSent) {
  const std::vector<std::function<void(flutter::MethodResult<EncodableValue>&)>>
      seconds = {[](auto& r) { r.NotImplemented(); },
                 [](auto& r) { r.Success(); }, [](auto& r) { r.Error("E"); }};
  for (size_t i = 0; i < seconds.size(); ++i) {
    SCOPED_TRACE(i);
    ReplyLog log;
    auto result = MakeResult(log);
    result->Success();
    StderrCapture capture;
    seconds[i](*result);
    result.reset();  // answered: no leak warning
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{kDuplicateResult});
    EXPECT_EQ(log.calls.size(), 1u);
  }
}

TEST(EngineMethodResult, UnansweredResultWarnsOnce) {
  ReplyLog log;
  auto result = MakeResult(log);
  StderrCapture capture;
  result.reset();
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{kLeak});
  EXPECT_TRUE(log.calls.empty());
}

TEST(ReplyManager, EmptyVectorIsDeliveredAsNull) {
  ReplyLog log;
  flutter::internal::ReplyManager manager(log.Reply());
  const std::vector<uint8_t> empty;
  manager.DeliverReply(&empty);
  ASSERT_EQ(log.calls.size(), 1u);
  EXPECT_TRUE(log.calls[0].null_pointer);
}

}  // namespace
