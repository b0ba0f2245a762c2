#include "worker.h"

#include <utility>

Worker::Worker() : thread_([this] { Run(); }) {}

Worker::~Worker() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void Worker::PostAfter(Clock::duration delay, flutter::Task job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.emplace(Clock::now() + delay, std::move(job));
  }
  wake_.notify_one();
}

void Worker::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (jobs_.empty()) {
      wake_.wait(lock);
      continue;
    }
    const auto next = jobs_.begin();
    if (Clock::now() < next->first) {
      // Wakes early for a job posted meanwhile, or to stop.
      wake_.wait_until(lock, next->first);
      continue;
    }
    flutter::Task job = std::move(next->second);
    jobs_.erase(next);
    // Run and destroyed unlocked, so that the job may post again.
    lock.unlock();
    job();
    job = flutter::Task();
    lock.lock();
  }
}
