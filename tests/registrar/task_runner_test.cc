#include "flutter/task_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "flutter/plugin_registrar_windows.h"
#include "message_loop.h"
#include "standin_engine.h"
#include "standin_registrar.h"
#include "test_bytes.h"
#include "windows_message_api.h"

namespace {

using kelmor_test::StderrCapture;

using Registered = kelmor_test::StandinRegistrar;
using kelmor_test::kPatience;

TEST(TaskRunner, TasksFromFourThreadsRunOnTheEngineThreadInPostedOrder) {
  Registered r;
  constexpr int kThreads = 4;
  constexpr int kTasksEach = 250;
  std::vector<std::vector<int>> ran(kThreads);  // touched on this thread only
  std::atomic<int> off_thread{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      EXPECT_FALSE(r.runner->RunsTasksOnCurrentThread());
      for (int i = 0; i < kTasksEach; ++i) {
        EXPECT_TRUE(r.runner->PostTask([&, t, i] {
          if (!r.runner->RunsTasksOnCurrentThread()) ++off_thread;
          ran[t].push_back(i);
        }));
      }
    });
  }
  for (auto& worker : workers) worker.join();
  EXPECT_TRUE(r.runner->RunsTasksOnCurrentThread());
  ASSERT_TRUE(standin::RunMessagesUntil(
      [&] {
        for (const auto& sequence : ran) {
          if (sequence.size() < kTasksEach) return false;
        }
        return true;
      },
      kPatience));
  EXPECT_EQ(off_thread, 0);
  for (const auto& sequence : ran) {
    for (int i = 0; i < kTasksEach; ++i) ASSERT_EQ(sequence[i], i);
  }
}

TEST(TaskRunner, TakesMoveOnlyTasksAndRunsThemOnlyWhenTheLoopTurns) {
  Registered r;
  auto owned = std::make_unique<int>(7);
  int seen = 0;
  EXPECT_TRUE(
      r.runner->PostTask([owned = std::move(owned), &seen] { seen = *owned; }));
  EXPECT_EQ(seen, 0);  // not run inside PostTask, even on its own thread
  standin::RunPendingMessages();
  EXPECT_EQ(seen, 7);
}

TEST(TaskRunner, TaskThatThrowsIsReportedAndTheNextStillRuns) {
  Registered r;
  bool next_ran = false;
  r.runner->PostTask([] { throw std::runtime_error("sensor gone"); });
  r.runner->PostTask([&] { next_ran = true; });
  StderrCapture capture;
  standin::RunPendingMessages();
  EXPECT_EQ(capture.Lines(),
            std::vector<std::string>{"Exception in posted task: sensor gone"});
  EXPECT_TRUE(next_ran);
}

// Notes whether it ran and when it was destroyed.
struct Probe {
  std::shared_ptr<std::atomic<int>> runs = std::make_shared<std::atomic<int>>();
  std::shared_ptr<int> alive = std::make_shared<int>();
  auto Task() {
    return [runs = runs, alive = alive] { ++*runs; };
  }
};

TEST(TaskRunner, AfterTheRegistrarTasksAreRefusedAndWaitingOnesDropped) {
  Registered r;
  Probe waiting;
  ASSERT_TRUE(r.runner->PostTask(waiting.Task()));
  r.engine.DestroyRegistrar(r.handle);
  r.registrar.reset();
  EXPECT_EQ(waiting.alive.use_count(), 1);  // destroyed without running

  Probe late;
  std::thread worker([&] { EXPECT_FALSE(r.runner->PostTask(late.Task())); });
  worker.join();
  EXPECT_FALSE(r.runner->PostTask(late.Task()));
  EXPECT_EQ(late.alive.use_count(), 1);
  standin::RunPendingMessages();
  EXPECT_EQ(*waiting.runs + *late.runs, 0);
}

TEST(TaskRunner, TaskPostedByATaskWaitsForTheNextTurnOfTheLoop) {
  Registered r;
  int turns = 0;
  std::function<void()> again = [&] {
    ++turns;
    if (turns < 3) r.runner->PostTask(again);
  };
  r.runner->PostTask(again);
  MSG message;
  ASSERT_NE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE), 0);
  // In the range Windows leaves to an application's own window classes.
  EXPECT_GE(message.message, WM_APP);
  EXPECT_LE(message.message, 0xBFFFu);
  DispatchMessageW(&message);
  EXPECT_EQ(turns, 1);
  standin::RunPendingMessages();
  EXPECT_EQ(turns, 3);
}

// Pins a fault: the runner read its freed queue after a task ended the
// registrar, as an application closing inside a task's modal loop does.
TEST(TaskRunner, TaskThatEndsTheRegistrarDropsTheRest) {
  Registered r;
  bool rest_ran = false;
  r.runner->PostTask([&] { r.registrar.reset(); });
  r.runner->PostTask([&] { rest_ran = true; });
  r.runner.reset();  // only the registrar holds the runner now
  standin::RunPendingMessages();
  EXPECT_FALSE(rest_ran);
}

// An empty task would be called on the engine's thread: refused instead.
TEST(TaskRunner, RefusesAnEmptyTask) {
  Registered r;
  EXPECT_FALSE(r.runner->PostTask(flutter::Task()));
  EXPECT_EQ(standin::RunPendingMessages(), 0u);
}

// Pins a fault: waiting for a condition ran the loop dry first, which a
// worker that keeps posting never lets happen.
TEST(TaskRunner, WaitEndsOnceDoneWhileAWorkerKeepsPosting) {
  Registered r;
  std::atomic<int> ran{0};
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    for (int i = 0; i < 100000 && !stop; ++i) {
      r.runner->PostTask([&] { ++ran; });
      if (i % 16 == 0) std::this_thread::yield();
    }
  });
  EXPECT_TRUE(standin::RunMessagesUntil([&] { return ran >= 10; }, kPatience));
  const int ran_when_done = ran;
  stop = true;
  worker.join();
  EXPECT_LT(ran_when_done, 100000);
}

}  // namespace
