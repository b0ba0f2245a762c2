#include "flutter/method_channel.h"

#include <gtest/gtest.h>

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

class MethodChannelTest : public kelmor_test::StandinTest {
 protected:
  const flutter::StandardMethodCodec* codec_ =
      &flutter::StandardMethodCodec::GetInstance();

  standin::MessageTicket Call(const std::string& method,
                              const std::string& channel = "kelmor") {
    MethodCall<> call(method, nullptr);
    return engine_->Deliver(registrar_, channel,
                            *codec_->EncodeMethodCall(call));
  }
};

TEST_F(MethodChannelTest, HandlerOutlivesTheChannelObject) {
  {
    MethodChannel<> channel(messenger_.get(), "kelmor", codec_);
    channel.SetCallHandler([](const MethodCall<>& call, Result result) {
      result->Success(EncodableValue(call.MethodName()));
    });
  }
  const auto ticket = Call("hi");
  EXPECT_EQ(engine_->GetResponse(ticket).bytes, Hex("00 07 02 68 69"));
}

TEST_F(MethodChannelTest, UndecodableMessageGetsAnEmptyReply) {
  bool called = false;
  MethodChannel<> channel(messenger_.get(), "kelmor", codec_);
  channel.SetCallHandler([&](const MethodCall<>&, Result) { called = true; });
  StderrCapture capture;
  const auto ticket =
      engine_->Deliver(registrar_, "kelmor", Hex("03 01 00 00 00"));
  EXPECT_EQ(capture.Lines(),
            (std::vector<std::string>{
                "Invalid method call; method name is not a string.",
                "Unable to construct method call from message on channel "
                "kelmor"}));
  EXPECT_FALSE(called);
  const standin::Response response = engine_->GetResponse(ticket);
  EXPECT_EQ(response.times_sent, 1);
  EXPECT_FALSE(response.had_bytes);
}

TEST_F(MethodChannelTest, LastInstalledHandlerWinsAndEmptyRemoves) {
  int first = 0, second = 0;
  MethodChannel<> a(messenger_.get(), "kelmor", codec_);
  MethodChannel<> b(messenger_.get(), "kelmor", codec_);
  a.SetCallHandler([&](const MethodCall<>&, Result r) {
    ++first;
    r->NotImplemented();
  });
  b.SetCallHandler([&](const MethodCall<>&, Result r) {
    ++second;
    r->NotImplemented();
  });
  Call("m");
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 1);
  a.SetCallHandler(nullptr);  // removes b's handler: same name
  EXPECT_FALSE(engine_->HasHandler(registrar_, "kelmor"));
}

TEST_F(MethodChannelTest, ResultKeptAndAnsweredLater) {
  Result kept;
  MethodChannel<> channel(messenger_.get(), "kelmor", codec_);
  channel.SetCallHandler(
      [&](const MethodCall<>&, Result result) { kept = std::move(result); });
  const auto ticket = Call("later");
  EXPECT_EQ(engine_->GetResponse(ticket).times_sent, 0);
  kept->Success();
  kept.reset();
  EXPECT_EQ(engine_->GetResponse(ticket).bytes, Hex("00 00"));
  ExpectReferencesBalanced();
}

TEST_F(MethodChannelTest, DroppedResultWarnsAndSendsNothing) {
  MethodChannel<> channel(messenger_.get(), "kelmor", codec_);
  channel.SetCallHandler([](const MethodCall<>&, Result) {});
  StderrCapture capture;
  const auto ticket = Call("dropped");
  EXPECT_EQ(capture.Lines(),
            std::vector<std::string>{
                "Warning: Failed to respond to a message. This is a memory "
                "leak."});
  EXPECT_EQ(engine_->GetResponse(ticket).times_sent, 0);
}

}  // namespace
