// The engine going away, refusing and holding its lock while the library
// still has replies, results and sends in flight.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "flutter/method_channel.h"
#include "flutter/plugin_registrar_manager.h"
#include "flutter/standard_method_codec.h"
#include "standin_fixture.h"
#include "test_bytes.h"

namespace {

using flutter::BinaryReply;
using flutter::EncodableValue;
using flutter::MethodCall;
using flutter::MethodResult;
using kelmor_test::StderrCapture;
using Result = std::unique_ptr<MethodResult<EncodableValue>>;

class EngineFaultTest : public kelmor_test::StandinTest {};

TEST_F(EngineFaultTest, EngineGoesWhileOtherThreadsHoldReplies) {
  std::vector<BinaryReply> kept;
  messenger_->SetChannelHandler("ch",
                                [&](const uint8_t*, size_t, BinaryReply reply) {
                                  kept.push_back(std::move(reply));
                                });
  for (int i = 0; i < 8; ++i) engine_->Deliver(registrar_, "ch", {1});

  std::atomic<bool> gone{false};
  std::vector<std::thread> holders;
  for (auto& reply : kept) {
    holders.emplace_back([&gone, reply = std::move(reply)] {
      while (!gone) std::this_thread::yield();
      const uint8_t answer[] = {1};
      reply(answer, 1);
    });
  }
  kept.clear();
  engine_->SetAvailable(false);
  messenger_.reset();
  engine_->DestroyRegistrar(registrar_);
  gone = true;
  for (auto& holder : holders) holder.join();

  for (size_t ticket = 0; ticket < engine_->MessageCount(); ++ticket) {
    EXPECT_EQ(engine_->GetResponse(ticket).times_sent, 0);
  }
  ExpectReferencesBalanced();
  EXPECT_EQ(engine_->counters().live_messengers, 0);
}

// Holds every result it is given, unanswered, until it is destroyed.
class HoardingPlugin : public flutter::Plugin {
 public:
  std::vector<Result> results;
};

TEST_F(EngineFaultTest, RegistrarDestroyedWhilePluginHoldsResults) {
  auto* registrar =
      flutter::PluginRegistrarManager::GetInstance()->GetOrCreateRegistrar(
          registrar_);
  auto plugin = std::make_unique<HoardingPlugin>();
  HoardingPlugin* hoard = plugin.get();
  flutter::MethodChannel<> channel(
      registrar->GetMessenger(), "kelmor",
      &flutter::StandardMethodCodec::GetInstance());
  channel.SetCallHandler([hoard](const MethodCall<>&, Result result) {
    hoard->results.push_back(std::move(result));
  });
  registrar->AdoptPlugin(std::move(plugin));

  const auto call =
      flutter::StandardMethodCodec::GetInstance().EncodeMethodCall(
          MethodCall<>("m", nullptr));
  for (int i = 0; i < 3; ++i) engine_->Deliver(registrar_, "kelmor", *call);

  StderrCapture capture;
  engine_->DestroyRegistrar(registrar_);
  EXPECT_EQ(capture.Lines().size(), 3u);  // one leak warning per result
  for (size_t ticket = 0; ticket < 3; ++ticket) {
    EXPECT_EQ(engine_->GetResponse(ticket).times_sent, 0);
  }
  ExpectReferencesBalanced();
}

TEST_F(EngineFaultTest, HalfOfManySendsRefused) {
  constexpr int kSends = 100000;
  std::mt19937 random(12345);
  engine_->SetSendPolicy(
      [&random](const standin::SentMessage&) { return random() % 2 == 0; });
  std::vector<int> calls(kSends, 0);
  for (int i = 0; i < kSends; ++i) {
    const uint8_t message[] = {static_cast<uint8_t>(i)};
    messenger_->SendToChannel(
        "out", message, 1, [&calls, i](const uint8_t*, size_t) { ++calls[i]; });
  }
  const auto sends = engine_->Sends();
  int accepted = 0;
  for (size_t i = 0; i < sends.size(); ++i) {
    if (sends[i].accepted) {
      ++accepted;
      EXPECT_TRUE(engine_->AnswerSendEmpty(i));
    }
  }
  EXPECT_GT(accepted, kSends / 3);
  EXPECT_LT(accepted, kSends * 2 / 3);
  for (size_t i = 0; i < sends.size(); ++i) {
    ASSERT_EQ(calls[i], sends[i].accepted ? 1 : 0) << "send " << i;
  }
  EXPECT_EQ(engine_->PendingSends(), 0u);  // refused records freed (LSan)
}

TEST_F(EngineFaultTest, ReplyWaitsForTheMessengerLock) {
  std::vector<BinaryReply> kept;
  messenger_->SetChannelHandler("ch",
                                [&](const uint8_t*, size_t, BinaryReply reply) {
                                  kept.push_back(std::move(reply));
                                });
  const auto answered_late = engine_->Deliver(registrar_, "ch", {1});

  FlutterDesktopMessengerRef engine_messenger =
      engine_->MessengerOf(registrar_);
  FlutterDesktopMessengerLock(engine_messenger);
  std::atomic<bool> replied{false};
  std::thread replier([&] {
    const uint8_t answer[] = {2};
    kept[0](answer, 1);
    replied = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(replied);
  EXPECT_EQ(engine_->GetResponse(answered_late).times_sent, 0);
  FlutterDesktopMessengerUnlock(engine_messenger);
  replier.join();
  EXPECT_EQ(engine_->GetResponse(answered_late).times_sent, 1);
}

}  // namespace
