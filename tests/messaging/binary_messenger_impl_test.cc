#include "flutter/binary_messenger_impl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <iostream>
#include <streambuf>
#include <thread>

#include "standin_fixture.h"
#include "test_bytes.h"

namespace {

using flutter::BinaryReply;
using kelmor_test::Bytes;
using kelmor_test::StderrCapture;

const char kDuplicateResponse[] =
    "Error: Response can be set only once. Ignoring duplicate response.";

class BinaryMessengerImplTest : public kelmor_test::StandinTest {
 protected:
  // Installs a handler on "ch" that stores each reply in `kept_`.
  void KeepReplies() {
    messenger_->SetChannelHandler(
        "ch", [this](const uint8_t*, size_t, BinaryReply reply) {
          kept_.push_back(std::move(reply));
        });
  }

  std::vector<BinaryReply> kept_;
};

TEST_F(BinaryMessengerImplTest, SendWithoutReplyUsesThePlainSend) {
  const Bytes message{1, 2, 3};
  messenger_->SendToChannel("out", message.data(), message.size(), nullptr);
  const auto sends = engine_->Sends();
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_EQ(sends[0].channel, "out");
  EXPECT_EQ(sends[0].message, message);
  EXPECT_FALSE(sends[0].wants_reply);
}

TEST_F(BinaryMessengerImplTest, RepliesToSendsArriveOnceAndRefusedOnesNever) {
  engine_->SetSendPolicy(
      [](const standin::SentMessage& sent) { return sent.message[0] == 1; });
  int refused_calls = 0;
  const Bytes refused{2};
  messenger_->SendToChannel("out", refused.data(), refused.size(),
                            [&](const uint8_t*, size_t) { ++refused_calls; });

  const uint8_t* seen_data = reinterpret_cast<const uint8_t*>(1);
  size_t seen_size = 99;
  int accepted_calls = 0;
  const Bytes accepted{1};
  messenger_->SendToChannel("out", accepted.data(), accepted.size(),
                            [&](const uint8_t* data, size_t size) {
                              ++accepted_calls;
                              seen_data = data;
                              seen_size = size;
                            });
  EXPECT_EQ(engine_->PendingSends(), 1u);
  EXPECT_TRUE(engine_->AnswerSendEmpty(1));
  EXPECT_EQ(accepted_calls, 1);
  EXPECT_EQ(seen_data, nullptr);
  EXPECT_EQ(seen_size, 0u);
  EXPECT_EQ(refused_calls, 0);  // and its pending record is freed (LSan)
}

TEST_F(BinaryMessengerImplTest, ReplacingAHandlerKeepsItsRegisteredAddress) {
  int first_destroyed = 0;
  auto token = std::shared_ptr<int>(new int(0), [&](int* p) {
    ++first_destroyed;
    delete p;
  });
  messenger_->SetChannelHandler(
      "ch", [token](const uint8_t*, size_t, BinaryReply) {});
  token.reset();
  const void* first_address = engine_->HandlerUserData(registrar_, "ch");
  ASSERT_NE(first_address, nullptr);

  int second_calls = 0;
  messenger_->SetChannelHandler(
      "ch", [&](const uint8_t*, size_t, BinaryReply) { ++second_calls; });
  EXPECT_EQ(first_destroyed, 1);
  EXPECT_EQ(engine_->HandlerUserData(registrar_, "ch"), first_address);
  engine_->Deliver(registrar_, "ch", {1});
  EXPECT_EQ(second_calls, 1);
}

TEST_F(BinaryMessengerImplTest, ClearingRemovesTheEngineCallback) {
  messenger_->SetChannelHandler("never", nullptr);
  EXPECT_FALSE(engine_->HasHandler(registrar_, "never"));
  KeepReplies();
  EXPECT_TRUE(engine_->HasHandler(registrar_, "ch"));
  messenger_->SetChannelHandler("ch", nullptr);
  EXPECT_FALSE(engine_->HasHandler(registrar_, "ch"));
}

TEST_F(BinaryMessengerImplTest, MessageBytesReachTheHandlerUnchanged) {
  const uint8_t* seen = reinterpret_cast<const uint8_t*>(1);
  size_t seen_size = 99;
  Bytes copy;
  messenger_->SetChannelHandler(
      "ch", [&](const uint8_t* data, size_t size, BinaryReply reply) {
        seen = data;
        seen_size = size;
        if (data) copy.assign(data, data + size);
        reply(nullptr, 0);
      });
  engine_->DeliverEmpty(registrar_, "ch");
  EXPECT_EQ(seen, nullptr);
  EXPECT_EQ(seen_size, 0u);
  engine_->Deliver(registrar_, "ch", {7, 8});
  EXPECT_EQ(copy, (Bytes{7, 8}));
}

TEST_F(BinaryMessengerImplTest, ReplyKeptAndAnsweredFromAnotherThread) {
  KeepReplies();
  const auto ticket = engine_->Deliver(registrar_, "ch", {1});
  ASSERT_EQ(kept_.size(), 1u);
  EXPECT_EQ(engine_->GetResponse(ticket).times_sent, 0);
  // The engine messenger stays referenced while the reply is kept.
  EXPECT_EQ(engine_->counters().add_refs, 1);
  EXPECT_EQ(engine_->counters().releases, 0);

  std::thread([reply = std::move(kept_[0])] {
    const uint8_t answer[] = {9, 9};
    reply(answer, sizeof(answer));
  }).join();
  kept_.clear();

  const standin::Response response = engine_->GetResponse(ticket);
  EXPECT_EQ(response.times_sent, 1);
  EXPECT_EQ(response.bytes, (Bytes{9, 9}));
  ExpectReferencesBalanced();
}

TEST_F(BinaryMessengerImplTest, EmptyReplyReachesTheEngineAsNull) {
  KeepReplies();
  const auto ticket = engine_->Deliver(registrar_, "ch", {1});
  kept_[0](nullptr, 0);
  const standin::Response response = engine_->GetResponse(ticket);
  EXPECT_EQ(response.times_sent, 1);
  EXPECT_FALSE(response.had_bytes);
  EXPECT_TRUE(response.bytes.empty());
}

TEST_F(BinaryMessengerImplTest, SecondReplyIsRefusedWithOneLine) {
  KeepReplies();
  const auto ticket = engine_->Deliver(registrar_, "ch", {1});
  const uint8_t answer[] = {1};
  kept_[0](answer, 1);
  StderrCapture capture;
  kept_[0](answer, 1);
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{kDuplicateResponse});
  EXPECT_EQ(engine_->GetResponse(ticket).times_sent, 1);
}

