// Replies answered on worker threads while the engine shuts down part-way.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "flutter/method_channel.h"
#include "flutter/standard_method_codec.h"
#include "standin_fixture.h"

namespace {

using flutter::EncodableValue;
using flutter::MethodCall;
using flutter::MethodResult;
using Result = std::unique_ptr<MethodResult<EncodableValue>>;

constexpr int kCalls = 10000;
constexpr int kWorkers = 4;

class ResultQueue {
 public:
  void Push(Result result) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      results_.push_back(std::move(result));
    }
    ready_.notify_one();
  }

  // Null once Close() was called and the queue ran dry.
  Result Pop() {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return closed_ || !results_.empty(); });
    if (results_.empty()) return nullptr;
    Result result = std::move(results_.front());
    results_.pop_front();
    return result;
  }

  void Close() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closed_ = true;
    }
    ready_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Result> results_;
  bool closed_ = false;
};

using ThreadedReplyTest = kelmor_test::StandinTest;

TEST_F(ThreadedReplyTest, WorkersAnswerWhileTheEngineShutsDown) {
  const auto* codec = &flutter::StandardMethodCodec::GetInstance();
  ResultQueue queue;
  flutter::MethodChannel<> channel(messenger_.get(), "kelmor", codec);
  channel.SetCallHandler([&](const MethodCall<>&, Result result) {
    queue.Push(std::move(result));
  });

  std::atomic<int> answered{0};
  std::atomic<int> taken{0};
  std::vector<std::thread> workers;
  for (int i = 0; i < kWorkers; ++i) {
    workers.emplace_back([&] {
      while (Result result = queue.Pop()) {
        // The last quarter waits for the shutdown, so that some answers
        // certainly come after it.
        if (taken++ >= kCalls * 3 / 4) {
          while (engine_->available()) std::this_thread::yield();
        }
        result->Success(EncodableValue(int32_t{7}));
        ++answered;
      }
    });
  }
  std::thread shutdown([&] {
    while (answered < kCalls / 2) std::this_thread::yield();
    engine_->SetAvailable(false);
  });

  MethodCall<> call("work", nullptr);
  const auto message = codec->EncodeMethodCall(call);
  for (int i = 0; i < kCalls; ++i)
    engine_->Deliver(registrar_, "kelmor", *message);
  shutdown.join();
  queue.Close();
  for (auto& worker : workers) worker.join();

  int sent = 0;
  for (size_t ticket = 0; ticket < engine_->MessageCount(); ++ticket) {
    const standin::Response response = engine_->GetResponse(ticket);
    EXPECT_LE(response.times_sent, 1);
    EXPECT_FALSE(response.sent_while_unavailable);
    sent += response.times_sent;
  }
  EXPECT_EQ(answered, kCalls);
  EXPECT_GE(sent, kCalls / 2);
  EXPECT_LE(sent, kCalls * 3 / 4);
  EXPECT_EQ(engine_->counters().add_refs, kCalls);
  ExpectReferencesBalanced();
  RecordProperty("responses_sent_before_shutdown", sent);
}

}  // namespace
