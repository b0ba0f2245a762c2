// TaskRunner: runs work on the engine's thread, posted from any thread.
//
//   std::shared_ptr<flutter::TaskRunner> runner = registrar->GetTaskRunner();
//   std::thread([runner, result = std::move(result)]() mutable {
//     flutter::EncodableValue reading = MeasureSlowly();
//     runner->PostTask([result = std::move(result), reading] {
//       result->Success(reading);
//     });
//   }).detach();
//
// The engine requires most of its functions to be called on its own thread,
// the thread on which it created the registrar; a worker thread hands its
// work over as a task. Tasks run soon, one at a time, in the order in which
// each thread posted them, inside the application's own message loop.
//
// Threads: every operation may be called from any thread, for as long as
// anyone holds the runner, also after the registrar is gone. From then on
// PostTask returns false and destroys the task at once, and tasks still
// waiting were destroyed without running. An exception from a task stops
// there, as the line "Exception in posted task" with ": " and its text.
#ifndef FLUTTER_TASK_RUNNER_H_
#define FLUTTER_TASK_RUNNER_H_

#include <utility>

#include "flutter/task.h"

namespace flutter {

class TaskRunner {
 public:
  virtual ~TaskRunner() = default;

  // Queues `task` (any callable without arguments, move-only ones included)
  // to run on the engine's thread. False, with the task destroyed, once the
  // registrar is gone; false for an empty task.
  template <typename Callable>
  bool PostTask(Callable&& task) {
    return Post(Task(std::forward<Callable>(task)));
  }

  // True on the engine's thread, where posted tasks run.
  virtual bool RunsTasksOnCurrentThread() const = 0;

 protected:
  virtual bool Post(Task task) = 0;
};

}  // namespace flutter

#endif  // FLUTTER_TASK_RUNNER_H_
