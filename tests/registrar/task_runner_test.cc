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
  DispatchMessageW(&message);
  EXPECT_EQ(turns, 1);
  standin::RunPendingMessages();
  EXPECT_EQ(turns, 3);
}

}  // namespace