// Found in review: each copy of a reply kept its own response handle, so
// copies of one reply sent the engine one response each.
TEST_F(BinaryMessengerImplTest, CopiesOfAReplyAnswerOnceBetweenThem) {
  constexpr int kCopies = 4;
  const struct {
    const char* name;
    bool at_once_on_own_threads;
  } cases[] = {{"one after another", false},
               {"at once, each on its own thread", true}};
  KeepReplies();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto ticket = engine_->Deliver(registrar_, "ch", {1});
    std::vector<BinaryReply> copies(kCopies, kept_.back());
    kept_.clear();
    const auto releases_before = engine_->counters().releases;
    const uint8_t answer[] = {5};
    StderrCapture capture;
    if (c.at_once_on_own_threads) {
      std::atomic<bool> go{false};
      std::vector<std::thread> threads;
      for (const BinaryReply& copy : copies) {
        threads.emplace_back([&go, &copy, &answer] {
          while (!go) std::this_thread::yield();
          copy(answer, sizeof(answer));
        });
      }
      go = true;
      for (auto& thread : threads) thread.join();
    } else {
      for (const BinaryReply& copy : copies) copy(answer, sizeof(answer));
    }
    EXPECT_EQ(capture.Lines(),
              std::vector<std::string>(kCopies - 1, kDuplicateResponse));
    EXPECT_EQ(engine_->GetResponse(ticket).times_sent, 1);
    EXPECT_EQ(engine_->counters().releases, releases_before);
    copies.clear();
    ExpectReferencesBalanced();
  }
}

// A stream buffer that takes no characters, so every write through it fails.
class RefusingBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
};

// While it lives, std::cerr throws on the first write.
class ThrowingStderr {
 public:
  ThrowingStderr()
      : saved_buffer_(std::cerr.rdbuf(&refusing_)),
        saved_mask_(std::cerr.exceptions()) {
    std::cerr.exceptions(std::ios::badbit);
  }
  ~ThrowingStderr() {
    std::cerr.exceptions(std::ios::goodbit);
    std::cerr.rdbuf(saved_buffer_);
    std::cerr.clear();
    std::cerr.exceptions(saved_mask_);
  }
  ThrowingStderr(const ThrowingStderr&) = delete;
  ThrowingStderr& operator=(const ThrowingStderr&) = delete;

 private:
  RefusingBuffer refusing_;
  std::streambuf* saved_buffer_;
  std::ios::iostate saved_mask_;
};

