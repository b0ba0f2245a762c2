// MessageWindowTaskRunner: the TaskRunner a registrar gives its plugins.
//
// It lives in a message-only window made on the engine's thread, so tasks
// run inside whatever message loop the application already pumps there:
// posting queues the task and, unless one is already on its way, posts the
// window one message; the window runs the tasks queued when that message
// arrives. Nothing is asked of the application.
//
// Threads: Create and Close on the engine's thread; everything else from
// any thread. If the window cannot be made, the line "Unable to create the
// window that runs posted tasks" is written once and every post fails.
#ifndef REGISTRAR_MESSAGE_WINDOW_TASK_RUNNER_H_
#define REGISTRAR_MESSAGE_WINDOW_TASK_RUNNER_H_

#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "flutter/task_runner.h"
#include "windows_message_api.h"

namespace flutter {

class MessageWindowTaskRunner
    : public TaskRunner,
      public std::enable_shared_from_this<MessageWindowTaskRunner> {
 public:
  // Makes the window on the calling thread, which becomes the engine's. The
  // owner calls Close before it lets the runner go.
  static std::shared_ptr<MessageWindowTaskRunner> Create();

  ~MessageWindowTaskRunner() override;

  MessageWindowTaskRunner(const MessageWindowTaskRunner&) = delete;
  MessageWindowTaskRunner& operator=(const MessageWindowTaskRunner&) = delete;

  bool RunsTasksOnCurrentThread() const override;

  // Refuses tasks from now on, destroys those still waiting without running
  // them, and destroys the window. On the engine's thread.
  void Close();

  // Runs the tasks queued before the call, in order; later ones wait for
  // the next message, so the application's loop keeps its turn. A task may
  // end the registrar: the runner stays alive until the call returns, and
  // the rest of the tasks are dropped.
  void RunQueuedTasks();

 protected:
  bool Post(Task task) override;

 private:
  MessageWindowTaskRunner();

  const std::thread::id thread_;
  std::mutex mutex_;  // guards what follows
  HWND window_ = nullptr;
  std::deque<Task> queue_;
  bool open_ = true;
  bool wake_posted_ = false;  // a message to the window is on its way
};

}  // namespace flutter

#endif  // REGISTRAR_MESSAGE_WINDOW_TASK_RUNNER_H_
