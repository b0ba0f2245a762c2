// Worker: a thread of the plugin's own that runs jobs when they fall due.
//
//   Worker worker;
//   worker.PostAfter(std::chrono::milliseconds(200), [] { Measure(); });
//
// Jobs run one at a time, in the order they fall due (the order posted,
// among jobs due together). Threads: PostAfter from any thread, the worker's
// own included. The destructor stops the thread and joins it: a job under
// way finishes, and jobs not yet run are destroyed without running, on the
// destroying thread. So whatever the jobs use must outlive the worker:
// declare the worker after it.
#ifndef SENSOR_PLUGIN_WORKER_H_
#define SENSOR_PLUGIN_WORKER_H_

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "flutter/task.h"

class Worker {
 public:
  using Clock = std::chrono::steady_clock;

  Worker();
  ~Worker();

  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // Runs `job` (any callable without arguments, move-only ones included)
  // on the worker once `delay` has passed.
  void PostAfter(Clock::duration delay, flutter::Task job);

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;                                 // under mutex_
  std::multimap<Clock::time_point, flutter::Task> jobs_;  // under mutex_
  std::thread thread_;  // last: it starts once the rest is made
};

#endif  // SENSOR_PLUGIN_WORKER_H_