// Found in review: a reply that threw between taking the engine messenger's
// lock and giving it back kept the lock, and every later reply waited on it.
TEST_F(BinaryMessengerImplTest, ReplyThatThrowsGivesTheLockBack) {
  KeepReplies();
  const struct {
    const char* name;
    std::function<void()> setup;  // before the reply that throws
  } cases[] = {
      {"duplicate-response line on an error stream set to throw",
       [this] { kept_.back()(nullptr, 0); }},
      {"the engine's response call throws",
       [this] {
         // The stand-in's record of the message is gone: its lookup throws.
         engine_->Forget(engine_->MessageCount() - 1);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    engine_->Deliver(registrar_, "ch", {1});
    c.setup();
    {
      ThrowingStderr throwing;
      EXPECT_ANY_THROW(kept_.back()(nullptr, 0));
    }
    if (engine_->counters().lock_calls != engine_->counters().unlock_calls) {
      // Given back here, so that the engine can shut down after the test.
      FlutterDesktopMessengerUnlock(engine_->MessengerOf(registrar_));
      ADD_FAILURE() << "the engine messenger was left locked";
      continue;
    }
    const auto later = engine_->Deliver(registrar_, "ch", {2});
    kept_.back()(nullptr, 0);
    EXPECT_EQ(engine_->GetResponse(later).times_sent, 1);
  }
}

TEST_F(BinaryMessengerImplTest, MessageWithoutResponseHandleCannotBeAnswered) {
  KeepReplies();
  const auto ticket = engine_->Deliver(registrar_, "ch", {1}, false);
  StderrCapture capture;
  kept_[0](nullptr, 0);
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{kDuplicateResponse});
  EXPECT_EQ(engine_->GetResponse(ticket).times_sent, 0);
}

TEST_F(BinaryMessengerImplTest, ReplyAfterTheEngineWentIsDroppedSilently) {
  KeepReplies();
  const auto ticket = engine_->Deliver(registrar_, "ch", {1});
  engine_->SetAvailable(false);
  StderrCapture capture;
  kept_[0](nullptr, 0);
  kept_[0](nullptr, 0);
  EXPECT_TRUE(capture.Lines().empty());
  EXPECT_EQ(engine_->GetResponse(ticket).times_sent, 0);
}

TEST_F(BinaryMessengerImplTest,
       UnansweredReplyReleasesTheMessengerWhenDropped) {
  messenger_->SetChannelHandler("ch",
                                [](const uint8_t*, size_t, BinaryReply) {});
  const auto ticket = engine_->Deliver(registrar_, "ch", {1});
  EXPECT_EQ(engine_->GetResponse(ticket).times_sent, 0);
  EXPECT_EQ(engine_->counters().add_refs, 1);
  ExpectReferencesBalanced();
}

TEST_F(BinaryMessengerImplTest, DestroyingTheMessengerDestroysItsHandlers) {
  int destroyed = 0;
  auto token =
      std::shared_ptr<int>(new int(0), [&](int* p) { ++destroyed, delete p; });
  messenger_->SetChannelHandler(
      "a", [token](const uint8_t*, size_t, BinaryReply) {});
  messenger_->SetChannelHandler(
      "b", [token](const uint8_t*, size_t, BinaryReply) {});
  token.reset();
  messenger_.reset();
  EXPECT_EQ(destroyed, 1);
  // No engine call: the callbacks stay registered until the registrar goes.
  EXPECT_TRUE(engine_->HasHandler(registrar_, "a"));
  engine_->DestroyRegistrar(registrar_);
}

TEST_F(BinaryMessengerImplTest,
       ClearingDestroysTheHandlerBeforeTheEngineCallbackGoes) {
  // Whether the engine still had the channel's callback when the handler
  // went; empty while the handler lives.
  auto registered_then = std::make_shared<std::optional<bool>>();
  auto token =
      std::shared_ptr<int>(new int(0), [this, registered_then](int* p) {
        *registered_then = engine_->HasHandler(registrar_, "ch");
        delete p;
      });
  messenger_->SetChannelHandler(
      "ch", [token](const uint8_t*, size_t, BinaryReply) {});
  token.reset();

  messenger_->SetChannelHandler("ch", nullptr);
  ASSERT_TRUE(registered_then->has_value()) << "the handler outlived clearing";
  EXPECT_TRUE(**registered_then);
  EXPECT_FALSE(engine_->HasHandler(registrar_, "ch"));
}

}  // namespace
